#pragma once

#include <QString>

// Where the point forecast is asked for, and the query for one place.

inline const QString kForecastOrigin = QStringLiteral("https://forecast.weather.gov");

// origin + "/MapClick.php?lat=" + latitude + "&lon=" + longitude +
// "&unit=0&lg=english&FcstType=dwml"; the location texts go in as they are.
QString ForecastQuery(const QString &origin, const QString &latitude, const QString &longitude);

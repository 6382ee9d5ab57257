#pragma once

#include <QString>

// The program's stages as the scaling benchmark runs them, each from its
// input to what the window would show. Each returns how far the input got
// ("shown", or the run-time error that stopped it), for the table.
namespace scaling {

// Reply text to the window's forecast content: extraction (load, both
// scans, the hazards, the rows' whole worded forecasts and the issue time),
// composition, the moonrise row and the title.
QString ForecastStage(const QString &reply);

// The service's JSON forecast reply to the same content: the periods mapped
// into the extraction, then composition, the moonrise row and the title.
QString ApiForecastStage(const QString &reply);

// The active alerts' reply to what the window shows of it: the alerts read,
// those to show in their order, the strip and every alert's window text.
QString AlertsStage(const QString &reply);

// The forecast page's digital forecast to the hourly window's table and its
// summary, seen at the first hour.
QString HourlyStage(const QString &reply);

// Sun/moon reply to the text box lines, the title and the picture number.
QString SunMoonStage(const QString &reply);

// Tomorrow's moonrise from a sun/moon reply.
QString TomorrowStage(const QString &reply);

// The settings file to the form state and the two queries built from it.
QString SettingsStage(const QString &path);

// The full-moon table to the list's full-moon row.
QString FullMoonStage(const QString &path);

} // namespace scaling

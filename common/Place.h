#pragma once

#include <QString>

// The place of the settings, as its three texts stand there: every query is
// built from these texts, and what is kept for a place is kept under them.
struct Place {
    QString latitude;
    QString longitude;
    QString queryExtra;   // the term added to the sun/moon query, e.g. "tz=-8"

    QString Key() const { return latitude + QLatin1Char(',') + longitude + QLatin1Char(',') + queryExtra; }
    bool operator==(const Place &) const = default;
};

#pragma once

#include "common/DateValue.h"

#include <QString>

// Everything the running window remembers; lives as long as the window and is
// never saved. Texts start empty, date values at zero (30 Dec 1899 00:00).
struct FormState {
    DateValue LastForecastTime = 0;
    DateValue LastAlmanacTime = 0;
    QString AlmanacTitle;
    QString AlmanacText;
    QString Latitude;
    QString Longitude;
    QString QueryExtra;
    QString MoonriseTomorrowText;
    DateValue NextFullMoon = 0;
};

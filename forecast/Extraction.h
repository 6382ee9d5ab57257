#pragma once

#include "common/Result.h"

#include <QString>

#include <array>

// The forecast reply read: classified, loaded, and its two elements scanned
// into a table of days and the current observations.

// Rows 0-10 by columns 0-7; row 0 and columns 5-7 stay empty.
using PeriodTable = std::array<std::array<QString, 8>, 11>;

struct ForecastExtraction {
    PeriodTable periods;
    bool nightFirst = false; // its final value after the scans
    QString stationText;
    QString apparentTemp;
    QString dewPointText;
    QString humidityText;
    QString windSpeedText;
    QString pressureText;
};

inline const QString kNoForecastMessage = QStringLiteral("No forecast for this location available.");

// Classifies the reply, loads it and runs both scans. A reply without
// "Daily Minimum" is Absent (show the message, change nothing); one that a
// rule of well-formedness, a bound or the parser refuses is NotLoaded; a
// 16-bit overflow, an eleventh row, a look-ahead or observation offset past
// the last field, or a root child that is not an element fails the
// extraction. For both only the closing step runs.
Result<ForecastExtraction> ExtractForecastReply(const QString &reply);

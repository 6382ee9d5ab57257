#pragma once

#include "common/DateValue.h"   // ReadIssueTime, for the readers of both kinds of reply
#include "common/Result.h"

#include <QDateTime>
#include <QString>

#include <array>
#include <vector>

// The forecast reply read: classified, loaded, and its two elements scanned
// into a table of days and the current observations.

// Rows 0-10 by columns 0-7; row 0 and columns 5-7 stay empty.
using PeriodTable = std::array<std::array<QString, 8>, 11>;

// A watch, warning, advisory or statement the reply names, as the reply gives it.
struct Hazard {
    QString headline;   // the hazard's headline attribute, made safe (SafeText) and cut to 120 characters
    QString url;        // its <hazardTextURL> text, made safe and cut to 2048 characters (may be empty)
    bool operator==(const Hazard &) const = default;
};

// Whether a hazard's address may be opened in the browser: only pages on
// https://forecast.weather.gov/.
bool OpenableHazardAddress(const QString &url);

struct ForecastExtraction {
    PeriodTable periods;
    bool nightFirst = false; // its final value after the scans
    QString stationText;
    QString apparentTemp;
    QString dewPointText;
    QString humidityText;
    QString windSpeedText;
    QString pressureText;
    // Every <hazard> of the forecast data element, in the reply's order,
    // exact duplicates (same headline and url) left out; at most 100 kept.
    std::vector<Hazard> hazards;
    // [1]..[7]: the whole worded forecast of the period that list row r
    // names, made safe and cut to 1000 characters; [0] unused. A night-first
    // reply's row 1 is its opening night; every other row is the day period
    // whose name it shows.
    std::array<QString, 8> periodTexts;
    // [1]..[7]: when that period begins, with the reply's own offset;
    // invalid when the reply does not say. [0] unused.
    std::array<QDateTime, 8> periodStarts;
    // The <creation-date> of the reply's head, with its own offset from UTC;
    // invalid when missing, unreadable or without an offset.
    QDateTime issued;
};

inline const QString kNoForecastMessage = QStringLiteral("No forecast for this location available.");

// Classifies the reply, loads it, runs both scans and reads the hazards,
// the rows' worded forecasts and the issue time. A reply without
// "Daily Minimum" is Absent (show the message, change nothing); one that a
// rule of well-formedness, a bound or the parser refuses is NotLoaded; a
// 16-bit overflow, an eleventh row, a look-ahead or observation offset past
// the last field, or a root child that is not an element fails the
// extraction. For both only the closing step runs.
Result<ForecastExtraction> ExtractForecastReply(const QString &reply);

// The short condition text for one worded forecast: its first sentence, or
// its first clause when a comma comes first; wind gusts are always kept. A
// text past 16-bit positions raises the run-time error.
QString ConditionSummary(const QString &text);

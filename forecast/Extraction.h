#pragma once

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

enum class ForecastOutcome {
    NoForecast, // the reply lacks "Daily Minimum": show the message, change nothing
    NotLoaded,  // the reply is not a document the scans may read: only the closing step runs
    Failed,     // a scan stopped on a run-time error: only the closing step runs
    Extracted,  // scans done: display the extraction
};

// What the extraction made of a reply; true when it was extracted. For a
// failed one, `failure` says what stopped the scan.
struct ExtractionResult {
    ForecastOutcome outcome = ForecastOutcome::NoForecast;
    ForecastExtraction extraction;
    QString failure;
    explicit operator bool() const { return outcome == ForecastOutcome::Extracted; }
};

inline const QString kNoForecastMessage = QStringLiteral("No forecast for this location available.");

// Classifies the reply, loads it and runs both scans. A 16-bit overflow, an
// eleventh row, a look-ahead or observation offset past the last field, or a
// root child that is not an element fails the extraction.
ExtractionResult ExtractForecastReply(const QString &reply);

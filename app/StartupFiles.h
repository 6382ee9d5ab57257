#pragma once

#include "FormState.h"

#include <QString>

// The two text files beside the program: the one-line location settings and
// the full-moon table. Reading them changes the form state field by field, so
// a failure part-way keeps what was already taken over.

inline const QString kSettingsFileName = QStringLiteral("SkyvaneLatLong_Setup.txt");
inline const QString kFullMoonFileName = QStringLiteral("FullMoonTable.txt");

// The most that is read of each: the settings line is a few dozen
// characters, the shipped table a few kilobytes. Anything larger is not the
// file it should be, and reading it would hold the window.
inline constexpr qsizetype kMaxSettingsLine = 64 * 1024;
inline constexpr qint64 kMaxFullMoonTable = 4 * 1024 * 1024;

// What the Location command writes when there is no settings file yet.
inline const QString kDefaultSettingsContent =
    QStringLiteral("35.9656,-114.836, auto update=true\r\nBoulder");

// Takes the first line's fields over: latitude and longitude as written, the
// query term without surrounding spaces, and a fourth field containing
// "false" (any case) switches automatic updates off. Fewer than three fields
// raise the run-time error after the fields that exist were assigned.
void ApplySettingsLine(const QString &line, const QString &path, FormState &state,
                       bool &autoUpdate);

// Reads the settings file's first line (at most kMaxSettingsLine
// characters) and applies it.
void ReadSettingsFile(const QString &path, FormState &state, bool &autoUpdate);

// Walks the table after its header line, storing each date into
// NextFullMoon as it is read, and stops at the first one later than `cutoff`.
// A line that is not a date raises the run-time error (naming the line); so
// does a table larger than kMaxFullMoonTable.
void LookupNextFullMoon(const QString &path, DateValue cutoff, FormState &state);

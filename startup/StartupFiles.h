#pragma once

#include "startup/FormState.h"

#include <QString>

#include <optional>

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

// Where the two files are for this run. When the program's own folder can
// be written (a build folder, a per-user install), both files live beside the
// program. When it cannot (an install for all users), the settings are the
// user's own, in `userDirectory`; until the user has made them with Location,
// the shipped default is read. A full-moon table in the user's folder is read
// in place of the shipped one. The shipped files are found beside the
// program, or in ../share/selvorra from it.
struct FilePlaces {
    QString settings;         // the user's settings file: Location edits it
    QString settingsToRead;   // `settings`, or the shipped default while it is missing
    QString table;            // the full-moon table to read
    QString userDirectory;    // where `settings` lives; empty beside the program
};
FilePlaces ChooseFilePlaces(const QString &programDirectory, bool programDirectoryWritable,
                            const QString &userDirectory);

// What Location writes into a new settings file: beside the program the
// default line; in the user's folder a copy of the shipped default that was
// read until then, so the window shows the same place afterwards.
QString NewSettingsContent(const FilePlaces &places);

// The program's own settings file, selvorra.conf in the user's config
// folder: its text (at most 64 KiB), or empty when it is missing, too large
// or unreadable, which means every setting's default.
inline const QString kConfigFileName = QStringLiteral("selvorra.conf");
QString ReadConfigText(const QString &path);

// Makes sure the settings file is there for Location to open: a missing file
// is created (with its folder), never through a link or over a pipe. What
// stands in its way, in words, with the title of the message that says so;
// nothing when the file is ready.
struct SettingsFileProblem {
    QString text;
    QString title;
};
std::optional<SettingsFileProblem> PrepareSettingsFile(const FilePlaces &places);

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

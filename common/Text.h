#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>

// Text rules shared by every part of the program: 1-based case-sensitive
// search, split, space-only trim, runs of digits and the leading number of a
// text, and quoting for messages.

// 1-based position of the first `needle` in `haystack` at or after `start`
// (1-based), 0 when absent. Case-sensitive.
int InStr(const QString &haystack, const QString &needle, int start = 1);

// True when `needle` occurs anywhere in `haystack` (case-sensitive).
bool Contains(const QString &haystack, const QString &needle);

// Split at every separator, keeping empty parts. Empty text gives no parts at
// all (not one empty part); an empty separator leaves the text whole.
QStringList SplitText(const QString &text, const QString &separator);

// Removes leading and trailing spaces only; tabs and line breaks stay.
QString TrimSpaces(const QString &text);

// `text` in double quotes for a message, cut to its first 60 characters and
// "…" when longer: a line from a file may be megabytes long.
QString QuotedForMessage(const QString &text);

// A run of ASCII digits of `base` (10, or 16 with a-f and A-F) starting at
// `from`: where it ends (the first character that is no such digit, or the
// text's length) and its value, which stops growing at kDigitRunCap so that
// a flood of digits cannot wrap it.
inline constexpr unsigned long long kDigitRunCap = 1ULL << 56;
struct DigitRun {
    qsizetype from = 0;
    qsizetype end = 0;
    unsigned long long value = 0;
    bool empty() const { return end == from; }
};
DigitRun ReadDigits(QStringView text, qsizetype from, int base = 10);

// The number at the start of the text, 0 when there is none: leading spaces
// and tabs skipped, an optional sign, digits, an optional decimal part and an
// optional exponent; reading stops at the first character that cannot
// continue the number.
double LeadingNumber(const QString &text);

// A coordinate of the settings as the weather service's JSON API wants it:
// rounded to at most 4 decimals, without trailing zeros ("35.9656",
// "-114.836", "0"). Nothing when the text (spaces around it aside) is not a
// number or lies beyond +-`most` degrees.
std::optional<QString> DegreesText(const QString &text, double most);

// Text from a server made fit for a label or a tooltip: printable characters
// only (C0 and C1 controls, lone surrogate halves, U+FFFE, U+FFFF and the
// bidirectional embeddings, overrides and isolates U+202A-U+202E and
// U+2066-U+2069 dropped), every run of white space (tabs and line breaks
// included) one space, no space at either end, and at most `most` UTF-16
// units, never ending in half a surrogate pair nor in a space. Markup stays
// as the characters it is written in. Stops reading once it has more than
// `most` units, so a long text costs no more than its kept part and what
// it drops on the way.
QString SafeText(const QString &text, qsizetype most);

// The same for a text of several lines, such as an alert's description:
// the service's line breaks stay (CR LF, a lone CR and U+2028/U+2029 each
// become one LF) and so do its spaces, a tab is a space, every other
// unprintable character is dropped as SafeText drops it, line breaks and
// spaces at either end are trimmed, and at most `most` UTF-16 units are
// kept, never ending in half a surrogate pair.
QString SafeLines(const QString &text, qsizetype most);

// "LAT,LON" of the settings' latitude and longitude texts for the service's
// JSON API, each by DegreesText (latitude within 90, longitude within 180
// degrees); nothing when either is not such a number.
std::optional<QString> PlaceText(const QString &latitude, const QString &longitude);

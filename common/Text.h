#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>

// Text rules shared by every part of the program: 1-based case-sensitive
// search, split, space-only trim, the leading number of a text and the
// 16-bit checked numbers that counters and positions live in.

// 1-based position of the first `needle` in `haystack` at or after `start`
// (1-based), 0 when absent. Case-sensitive.
int InStr(const QString &haystack, const QString &needle, int start = 1);

// Like InStr, but the position is a 16-bit value: a position beyond 32,767
// raises the overflow error.
int16_t InStr16(const QString &haystack, const QString &needle);

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

// The number at the start of the text, 0 when there is none: leading spaces
// and tabs skipped, an optional sign, digits, an optional decimal part and an
// optional exponent; reading stops at the first character that cannot
// continue the number.
double LeadingNumber(const QString &text);

// Checks that a value fits a 16-bit signed number; raises the overflow error
// (naming `what`) when it does not.
int16_t CheckedInt16(long long value, const char *what = nullptr);

// Rounds to the nearest whole number, halves to the even neighbour, into a
// 16-bit signed number; NaN or a value outside the range is the overflow error.
int16_t RoundHalfEven16(double value);

// Raises the "Overflow" run-time error.
[[noreturn]] void ThrowOverflow(const QString &what = QString());

// Raises the "Subscript out of range" run-time error.
[[noreturn]] void ThrowOutOfRange(const QString &what = QString());

// Field `index` (0-based) of a split list; an index outside the list is the
// out-of-range error.
const QString &FieldAt(const QStringList &fields, qsizetype index, const char *what = nullptr);

// Windows-1252 is the program's single-byte code page: files, downloads and
// the degree sign (character 176) all go through it.
QString FromCp1252(const char *data, qsizetype size);
QString FromCp1252(const QByteArray &bytes);
// Characters that the code page cannot hold become "?".
QByteArray ToCp1252(const QString &text);

// The degree sign, character 176 of the code page.
inline constexpr char16_t kDegreeSign = u'\u00B0';

#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>

// The 16-bit numbers that counters, positions and field indexes of the two
// scans live in, and the run-time errors that end a scan when a value leaves
// that range or an index leaves its list.

// Like InStr, but the position is a 16-bit value: a position beyond 32,767
// raises the overflow error.
int16_t InStr16(const QString &haystack, const QString &needle);

// Checks that a value fits a 16-bit signed number; raises the overflow error
// (naming `what`) when it does not.
int16_t CheckedInt16(long long value, const char *what = nullptr);

// Rounds to the nearest whole number, halves to the even neighbour, into a
// 16-bit signed number; NaN or a value outside the range is the overflow error.
int16_t RoundHalfEven16(double value);

// Raises the "Overflow" run-time error (rule "overflow").
[[noreturn]] void ThrowOverflow(const QString &what = QString());

// Raises the "Subscript out of range" run-time error (rule "subscript").
[[noreturn]] void ThrowOutOfRange(const QString &what = QString());

// Field `index` (0-based) of a split list; an index outside the list is the
// out-of-range error.
const QString &FieldAt(const QStringList &fields, qsizetype index, const char *what = nullptr);

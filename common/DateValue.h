#pragma once

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QTime>

// A date value is a calendar date with a time of day, held as days since
// 30 December 1899 00:00 (the zero value); the fraction is the time of day.
// It is local wall-clock time: no time-zone arithmetic ever happens on it.
// Negative values keep the time of day as a positive fraction (-1.25 is
// 29 December 1899 06:00): on either side of the zero value the whole part
// names the day and the fraction its time, so taking a date apart never
// depends on which side it lies.
using DateValue = double;

struct CivilDateTime {
    int year = 1899;
    int month = 12;
    int day = 30;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// Fields beyond their range carry over (month 13, day 0, hour 24, a negative
// second), so MakeDate(y, m, d - 5) is five days before. A date outside the
// calendar, or an invalid QDate or QTime given to DateFromQt, raises the
// run-time error.
DateValue MakeDate(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);
DateValue DateFromQt(const QDate &date, const QTime &time = QTime(0, 0));
// The wall-clock fields of `dateTime` as a date value (seconds kept, milliseconds dropped).
DateValue DateFromQDateTime(const QDateTime &dateTime);

// Back to calendar fields, rounded to the nearest second.
CivilDateTime ToCivil(DateValue value);
QDate ToQDate(DateValue value);
QTime ToQTime(DateValue value);

// The date part alone (00:00 of that day).
DateValue DatePart(DateValue value);

// Calendar boundaries passed from `from` to `to`: hour starts, midnights,
// minute starts that lie after `from` and at or before `to`. Negative when
// `to` is earlier.
long long HourBoundaries(DateValue from, DateValue to);
long long DayBoundaries(DateValue from, DateValue to);
long long MinuteBoundaries(DateValue from, DateValue to);

// "dddd, mmm d, yyyy": full weekday name, abbreviated month name, day
// without a leading zero, four-digit year; names from `locale`.
QString FormatLongDate(DateValue value, const QLocale &locale = QLocale::system());
// "hh:mm AMPM": two-digit 12-hour hour, minutes, the AM or PM designator.
QString FormatClockTime(DateValue value, const QLocale &locale = QLocale::system());
// " h:mm AMPM": a leading space, the 12-hour hour without a leading zero.
QString FormatShortTime(int hour24, int minute, const QLocale &locale = QLocale::system());
// "yyyy-mm-dd".
QString FormatIsoDate(DateValue value);

// Text to a date value, as the full-moon table is read: ISO yyyy-mm-dd with an
// optional hh:mm[:ss]; US m/d/yyyy with an optional time and AM/PM; "Mon d,
// yyyy", "Month d, yyyy" and "d Mon yyyy" with an optional time (English or
// `locale` names); and `locale`'s own short and long date forms, optionally
// followed by a time. Slash dates are read day first where `locale` writes its
// own that way; a two-digit year falls in 1930 to 2029. Anything else
// raises the run-time error, whose description quotes the text.
DateValue ParseDateText(const QString &text, const QLocale &locale = QLocale::system());

// Reads "hh:mm" on the 24-hour clock, white space around it ignored. Returns
// false when the text is not such a time.
bool ParseClockTime(const QString &text, int *hour, int *minute);

// An instant from its ISO 8601 text, as the services write when a reply was
// made or an alert begins: only a date and time with its offset (or "Z")
// tells the instant, and the result keeps that offset; anything else,
// including a text longer than any such time, is invalid.
QDateTime ReadIssueTime(const QString &text);

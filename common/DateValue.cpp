#include "DateValue.h"

#include "RuntimeError.h"
#include "Text.h"

#include <QRegularExpression>

#include <cmath>

namespace {

const QDate kEpoch(1899, 12, 30);

constexpr const char *kEnglishMonths[12] = {"january", "february", "march",     "april",
                                            "may",     "june",     "july",      "august",
                                            "september", "october", "november", "december"};

// A locale's abbreviated month names may carry a final full stop ("Dez.",
// "janv."); the text before it is what a writer types, with or without it.
QString WithoutFinalStop(const QString &name)
{
    return name.endsWith(u'.') ? name.chopped(1) : name;
}

int MonthFromName(const QString &name, const QLocale &locale)
{
    const QString lower = WithoutFinalStop(name.toLower());
    if (lower.size() < 3)
        return 0;
    for (int m = 1; m <= 12; ++m) {
        const QString english = QString::fromLatin1(kEnglishMonths[m - 1]);
        if (lower == english || (lower.size() <= english.size() && english.startsWith(lower)))
            return m;
        if (lower == WithoutFinalStop(locale.monthName(m, QLocale::LongFormat).toLower())
            || lower == WithoutFinalStop(locale.monthName(m, QLocale::ShortFormat).toLower()))
            return m;
    }
    return 0;
}

// Parses an optional time tail "hh:mm[:ss] [AM|PM]"; empty text is midnight.
bool ParseTimeTail(const QString &tail, const QLocale &locale, QTime *time)
{
    const QString t = tail.trimmed();
    if (t.isEmpty()) {
        *time = QTime(0, 0);
        return true;
    }
    static const QRegularExpression re(
        QStringLiteral("^(\\d{1,2}):(\\d{2})(?::(\\d{2}))?\\s*(\\S+)?$"));
    const auto m = re.match(t);
    if (!m.hasMatch())
        return false;
    int h = m.captured(1).toInt();
    const int mi = m.captured(2).toInt();
    const int s = m.captured(3).isEmpty() ? 0 : m.captured(3).toInt();
    const QString designator = m.captured(4);
    if (!designator.isEmpty()) {
        const QString d = designator.toLower();
        const bool am = d == QLatin1String("am") || d == QLatin1String("a.m.")
                        || d == locale.amText().toLower();
        const bool pm = d == QLatin1String("pm") || d == QLatin1String("p.m.")
                        || d == locale.pmText().toLower();
        if ((!am && !pm) || h < 1 || h > 12)
            return false;
        if (am && h == 12)
            h = 0;
        else if (pm && h != 12)
            h += 12;
    }
    const QTime parsed(h, mi, s);
    if (!parsed.isValid())
        return false;
    *time = parsed;
    return true;
}

// Days since the epoch and seconds into that day as a date value: before the
// epoch the whole part counts down while the time of day stays positive.
DateValue FromDaysAndSeconds(long long days, long long seconds)
{
    const double fraction = static_cast<double>(seconds) / 86400.0;
    return days >= 0 ? static_cast<double>(days) + fraction
                     : static_cast<double>(days) - fraction;
}

long long FloorDiv(long long a, long long b)
{
    long long q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0)))
        --q;
    return q;
}

// The locale's own date form. A two-digit year is read in the window
// 1930 to 2029, so "12/24/26" is in 2026 and not in 1926.
QDate LocaleDate(const QString &text, const QLocale &locale, QLocale::FormatType format)
{
    const QString pattern = locale.dateFormat(format);
    QDate date = locale.toDate(text, pattern);
    if (date.isValid() && pattern.contains(QLatin1String("yy"))
        && !pattern.contains(QLatin1String("yyyy")) && date.year() < 1930)
        date = date.addYears(100);
    return date;
}

} // namespace

DateValue DateFromQt(const QDate &date, const QTime &time)
{
    // An invalid date or time has no date value; letting it through would
    // quietly become 30 December 1899 or a negative time of day.
    if (!date.isValid() || !time.isValid())
        throw RuntimeError(QStringLiteral("Not a valid date or time: %1 %2")
                               .arg(date.toString(Qt::ISODate), time.toString(Qt::ISODate)));
    return FromDaysAndSeconds(kEpoch.daysTo(date),
                              time.hour() * 3600 + time.minute() * 60 + time.second());
}

DateValue MakeDate(int year, int month, int day, int hour, int minute, int second)
{
    // Fields beyond their range carry over, as in calendar arithmetic: month 13
    // is January of the next year, day 0 the last day of the month before,
    // hour 24 midnight of the next day.
    const long long months = static_cast<long long>(year) * 12 + (month - 1);
    const QDate first(static_cast<int>(FloorDiv(months, 12)),
                      static_cast<int>(months - FloorDiv(months, 12) * 12) + 1, 1);
    const long long seconds = static_cast<long long>(hour) * 3600
                              + static_cast<long long>(minute) * 60 + second;
    const QDate date = first.addDays(static_cast<long long>(day) - 1 + FloorDiv(seconds, 86400));
    if (!date.isValid())
        throw RuntimeError(QStringLiteral("Not a valid date: %1-%2-%3").arg(year).arg(month).arg(day));
    return FromDaysAndSeconds(kEpoch.daysTo(date), seconds - FloorDiv(seconds, 86400) * 86400);
}

DateValue DateFromQDateTime(const QDateTime &dateTime)
{
    const QTime t = dateTime.time();
    return DateFromQt(dateTime.date(), QTime(t.hour(), t.minute(), t.second()));
}

CivilDateTime ToCivil(DateValue value)
{
    double whole = std::trunc(value);
    long long seconds = std::llround(std::fabs(value - whole) * 86400.0);
    if (seconds >= 86400) {
        seconds -= 86400;
        whole += 1; // the time of day is always positive, so a carry moves to the next day
    }
    const QDate date = kEpoch.addDays(static_cast<qint64>(whole));
    CivilDateTime c;
    c.year = date.year();
    c.month = date.month();
    c.day = date.day();
    c.hour = static_cast<int>(seconds / 3600);
    c.minute = static_cast<int>(seconds / 60 % 60);
    c.second = static_cast<int>(seconds % 60);
    return c;
}

QDate ToQDate(DateValue value)
{
    const CivilDateTime c = ToCivil(value);
    return QDate(c.year, c.month, c.day);
}

QTime ToQTime(DateValue value)
{
    const CivilDateTime c = ToCivil(value);
    return QTime(c.hour, c.minute, c.second);
}

DateValue DatePart(DateValue value)
{
    return DateFromQt(ToQDate(value));
}

namespace {

// Position of a value on a continuous second scale where each calendar day
// occupies 86400 seconds in order, whatever the sign of the value.
long long ContinuousSeconds(DateValue value)
{
    const CivilDateTime c = ToCivil(value);
    const long long days = kEpoch.daysTo(QDate(c.year, c.month, c.day));
    return days * 86400 + c.hour * 3600 + c.minute * 60 + c.second;
}

} // namespace

long long HourBoundaries(DateValue from, DateValue to)
{
    return FloorDiv(ContinuousSeconds(to), 3600) - FloorDiv(ContinuousSeconds(from), 3600);
}

long long DayBoundaries(DateValue from, DateValue to)
{
    return FloorDiv(ContinuousSeconds(to), 86400) - FloorDiv(ContinuousSeconds(from), 86400);
}

long long MinuteBoundaries(DateValue from, DateValue to)
{
    return FloorDiv(ContinuousSeconds(to), 60) - FloorDiv(ContinuousSeconds(from), 60);
}

QString FormatLongDate(DateValue value, const QLocale &locale)
{
    const QDate d = ToQDate(value);
    return QStringLiteral("%1, %2 %3, %4")
        .arg(locale.dayName(d.dayOfWeek(), QLocale::LongFormat),
             locale.monthName(d.month(), QLocale::ShortFormat))
        .arg(d.day())
        .arg(d.year(), 4, 10, QLatin1Char('0'));
}

namespace {

QString Designator(int hour24, const QLocale &locale)
{
    return hour24 < 12 ? locale.amText() : locale.pmText();
}

int Hour12(int hour24)
{
    const int h = hour24 % 12;
    return h == 0 ? 12 : h;
}

} // namespace

QString FormatClockTime(DateValue value, const QLocale &locale)
{
    const CivilDateTime c = ToCivil(value);
    return QStringLiteral("%1:%2 %3")
        .arg(Hour12(c.hour), 2, 10, QLatin1Char('0'))
        .arg(c.minute, 2, 10, QLatin1Char('0'))
        .arg(Designator(c.hour, locale));
}

QString FormatShortTime(int hour24, int minute, const QLocale &locale)
{
    return QStringLiteral(" %1:%2 %3")
        .arg(Hour12(hour24))
        .arg(minute, 2, 10, QLatin1Char('0'))
        .arg(Designator(hour24, locale));
}

QString FormatIsoDate(DateValue value)
{
    const CivilDateTime c = ToCivil(value);
    return QStringLiteral("%1-%2-%3")
        .arg(c.year, 4, 10, QLatin1Char('0'))
        .arg(c.month, 2, 10, QLatin1Char('0'))
        .arg(c.day, 2, 10, QLatin1Char('0'));
}

namespace {

// A date in one of the written forms, with what follows it.
struct WrittenDate {
    int year = 0;
    int month = 0;
    int day = 0;
    QString tail;
};

// ISO, US slash, "Mon d, yyyy" and "d Mon yyyy" forms; false for others.
bool MatchWrittenForms(const QString &t, const QLocale &locale, WrittenDate *out)
{
    // ISO: 2026-12-24 or 2026-12-24 01:28[:ss]
    static const QRegularExpression iso(
        QStringLiteral("^(\\d{4})-(\\d{1,2})-(\\d{1,2})(?:[ T](.*))?$"));
    // US: 12/24/2026 [1:28 AM]; day first where the locale writes its own
    // slash dates that way (24/12/2026), so a table written in the user's
    // form is not read with day and month swapped.
    static const QRegularExpression us(
        QStringLiteral("^(\\d{1,2})/(\\d{1,2})/(\\d{4})(?:\\s+(.*))?$"));
    // Dec 24, 2026 [01:28] / December 24, 2026
    static const QRegularExpression monthFirst(
        QStringLiteral("^([^\\d\\s,.]+)\\.?\\s+(\\d{1,2}),?\\s+(\\d{4})(?:\\s+(.*))?$"));
    // 24 Dec 2026 [01:28] / 24. Dez. 2026
    static const QRegularExpression dayFirst(
        QStringLiteral("^(\\d{1,2})\\.?\\s+([^\\d\\s,.]+)\\.?,?\\s+(\\d{4})(?:\\s+(.*))?$"));

    // Which capture holds the year, month (0: a month name) and day.
    const auto take = [out](const QRegularExpressionMatch &m, int year, int month, int day, int month2 = 0) {
        out->year = m.captured(year).toInt();
        out->month = month2 ? month2 : m.captured(month).toInt();
        out->day = m.captured(day).toInt();
        out->tail = m.captured(4);
        return true;
    };
    if (auto m = iso.match(t); m.hasMatch())
        return take(m, 1, 2, 3);
    if (auto m = us.match(t); m.hasMatch()) {
        const QString own = locale.dateFormat(QLocale::ShortFormat);
        const bool ownDayFirst = own.contains(u'/') && own.indexOf(u'd') >= 0 && own.indexOf(u'd') < own.indexOf(u'M');
        return take(m, 3, ownDayFirst ? 2 : 1, ownDayFirst ? 1 : 2);
    }
    if (auto m = monthFirst.match(t); m.hasMatch())
        if (const int month = MonthFromName(m.captured(1), locale))
            return take(m, 3, 0, 2, month);
    if (auto m = dayFirst.match(t); m.hasMatch())
        if (const int month = MonthFromName(m.captured(2), locale))
            return take(m, 3, 0, 1, month);
    return false;
}

// The locale's own forms: its short or long date, alone or followed by a
// time. The time is read apart from the date so that no time-zone rule (a
// daylight-saving gap) can shift or refuse a wall-clock time.
bool MatchLocaleForms(const QString &t, const QLocale &locale, DateValue *value)
{
    QTime time;
    for (const auto format : {QLocale::ShortFormat, QLocale::LongFormat}) {
        if (const QDate date = LocaleDate(t, locale, format); date.isValid()) {
            *value = DateFromQt(date);
            return true;
        }
        for (qsizetype i = t.size() - 1; i > 0; --i) {
            if (!t.at(i).isSpace())
                continue;
            const QDate head = LocaleDate(t.left(i).trimmed(), locale, format);
            if (!head.isValid())
                continue;
            const QString rest = t.mid(i + 1);
            if (ParseTimeTail(rest, locale, &time)) {
                *value = DateFromQt(head, time);
                return true;
            }
            if (const QTime own = locale.toTime(rest, format); own.isValid()) {
                *value = DateFromQt(head, QTime(own.hour(), own.minute(), own.second()));
                return true;
            }
        }
    }
    return false;
}

} // namespace

DateValue ParseDateText(const QString &text, const QLocale &locale)
{
    const QString t = text.trimmed();
    // No date form read here is anywhere near this long; a longer line is
    // not tried, so its cost does not grow with its length.
    constexpr qsizetype kLongestDate = 200;
    WrittenDate written;
    DateValue value = 0;
    if (t.size() <= kLongestDate) {
        if (MatchWrittenForms(t, locale, &written)) {
            const QDate date(written.year, written.month, written.day);
            QTime time;
            if (date.isValid() && ParseTimeTail(written.tail, locale, &time))
                return DateFromQt(date, time);
        } else if (MatchLocaleForms(t, locale, &value)) {
            return value;
        }
    }
    throw RuntimeError(QStringLiteral("Not a date: %1").arg(QuotedForMessage(text)));
}

bool ParseClockTime(const QString &text, int *hour, int *minute)
{
    static const QRegularExpression re(QStringLiteral("^\\s*(\\d{1,2}):(\\d{2})\\s*$"));
    const auto m = re.match(text);
    if (!m.hasMatch())
        return false;
    const int h = m.captured(1).toInt();
    const int mi = m.captured(2).toInt();
    if (h > 23 || mi > 59)
        return false;
    *hour = h;
    *minute = mi;
    return true;
}

QDateTime ReadIssueTime(const QString &text)
{
    // An ISO date and time is a few dozen characters; anything longer is not one.
    constexpr qsizetype kLongestIssued = 64;
    const QString trimmed = text.trimmed();
    if (trimmed.size() > kLongestIssued)
        return {};
    const QDateTime issued = QDateTime::fromString(trimmed, Qt::ISODate);
    if (!issued.isValid() || (issued.timeSpec() != Qt::OffsetFromUTC && issued.timeSpec() != Qt::UTC))
        return {};
    return issued;
}

#include "DateValue.h"

#include "RuntimeError.h"

#include <QRegularExpression>

#include <cmath>

namespace {

const QDate kEpoch(1899, 12, 30);

constexpr const char *kEnglishMonths[12] = {"january", "february", "march",     "april",
                                            "may",     "june",     "july",      "august",
                                            "september", "october", "november", "december"};

int MonthFromName(const QString &name, const QLocale &locale)
{
    const QString lower = name.toLower();
    if (lower.size() < 3)
        return 0;
    for (int m = 1; m <= 12; ++m) {
        const QString english = QString::fromLatin1(kEnglishMonths[m - 1]);
        if (lower == english || (lower.size() <= english.size() && english.startsWith(lower)
                                 && lower.size() >= 3))
            return m;
        if (lower == locale.monthName(m, QLocale::LongFormat).toLower()
            || lower == locale.monthName(m, QLocale::ShortFormat).toLower())
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

} // namespace

DateValue DateFromQt(const QDate &date, const QTime &time)
{
    const long long days = kEpoch.daysTo(date);
    const double fraction = (time.hour() * 3600 + time.minute() * 60 + time.second()) / 86400.0;
    if (days >= 0)
        return static_cast<double>(days) + fraction;
    // Before the epoch the whole part counts down while the time stays positive.
    return static_cast<double>(days) - fraction;
}

DateValue MakeDate(int year, int month, int day, int hour, int minute, int second)
{
    return DateFromQt(QDate(year, month, day), QTime(hour, minute, second));
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

long long FloorDiv(long long a, long long b)
{
    long long q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0)))
        --q;
    return q;
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

DateValue ParseDateText(const QString &text, const QLocale &locale)
{
    const QString t = text.trimmed();
    QTime time;

    // ISO: 2026-12-24 or 2026-12-24 01:28[:ss]
    static const QRegularExpression iso(
        QStringLiteral("^(\\d{4})-(\\d{1,2})-(\\d{1,2})(?:[ T](.*))?$"));
    // US: 12/24/2026 [1:28 AM]
    static const QRegularExpression us(
        QStringLiteral("^(\\d{1,2})/(\\d{1,2})/(\\d{4})(?:\\s+(.*))?$"));
    // Dec 24, 2026 [01:28] / December 24, 2026
    static const QRegularExpression monthFirst(
        QStringLiteral("^([^\\d\\s,.]+)\\.?\\s+(\\d{1,2}),?\\s+(\\d{4})(?:\\s+(.*))?$"));
    // 24 Dec 2026 [01:28]
    static const QRegularExpression dayFirst(
        QStringLiteral("^(\\d{1,2})\\s+([^\\d\\s,.]+)\\.?,?\\s+(\\d{4})(?:\\s+(.*))?$"));

    int y = 0, mo = 0, d = 0;
    QString tail;
    bool matched = false;
    if (auto m = iso.match(t); m.hasMatch()) {
        y = m.captured(1).toInt();
        mo = m.captured(2).toInt();
        d = m.captured(3).toInt();
        tail = m.captured(4);
        matched = true;
    } else if (auto m = us.match(t); m.hasMatch()) {
        mo = m.captured(1).toInt();
        d = m.captured(2).toInt();
        y = m.captured(3).toInt();
        tail = m.captured(4);
        matched = true;
    } else if (auto m = monthFirst.match(t); m.hasMatch() && MonthFromName(m.captured(1), locale)) {
        mo = MonthFromName(m.captured(1), locale);
        d = m.captured(2).toInt();
        y = m.captured(3).toInt();
        tail = m.captured(4);
        matched = true;
    } else if (auto m = dayFirst.match(t); m.hasMatch() && MonthFromName(m.captured(2), locale)) {
        d = m.captured(1).toInt();
        mo = MonthFromName(m.captured(2), locale);
        y = m.captured(3).toInt();
        tail = m.captured(4);
        matched = true;
    }
    if (matched) {
        const QDate date(y, mo, d);
        if (date.isValid() && ParseTimeTail(tail, locale, &time))
            return DateFromQt(date, time);
    } else {
        // The locale's own forms, date alone or date and time.
        for (const auto format : {QLocale::ShortFormat, QLocale::LongFormat}) {
            const QDate date = locale.toDate(t, format);
            if (date.isValid())
                return DateFromQt(date);
            const QDateTime dateTime = locale.toDateTime(t, format);
            if (dateTime.isValid())
                return DateFromQDateTime(dateTime);
        }
    }
    throw RuntimeError(QStringLiteral("Not a date: \"%1\"").arg(text));
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

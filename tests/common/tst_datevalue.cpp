// Date values: the calendar both ways, boundary counts, the clock and date
// forms, and reading date texts in several locales.
#include "common/DateValue.h"
#include "common/RuntimeError.h"

#include <QTimeZone>
#include <QtTest>

#include <ctime>

namespace {

const QLocale kEnglishUS(QLocale::English, QLocale::UnitedStates);

QString Stamp(DateValue value)
{
    const CivilDateTime c = ToCivil(value);
    return QString::asprintf("%04d-%02d-%02d %02d:%02d:%02d", c.year, c.month, c.day, c.hour,
                             c.minute, c.second);
}

// The reading as a stamp, or the failure's description, so that one refused
// row does not hide the rows after it.
QString Parsed(const QString &text, const QLocale &locale)
{
    try {
        return Stamp(ParseDateText(text, locale));
    } catch (const RuntimeError &error) {
        return error.description();
    }
}

} // namespace

class DateValueTest : public QObject {
    Q_OBJECT

private slots:
    void zeroValue();
    void calendarRoundTrip_data();
    void calendarRoundTrip();
    void beforeTheEpoch();
    void roundingToTheSecond();
    void outOfRangeFieldsCarryOver();
    void invalidQtValuesAreErrors();
    void fromQDateTime();
    void datePart();
    void boundaryCounts_data();
    void boundaryCounts();
    void boundaryCountsAreAntisymmetric();
    void clockAndShortTimes();
    void isoDate();
    void otherLocaleNames();
    void parseDateText_data();
    void parseDateText();
    void parseDateTextInLocale_data();
    void parseDateTextInLocale();
    void parseDateTextIgnoresDaylightSaving();
    void parseDateTextFailures_data();
    void parseDateTextFailures();
    void parseClockTime();
};

void DateValueTest::zeroValue()
{
    const DateValue zero = 0.0;
    QCOMPARE(FormatLongDate(zero, kEnglishUS), QStringLiteral("Saturday, Dec 30, 1899"));
    QCOMPARE(MakeDate(1899, 12, 30), 0.0);
    QCOMPARE(ToQDate(zero), QDate(1899, 12, 30));
    QCOMPARE(ToQTime(zero), QTime(0, 0));
    QCOMPARE(FormatIsoDate(zero), QStringLiteral("1899-12-30"));
}

void DateValueTest::calendarRoundTrip_data()
{
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QTime>("time");
    QTest::addColumn<double>("value");
    QTest::newRow("epoch noon") << QDate(1899, 12, 30) << QTime(12, 0) << 0.5;
    QTest::newRow("first of 1900") << QDate(1900, 1, 1) << QTime(0, 0) << 2.0;
    // 1900 is no leap year: 1 March 1900 is day 61.
    QTest::newRow("1900-03-01") << QDate(1900, 3, 1) << QTime(0, 0) << 61.0;
    QTest::newRow("leap day 2024") << QDate(2024, 2, 29) << QTime(18, 0) << 45351.75;
    QTest::newRow("leap day 2000") << QDate(2000, 2, 29) << QTime(6, 0) << 36585.25;
    QTest::newRow("day before epoch 06:00") << QDate(1899, 12, 29) << QTime(6, 0) << -1.25;
    QTest::newRow("two days before, 18:00") << QDate(1899, 12, 28) << QTime(18, 0) << -2.75;
    QTest::newRow("last second of a day") << QDate(2026, 12, 31) << QTime(23, 59, 59)
                                          << 46387.0 + 86399.0 / 86400.0;
}

void DateValueTest::calendarRoundTrip()
{
    QFETCH(QDate, date);
    QFETCH(QTime, time);
    QFETCH(double, value);

    const DateValue made = MakeDate(date.year(), date.month(), date.day(), time.hour(),
                                    time.minute(), time.second());
    QVERIFY2(qAbs(made - value) < 1e-9, qPrintable(QString::number(made, 'f', 9)));
    QVERIFY(qAbs(DateFromQt(date, time) - value) < 1e-9);
    QCOMPARE(ToQDate(value), date);
    QCOMPARE(ToQTime(value), time);
    const CivilDateTime c = ToCivil(value);
    QCOMPARE(QDate(c.year, c.month, c.day), date);
    QCOMPARE(QTime(c.hour, c.minute, c.second), time);
}

void DateValueTest::beforeTheEpoch()
{
    // Before the epoch the whole part counts down while the time of day stays
    // positive, so a later time of the same day is a more negative value.
    const DateValue morning = MakeDate(1899, 12, 29, 6, 0, 0);
    const DateValue evening = MakeDate(1899, 12, 29, 18, 0, 0);
    QVERIFY(qAbs(morning - -1.25) < 1e-12);
    QVERIFY(qAbs(evening - -1.75) < 1e-12);
    QCOMPARE(Stamp(-1.75), QStringLiteral("1899-12-29 18:00:00"));
    // A value between -1 and 0 is on the epoch day itself.
    QCOMPARE(Stamp(-0.25), QStringLiteral("1899-12-30 06:00:00"));
    QCOMPARE(Stamp(MakeDate(1800, 1, 1, 23, 59, 59)), QStringLiteral("1800-01-01 23:59:59"));
    QCOMPARE(FormatLongDate(-1.25, kEnglishUS), QStringLiteral("Friday, Dec 29, 1899"));
    QCOMPARE(DatePart(-1.75), -1.0);
}

void DateValueTest::roundingToTheSecond()
{
    const double second = 1.0 / 86400.0;
    // 23:59:59.6 rounds into the next day, also across a month and year end.
    QCOMPARE(Stamp(MakeDate(2026, 12, 31) + 86399.6 * second),
             QStringLiteral("2027-01-01 00:00:00"));
    QCOMPARE(Stamp(MakeDate(2026, 2, 28) + 86399.6 * second),
             QStringLiteral("2026-03-01 00:00:00"));
    QCOMPARE(Stamp(MakeDate(2026, 2, 28) + 86399.4 * second),
             QStringLiteral("2026-02-28 23:59:59"));
    // Before the epoch the carry still goes to the next calendar day.
    QCOMPARE(Stamp(-1.0 - 86399.6 * second), QStringLiteral("1899-12-30 00:00:00"));
    QCOMPARE(Stamp(-2.0 - 86399.6 * second), QStringLiteral("1899-12-29 00:00:00"));
    QCOMPARE(Stamp(MakeDate(2026, 5, 1, 10, 0, 0) + 29.5001 * second),
             QStringLiteral("2026-05-01 10:00:30"));
}

void DateValueTest::outOfRangeFieldsCarryOver()
{
    QCOMPARE(Stamp(MakeDate(2026, 13, 1)), QStringLiteral("2027-01-01 00:00:00"));
    QCOMPARE(Stamp(MakeDate(2026, 0, 15)), QStringLiteral("2025-12-15 00:00:00"));
    QCOMPARE(Stamp(MakeDate(2026, 3, 0)), QStringLiteral("2026-02-28 00:00:00"));
    QCOMPARE(Stamp(MakeDate(2026, 1, 20 - 5)), QStringLiteral("2026-01-15 00:00:00"));
    QCOMPARE(Stamp(MakeDate(2026, 1, 3 - 5)), QStringLiteral("2025-12-29 00:00:00"));
    QCOMPARE(Stamp(MakeDate(2026, 12, 31, 24, 0, 0)), QStringLiteral("2027-01-01 00:00:00"));
    QCOMPARE(Stamp(MakeDate(2026, 1, 1, 0, 0, -1)), QStringLiteral("2025-12-31 23:59:59"));
    QCOMPARE(Stamp(MakeDate(1899, 12, 30, 0, -30, 0)), QStringLiteral("1899-12-29 23:30:00"));
}

void DateValueTest::invalidQtValuesAreErrors()
{
    QVERIFY_THROWS_EXCEPTION(RuntimeError, DateFromQt(QDate()));
    QVERIFY_THROWS_EXCEPTION(RuntimeError, DateFromQt(QDate(2026, 1, 1), QTime()));
    QVERIFY_THROWS_EXCEPTION(RuntimeError, DateFromQDateTime(QDateTime()));
}

void DateValueTest::fromQDateTime()
{
    const QDateTime wall(QDate(2026, 12, 24), QTime(1, 28, 45, 999));
    // Milliseconds are dropped, not rounded up to the next second.
    QCOMPARE(Stamp(DateFromQDateTime(wall)), QStringLiteral("2026-12-24 01:28:45"));
    // The wall-clock fields count, whatever the time zone or offset.
    const QDateTime offset(QDate(2026, 7, 1), QTime(23, 30), QTimeZone(-8 * 3600));
    QCOMPARE(Stamp(DateFromQDateTime(offset)), QStringLiteral("2026-07-01 23:30:00"));
    const QDateTime utc(QDate(1899, 12, 29), QTime(6, 0), Qt::UTC);
    QVERIFY(qAbs(DateFromQDateTime(utc) - -1.25) < 1e-12);
}

void DateValueTest::datePart()
{
    QCOMPARE(DatePart(MakeDate(2026, 1, 20, 23, 59, 59)), MakeDate(2026, 1, 20));
    QCOMPARE(DatePart(MakeDate(2026, 1, 20)), MakeDate(2026, 1, 20));
    QCOMPARE(DatePart(MakeDate(1899, 12, 28, 12, 0, 0)), -2.0);
    QCOMPARE(DatePart(0.999), 0.0);
}

void DateValueTest::boundaryCounts_data()
{
    QTest::addColumn<double>("from");
    QTest::addColumn<double>("to");
    QTest::addColumn<qlonglong>("hours");
    QTest::addColumn<qlonglong>("days");
    QTest::addColumn<qlonglong>("minutes");

    const auto at = [](int y, int mo, int d, int h, int mi, int s = 0) {
        return MakeDate(y, mo, d, h, mi, s);
    };
    QTest::newRow("10:59 to 18:00 is 8 hours in 7 h 1 min")
        << at(2026, 3, 10, 10, 59) << at(2026, 3, 10, 18, 0) << 8LL << 0LL << 421LL;
    QTest::newRow("10:59 to 17:59 is 7 hours")
        << at(2026, 3, 10, 10, 59) << at(2026, 3, 10, 17, 59) << 7LL << 0LL << 420LL;
    QTest::newRow("23:59 to midnight is one day")
        << at(2026, 3, 10, 23, 59) << at(2026, 3, 11, 0, 0) << 1LL << 1LL << 1LL;
    QTest::newRow("00:00 to 23:59:59 is no day")
        << at(2026, 3, 10, 0, 0) << at(2026, 3, 10, 23, 59, 59) << 23LL << 0LL << 1439LL;
    QTest::newRow("10:00:59 to 10:30:00 is 30 minutes")
        << at(2026, 3, 10, 10, 0, 59) << at(2026, 3, 10, 10, 30, 0) << 0LL << 0LL << 30LL;
    QTest::newRow("10:00:59 to 10:29:59 is 29 minutes")
        << at(2026, 3, 10, 10, 0, 59) << at(2026, 3, 10, 10, 29, 59) << 0LL << 0LL << 29LL;
    QTest::newRow("same instant") << at(2026, 3, 10, 10, 0) << at(2026, 3, 10, 10, 0) << 0LL
                                  << 0LL << 0LL;
    QTest::newRow("clock set back one hour")
        << at(2026, 3, 10, 10, 30) << at(2026, 3, 10, 9, 30) << -1LL << 0LL << -60LL;
    QTest::newRow("clock set back over midnight")
        << at(2026, 3, 11, 0, 0, 30) << at(2026, 3, 10, 23, 59, 59) << -1LL << -1LL << -1LL;
    QTest::newRow("across a month end") << at(2026, 2, 28, 22, 15) << at(2026, 3, 1, 1, 0)
                                        << 3LL << 1LL << 165LL;
    QTest::newRow("across a year end") << at(2026, 12, 31, 16, 0) << at(2027, 1, 1, 0, 0, 1)
                                       << 8LL << 1LL << 480LL;
    QTest::newRow("across a leap day") << at(2028, 2, 28, 12, 0) << at(2028, 3, 1, 12, 0)
                                       << 48LL << 2LL << 2880LL;
    QTest::newRow("across the epoch") << at(1899, 12, 29, 23, 59) << at(1899, 12, 30, 0, 0)
                                      << 1LL << 1LL << 1LL;
    QTest::newRow("before the epoch, same day")
        << at(1899, 12, 29, 6, 0) << at(1899, 12, 29, 18, 0) << 12LL << 0LL << 720LL;
    QTest::newRow("before the epoch, two days")
        << at(1899, 12, 28, 18, 0) << at(1899, 12, 30, 6, 0) << 36LL << 2LL << 2160LL;
    QTest::newRow("epoch backwards into negatives")
        << at(1899, 12, 30, 0, 0) << at(1899, 12, 29, 23, 0) << -1LL << -1LL << -60LL;
}

void DateValueTest::boundaryCounts()
{
    QFETCH(double, from);
    QFETCH(double, to);
    QFETCH(qlonglong, hours);
    QFETCH(qlonglong, days);
    QFETCH(qlonglong, minutes);
    QCOMPARE(HourBoundaries(from, to), hours);
    QCOMPARE(DayBoundaries(from, to), days);
    QCOMPARE(MinuteBoundaries(from, to), minutes);
}

void DateValueTest::boundaryCountsAreAntisymmetric()
{
    const DateValue a = MakeDate(1899, 12, 29, 7, 45, 12);
    for (int step = 0; step < 200; ++step) {
        const DateValue b = a + step * 0.0137;
        QCOMPARE(HourBoundaries(b, a), -HourBoundaries(a, b));
        QCOMPARE(DayBoundaries(b, a), -DayBoundaries(a, b));
        QCOMPARE(MinuteBoundaries(b, a), -MinuteBoundaries(a, b));
    }
}

void DateValueTest::clockAndShortTimes()
{
    const auto clock = [](int h, int m) {
        return FormatClockTime(MakeDate(2026, 6, 1, h, m, 0), kEnglishUS);
    };
    QCOMPARE(clock(0, 5), QStringLiteral("12:05 AM"));
    QCOMPARE(clock(9, 0), QStringLiteral("09:00 AM"));
    QCOMPARE(clock(11, 59), QStringLiteral("11:59 AM"));
    QCOMPARE(clock(12, 30), QStringLiteral("12:30 PM"));
    QCOMPARE(clock(13, 7), QStringLiteral("01:07 PM"));
    QCOMPARE(clock(23, 59), QStringLiteral("11:59 PM"));
    QCOMPARE(FormatClockTime(-1.75, kEnglishUS), QStringLiteral("06:00 PM"));

    QCOMPARE(FormatShortTime(0, 5, kEnglishUS), QStringLiteral(" 12:05 AM"));
    QCOMPARE(FormatShortTime(12, 0, kEnglishUS), QStringLiteral(" 12:00 PM"));
    QCOMPARE(FormatShortTime(21, 37, kEnglishUS), QStringLiteral(" 9:37 PM"));
    QCOMPARE(FormatShortTime(10, 3, kEnglishUS), QStringLiteral(" 10:03 AM"));
}

void DateValueTest::isoDate()
{
    QCOMPARE(FormatIsoDate(MakeDate(2026, 1, 3, 23, 59, 59)), QStringLiteral("2026-01-03"));
    QCOMPARE(FormatIsoDate(MakeDate(987, 7, 4)), QStringLiteral("0987-07-04"));
    QCOMPARE(FormatIsoDate(-1.75), QStringLiteral("1899-12-29"));
}

void DateValueTest::otherLocaleNames()
{
    const QLocale german(QLocale::German, QLocale::Germany);
    const QString longDate = FormatLongDate(MakeDate(2026, 12, 24), german);
    QCOMPARE(longDate, QStringLiteral("Donnerstag, %1 24, 2026")
                           .arg(german.monthName(12, QLocale::ShortFormat)));
    QVERIFY(longDate.startsWith(QStringLiteral("Donnerstag, Dez")));
    QCOMPARE(FormatLongDate(MakeDate(2026, 3, 1), german),
             QStringLiteral("Sonntag, %1 1, 2026").arg(german.monthName(3, QLocale::ShortFormat)));
    // The designators are the locale's own.
    QLocale custom(QLocale::Chinese, QLocale::China);
    QCOMPARE(FormatClockTime(MakeDate(2026, 1, 1, 15, 4, 0), custom),
             QStringLiteral("03:04 ") + custom.pmText());
    QCOMPARE(FormatShortTime(3, 4, custom), QStringLiteral(" 3:04 ") + custom.amText());
}

void DateValueTest::parseDateText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("iso") << "2026-12-24" << "2026-12-24 00:00:00";
    QTest::newRow("iso with time") << "2026-12-24 01:28" << "2026-12-24 01:28:00";
    QTest::newRow("iso with seconds") << "2026-12-24 01:28:09" << "2026-12-24 01:28:09";
    QTest::newRow("iso, T and spaces") << "  2026-01-03T10:03  " << "2026-01-03 10:03:00";
    QTest::newRow("iso leap day") << "2028-02-29 23:59" << "2028-02-29 23:59:00";
    QTest::newRow("us") << "12/24/2026" << "2026-12-24 00:00:00";
    QTest::newRow("us short fields") << "1/3/2026 9:05" << "2026-01-03 09:05:00";
    QTest::newRow("us pm") << "12/24/2026 1:28 PM" << "2026-12-24 13:28:00";
    QTest::newRow("us 12 am") << "12/24/2026 12:15 AM" << "2026-12-24 00:15:00";
    QTest::newRow("us 12 pm") << "12/24/2026 12:15 pm" << "2026-12-24 12:15:00";
    QTest::newRow("us seconds am") << "7/4/2026 11:59:30 AM" << "2026-07-04 11:59:30";
    QTest::newRow("month first") << "Dec 24, 2026" << "2026-12-24 00:00:00";
    QTest::newRow("month first with stop") << "Dec. 24, 2026" << "2026-12-24 00:00:00";
    QTest::newRow("long month with time") << "December 24, 2026 01:28"
                                          << "2026-12-24 01:28:00";
    QTest::newRow("month first no comma") << "Sept 5 2026" << "2026-09-05 00:00:00";
    QTest::newRow("day first") << "24 Dec 2026" << "2026-12-24 00:00:00";
    QTest::newRow("day first long with time pm") << "3 January 2026 10:03 PM"
                                                 << "2026-01-03 22:03:00";
    QTest::newRow("locale short, two-digit year") << "12/24/26" << "2026-12-24 00:00:00";
    QTest::newRow("locale short, 1930s") << "12/24/30" << "1930-12-24 00:00:00";
    QTest::newRow("locale short with time") << "12/24/26 1:28 AM" << "2026-12-24 01:28:00";
    QTest::newRow("locale long") << "Thursday, December 24, 2026" << "2026-12-24 00:00:00";
    QTest::newRow("locale long with time") << "Thursday, December 24, 2026 7:45 PM"
                                           << "2026-12-24 19:45:00";
}

void DateValueTest::parseDateText()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(Parsed(text, kEnglishUS), expected);
}

void DateValueTest::parseDateTextInLocale_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    const QLocale german(QLocale::German, QLocale::Germany);
    const QLocale french(QLocale::French, QLocale::France);
    QTest::newRow("de short") << german << "24.12.26" << "2026-12-24 00:00:00";
    QTest::newRow("de short with time") << german << "24.12.26 01:28" << "2026-12-24 01:28:00";
    QTest::newRow("de long") << german << "Donnerstag, 24. Dezember 2026"
                             << "2026-12-24 00:00:00";
    QTest::newRow("de day month name") << german << "24. Dezember 2026" << "2026-12-24 00:00:00";
    QTest::newRow("de abbreviated with stop") << german << "24. Dez. 2026 01:28"
                                              << "2026-12-24 01:28:00";
    QTest::newRow("de month without stop") << german << "3 Okt 2026"
                                                 << "2026-10-03 00:00:00";
    QTest::newRow("de still reads english") << german << "Dec 24, 2026" << "2026-12-24 00:00:00";
    QTest::newRow("de still reads iso") << german << "2026-12-24 01:28" << "2026-12-24 01:28:00";
    QTest::newRow("fr slash is day first") << french << "03/01/2026" << "2026-01-03 00:00:00";
    QTest::newRow("fr abbreviated") << french << "3 janv. 2026 22:03" << "2026-01-03 22:03:00";
    QTest::newRow("us slash is month first") << kEnglishUS << "03/01/2026"
                                             << "2026-03-01 00:00:00";
}

void DateValueTest::parseDateTextInLocale()
{
    QFETCH(QLocale, locale);
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(Parsed(text, locale), expected);
}

void DateValueTest::parseDateTextIgnoresDaylightSaving()
{
    // Date values are wall-clock times: an hour that the local zone skips in
    // spring or repeats in autumn is still read as written.
    const QByteArray savedTz = qgetenv("TZ");
    qputenv("TZ", "America/Los_Angeles");
    tzset();
    const QString skipped = Parsed(QStringLiteral("3/8/26 2:30 AM"), kEnglishUS);
    const QString repeated = Parsed(QStringLiteral("11/1/26 1:30 AM"), kEnglishUS);
    const QString german = Parsed(QStringLiteral("29.03.26 02:30"),
                                  QLocale(QLocale::German, QLocale::Germany));
    if (savedTz.isNull())
        qunsetenv("TZ");
    else
        qputenv("TZ", savedTz);
    tzset();
    QCOMPARE(skipped, QStringLiteral("2026-03-08 02:30:00"));
    QCOMPARE(repeated, QStringLiteral("2026-11-01 01:30:00"));
    QCOMPARE(german, QStringLiteral("2026-03-29 02:30:00"));
}

void DateValueTest::parseDateTextFailures_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << "";
    QTest::newRow("spaces") << "   ";
    QTest::newRow("garbage") << "full moon soon";
    QTest::newRow("no such day") << "2026-02-30";
    QTest::newRow("not a leap year") << "2027-02-29";
    QTest::newRow("month 13") << "13/01/2026";
    QTest::newRow("bad time") << "2026-12-24 24:00";
    QTest::newRow("bad minutes") << "2026-12-24 10:60";
    QTest::newRow("13 pm") << "12/24/2026 13:28 PM";
    QTest::newRow("0 am") << "12/24/2026 0:28 AM";
    QTest::newRow("trailing words") << "2026-12-24 01:28 tomorrow";
    QTest::newRow("unknown month") << "Dek 24, 2026";
    QTest::newRow("two letters of a month") << "Ju 24, 2026";
    QTest::newRow("number only") << "46380";
    QTest::newRow("header line") << "Full moons, US Pacific time";
}

void DateValueTest::parseDateTextFailures()
{
    QFETCH(QString, text);
    try {
        const DateValue value = ParseDateText(text, kEnglishUS);
        QFAIL(qPrintable(QStringLiteral("read as %1").arg(Stamp(value))));
    } catch (const RuntimeError &error) {
        QVERIFY2(error.description().contains(QLatin1Char('"') + text + QLatin1Char('"')),
                 qPrintable(error.description()));
        QVERIFY(!error.description().endsWith(QLatin1Char('.')));
    }
}

void DateValueTest::parseClockTime()
{
    int hour = -1, minute = -1;
    QVERIFY(ParseClockTime(QStringLiteral("06:42"), &hour, &minute));
    QCOMPARE(hour, 6);
    QCOMPARE(minute, 42);
    QVERIFY(ParseClockTime(QStringLiteral(" 23:59\t"), &hour, &minute));
    QCOMPARE(hour, 23);
    QCOMPARE(minute, 59);
    QVERIFY(ParseClockTime(QStringLiteral("0:00"), &hour, &minute));
    QCOMPARE(hour, 0);
    QCOMPARE(minute, 0);

    hour = minute = 77;
    for (const char *bad : {"24:00", "12:60", "7:5", "", "12", "12:30:00", "12:30 PM", "ab:cd",
                            "-1:30"}) {
        QVERIFY2(!ParseClockTime(QString::fromLatin1(bad), &hour, &minute), bad);
        // A refused text leaves the caller's values alone.
        QCOMPARE(hour, 77);
        QCOMPARE(minute, 77);
    }
}

QTEST_GUILESS_MAIN(DateValueTest)
#include "tst_datevalue.moc"

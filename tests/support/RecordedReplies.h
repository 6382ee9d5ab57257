#pragma once

// The recorded replies of both services in ../shared/fixtures, read in
// place, and one record per reply the tests use: what it holds and what the
// window must show for it. Every value was read off the files by hand; the
// extraction, window and end-to-end tests all check against these records.
#include "common/CodePage.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QList>
#include <QLocale>
#include <QStringList>
#include <QTimeZone>
#include <QtTest>

namespace recorded {

inline const QString kFolder = QStringLiteral(SELVORRA_FIXTURES_DIR);
inline constexpr const char *kAbsent = "the recorded service replies (../shared/fixtures) are not beside this checkout";

inline bool Present()
{
    return QDir(kFolder).exists();
}

// The initTestCase of a test that reads recorded replies in every function,
// called as its last step: the US English forms the program shows, and the
// whole test skipped, saying why, when the replies are absent.
inline void StartTestCase()
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    if (!Present())
        QSKIP(kAbsent);
}

// A reply byte for byte, `relative` to the fixtures folder. A reply missing
// from a folder that is there is a broken copy and ends the run.
inline QByteArray Bytes(const QString &relative)
{
    QFile file(kFolder + QLatin1Char('/') + relative);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing recorded reply %s", qPrintable(relative));
    return file.readAll();
}

// The reply as the download hands it to the program: one character a byte.
inline QString Text(const QString &relative)
{
    return FromCp1252(Bytes(relative));
}

// `source` itself when it is a reply written by the test (it opens with "<",
// "{" or "["), else the recorded reply of that name in `folder` (e.g.
// "nws-api/"); false when the recordings are absent.
inline bool ReplyOf(const QString &folder, const QString &source, QString &reply)
{
    if (source.startsWith(u'{') || source.startsWith(u'<') || source.startsWith(u'['))
        reply = source;
    else if (Present())
        reply = Text(folder + source);
    else
        return false;
    return true;
}

// --- forecast replies (nws/) ------------------------------------------------

struct Forecast {
    QString file;         // relative to the fixtures folder
    bool nightFirst;      // the first period is a night: the maxima start a row later
    QString temperature;  // apparent, °F: the label
    QString wind;
    QString humidity;
    QString dewPoint;
    QString pressure;     // inches of mercury, as the reply has it
    QString hectopascals; // as the text box shows it
    QString station;
    // The seven rows the list shows: day, maximum, minimum, chance of rain
    // and the worded forecast as the list has it.
    QList<QStringList> rows;
    // Night first: the seventh maximum, for the day after the last row,
    // which no row shows.
    QString hiddenMaximum = {};
    // Each hazard's headline and address, in the reply's order, the
    // entities in the address decoded.
    QList<QStringList> hazards = {};
    // The whole worded forecasts of rows 1 and 2, each run of spaces one
    // space and the ends trimmed.
    QStringList firstTexts = {};
    // The head's creation date, with its offset from UTC.
    QDateTime issued = {};
};

// A creation date in the replies' own form: local time and its offset.
inline QDateTime Issued(int year, int month, int day, int hour, int minute, int second, int offsetHours)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second), QTimeZone(offsetHours * 3600));
}

// The text box's lines after the sun and moon texts.
inline QString Conditions(const Forecast &f)
{
    return QStringLiteral("Wind Speed: %1\r\nHumidy: %2\r\nDew Point: %3\r\nPressure: %4\r\n%5")
        .arg(f.wind, f.humidity, f.dewPoint, f.hectopascals, f.station);
}

// Tonight first, the n14 layout, gusts in a summary.
inline const Forecast kAustin{
    .file = "nws/austin-2023-02-26-tonight-n14.xml",
    .nightFirst = true,
    .temperature = "71", .wind = "14", .humidity = "76", .dewPoint = "63",
    .pressure = "29.74", .hectopascals = "1007", .station = "Austin-Bergstrom International Airport, TX",
    .rows = {
        {"Tonight", "", "59", "20%", "A 20 percent chance of showers after midnight."},
        {"Monday", "82", "50", "", "Partly sunny, gusts as high as 20 mph. "},
        {"Tuesday", "86", "65", "", "Sunny,"},
        {"Wednesday", "84", "65", "", "Mostly cloudy,"},
        {"Thursday", "86", "42", "20%", "A 20 percent chance of showers and thunderstorms after noon."},
        {"Friday", "65", "40", "", "Sunny,"},
        {"Saturday", "70", "45", "", "Sunny,"},
    },
    .hiddenMaximum = "74",
    .firstTexts = {"A 20 percent chance of showers after midnight. Increasing clouds, with a low around 59. South wind "
                   "15 to 20 mph becoming west 10 to 15 mph after midnight. Winds could gust as high as 30 mph.",
                   "Partly sunny, then gradually becoming sunny, with a high near 82. West northwest wind 5 to 10 mph, "
                   "with gusts as high as 20 mph."},
    .issued = Issued(2023, 2, 26, 19, 50, 48, -6)};

// The afternoon first, the n13 layout, gusts and hazards.
inline const Forecast kAmarillo{
    .file = "nws/amarillo-2013-08-13-afternoon-n13.xml",
    .nightFirst = false,
    .temperature = "82", .wind = "6", .humidity = "55", .dewPoint = "64",
    .pressure = "30.17", .hectopascals = "1022", .station = "Rick Husband Amarillo Intl Airport, TX",
    .rows = {
        {"This Afternoon", "85", "63", "70%", "Scattered showers and thunderstorms."},
        {"Wednesday", "79", "62", "60%",
         "Showers and thunderstorms likely, gusts as high as 20 mph.  Chance of precipitation is 60%."},
        {"Thursday", "85", "63", "30%", "A 20 percent chance of showers and thunderstorms."},
        {"Friday", "87", "65", "20%", "A 20 percent chance of showers and thunderstorms."},
        {"Saturday", "85", "65", "20%", "A 20 percent chance of showers and thunderstorms."},
        {"Sunday", "88", "66", "20%", "Mostly sunny,"},
        {"Monday", "88", "", "", "Mostly sunny,"},
    },
    // Two statements, which count as hazards too, with addresses on http.
    .hazards = {{"Hazardous Weather Outlook",
                 "http://forecast.weather.gov/showsigwx.php?warnzone=TXZ012&warncounty=TXC375&firewxzone=TXZ012"
                 "&local_place1=Rick+Husband+Amarillo+Intl+Airport+TX&product1=Hazardous+Weather+Outlook"},
                {"Short Term Forecast",
                 "http://forecast.weather.gov/showsigwx.php?warnzone=TXZ012&warncounty=TXC375&firewxzone=TXZ012"
                 "&local_place1=Rick+Husband+Amarillo+Intl+Airport+TX&product1=Short+Term+Forecast"}},
    .firstTexts = {"Scattered showers and thunderstorms. Mostly sunny, with a high near 85. Northeast wind around 15 "
                   "mph. Chance of precipitation is 50%.",
                   "Showers and thunderstorms likely, mainly after 1pm. Mostly cloudy, with a high near 79. East "
                   "southeast wind 5 to 15 mph, with gusts as high as 20 mph. Chance of precipitation is 60%."},
    .issued = Issued(2013, 8, 13, 14, 48, 55, -5)};

// Today first, the n13 layout, no chances of rain.
inline const Forecast kSanCarlos{
    .file = "nws/sancarlos-2025-10-06-today-n13.xml",
    .nightFirst = false,
    .temperature = "68", .wind = "NA", .humidity = "64", .dewPoint = "55",
    .pressure = "29.87", .hectopascals = "1011", .station = "Palo Alto Airport, CA",
    .rows = {
        {"Today", "85", "60", "", "Sunny,"},
        {"Tuesday", "84", "58", "", "Sunny,"},
        {"Wednesday", "78", "58", "", "Sunny,"},
        {"Thursday", "76", "55", "", "Mostly sunny,"},
        {"Friday", "75", "56", "", "A slight chance of rain after 11am."},
        {"Saturday", "74", "54", "", "A slight chance of rain."},
        {"Sunday", "73", "", "", "Sunny,"},
    },
    .firstTexts = {"Sunny, with a high near 85. Light and variable wind.",
                   "Sunny, with a high near 84. Calm wind becoming west northwest around 5 mph in the afternoon."},
    .issued = Issued(2025, 10, 6, 1, 26, 42, -7)};

// Overnight first, the n14 layout, hazards.
inline const Forecast kLaMesaMarch{
    .file = "nws/lamesa-2026-03-18-overnight-n14-hazards-stale-creation.xml",
    .nightFirst = true,
    .temperature = "73", .wind = "NA", .humidity = "51", .dewPoint = "54",
    .pressure = "29.93", .hectopascals = "1013", .station = "DW5256 La Mesa, CA",
    .rows = {
        {"Overnight", "", "63", "", "Mostly clear,"},
        {"Wednesday", "92", "63", "", "Sunny,"},
        {"Thursday", "92", "64", "", "Sunny,"},
        {"Friday", "90", "61", "", "Sunny,"},
        {"Saturday", "86", "58", "", "Sunny,"},
        {"Sunday", "82", "58", "", "Patchy fog before 11am."},
        {"Monday", "82", "57", "", "Sunny,"},
    },
    .hiddenMaximum = "82",
    .hazards = {{"Heat Advisory",
                 "https://forecast.weather.gov/showsigwx.php?warnzone=CAZ050&warncounty=CAC073&firewxzone=CAZ250"
                 "&local_place1=3+Miles+NW+La+Mesa+CA&product1=Heat+Advisory"}},
    .firstTexts = {"Mostly clear, with a low around 63. Calm wind.",
                   "Sunny, with a high near 92. Light and variable wind becoming west 5 to 10 mph in the afternoon."},
    // A day before the forecast's first period.
    .issued = Issued(2026, 3, 17, 11, 7, 56, -7)};

// Overnight first, the n14 layout, chances of rain and gusts.
inline const Forecast kLaMesaApril{
    .file = "nws/lamesa-2026-04-11-overnight-n14.xml",
    .nightFirst = true,
    .temperature = "60", .wind = "NA", .humidity = "78", .dewPoint = "53",
    .pressure = "29.94", .hectopascals = "1014", .station = "DW5256 La Mesa, CA",
    .rows = {
        {"Overnight", "", "57", "20%", "A slight chance of showers."},
        {"Saturday", "69", "55", "20%", "A slight chance of showers before 11am."},
        {"Sunday", "67", "53", "50%",
         "A chance of showers, gusts as high as 20 mph.  Chance of precipitation is 50%. New rainfall amounts "
         "between a tenth and quarter of an inch, except higher amounts possible in thunderstorms. "},
        {"Monday", "66", "50", "20%", "A slight chance of showers before 11am."},
        {"Tuesday", "71", "50", "", "Mostly sunny,"},
        {"Wednesday", "73", "53", "", "Sunny,"},
        {"Thursday", "73", "52", "", "Partly sunny,"},
    },
    .hiddenMaximum = "75",
    .firstTexts = {"A slight chance of showers. Mostly cloudy, with a low around 57. Southwest wind around 5 mph. Chance "
                   "of precipitation is 20%.",
                   "A slight chance of showers before 11am. Mostly cloudy, then gradually becoming sunny, with a high "
                   "near 69. Southwest wind 5 to 10 mph. Chance of precipitation is 20%."},
    .issued = Issued(2026, 4, 10, 21, 30, 45, -7)};

// Today first, the n13 layout, a holiday for a day's name.
inline const Forecast kLaMesaJune{
    .file = "nws/lamesa-2026-06-29-today-n13-holiday-period-name.xml",
    .nightFirst = false,
    .temperature = "61", .wind = "NA", .humidity = "72", .dewPoint = "52",
    .pressure = "29.83", .hectopascals = "1010", .station = "DW5256 La Mesa, CA",
    .rows = {
        {"Today", "74", "61", "", "Mostly cloudy,"},
        {"Tuesday", "74", "59", "", "Patchy fog before 11am."},
        {"Wednesday", "76", "59", "", "Mostly cloudy,"},
        {"Thursday", "76", "60", "", "Mostly sunny,"},
        {"Friday", "76", "61", "", "Mostly cloudy,"},
        {"Independence Day", "78", "63", "", "Cloudy,"},
        {"Sunday", "78", "", "", "Mostly cloudy,"},
    },
    .firstTexts = {"Mostly cloudy, then gradually becoming sunny, with a high near 74. Light and variable wind becoming "
                   "southwest 5 to 10 mph in the morning.",
                   "Patchy fog before 11am. Otherwise, cloudy through mid morning, then gradual clearing, with a high "
                   "near 74. South wind 5 to 10 mph becoming west in the morning."},
    .issued = Issued(2026, 6, 29, 0, 4, 9, -7)};

inline const QList<const Forecast *> kForecasts{&kAustin,      &kAmarillo,    &kSanCarlos,
                                                &kLaMesaMarch, &kLaMesaApril, &kLaMesaJune};

// The older "by day" product, which is no MapClick forecast at all.
inline const QString kNotMapClick = QStringLiteral("nws/ndfd-byday-springfield-mo-2013-08-12-NOT-MAPCLICK.xml");

// --- sun/moon replies (usno/) -----------------------------------------------

// What the scan takes from a reply. Each of these replies has one moonrise,
// so it is also what the scan for tomorrow's moonrise finds.
struct Almanac {
    QString file = {};
    QString phase = {};   // the phase's first word, "ax" made "AX"
    QString illumination = {};
    QString sunrise = {}; // " h:mm AM"; empty where the day has none
    QString sunset = {};
    QString moonrise = {};
    QString moonset = {};
    int picture = 1;      // the moon picture, 1-8
};

// The five lines the text box opens with.
inline QString AlmanacText(const Almanac &a)
{
    return QStringLiteral("Sunrise: %1\r\nSunset: %2\r\nMoonrise: %3\r\nMoonset: %4\r\n%5 %6 visible\r\n")
        .arg(a.sunrise, a.sunset, a.moonrise, a.moonset, a.phase, a.illumination);
}

// What the window's title shows after the temperature.
inline QString AlmanacTitle(const Almanac &a)
{
    return QStringLiteral(" Moon %1 %2 Sunrise: %3  Sunset: %4").arg(a.phase, a.illumination, a.sunrise, a.sunset);
}

// Waning crescent; a time zone of five and a half hours.
inline const Almanac kMayapur{"usno/mayapur-2026-04-14-tz5.5.json", "Waning", "13%", " 5:17 AM", " 5:57 PM",
                              " 2:59 AM", " 2:54 PM", 8};
// Two moonsets (the later one counts); the sun sets after midnight, before
// it rises; the first sun entry has a null time with nothing pending.
inline const Almanac kReykjavik{"usno/reykjavik-2026-06-26-sunset-after-midnight.json", "WAXing", "89%", " 2:58 AM",
                                " 12:03 AM", " 10:27 PM", " 11:31 PM", 4};
// Polar day: the sun has neither rise nor set, only null times.
inline const Almanac kSvalbard{"usno/svalbard-2026-06-21-polar-day-two-moonsets.json", "WAXing", "45%", "", "",
                               " 11:29 AM", " 11:05 PM", 3};
// Full moon; the moon list opens with a transit, then the set, then the rise.
inline const Almanac kVrindavan{"usno/vrindavan-2026-06-30-full-moon-label.json", "Full", "100%", " 5:27 AM",
                                " 7:19 PM", " 7:53 PM", " 5:21 AM", 5};

inline const QList<const Almanac *> kAlmanacs{&kMayapur, &kReykjavik, &kSvalbard, &kVrindavan};

// A reply that holds nothing the scan takes (an error page, an error in
// JSON): the labels alone, and the new moon.
inline const Almanac kNothingUsable{};

} // namespace recorded

// Declares `reply`, from `source` as recorded::ReplyOf reads it; the test
// skips, saying why, when it names a recorded reply and they are absent.
#define RECORDED_REPLY(folder, source, reply) \
    QString reply;                            \
    if (!recorded::ReplyOf(folder, source, reply)) QSKIP(recorded::kAbsent)

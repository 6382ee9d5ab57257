#pragma once

// What the window must show for the recorded replies that the end-to-end
// tests serve. Every value was read off the recorded files by hand.
#include "E2EWorld.h"

#include <QLabel>
#include <QPlainTextEdit>

namespace e2e {

inline const QByteArray kTable = "Full moons\r\n2026-11-24 06:53\r\n2026-12-23 17:28\r\n";

// Reykjavik, 26 June: waxing gibbous 89%, the sun sets just after midnight.
inline const QString kReykjavikText = QStringLiteral("Sunrise:  2:58 AM\r\nSunset:  12:03 AM\r\nMoonrise:  10:27 PM\r\n"
                                                     "Moonset:  11:31 PM\r\nWAXing 89% visible\r\n");
inline const QString kReykjavikTitle = QStringLiteral(" Moon WAXing 89% Sunrise:  2:58 AM  Sunset:  12:03 AM");
// Svalbard, 21 June: polar day (no sunrise or sunset), two moonsets, the later kept.
inline const QString kSvalbardText = QStringLiteral("Sunrise: \r\nSunset: \r\nMoonrise:  11:29 AM\r\n"
                                                    "Moonset:  11:05 PM\r\nWAXing 45% visible\r\n");
// Mayapur, 14 April: waning crescent 13%.
inline const QString kMayapurText = QStringLiteral("Sunrise:  5:17 AM\r\nSunset:  5:57 PM\r\nMoonrise:  2:59 AM\r\n"
                                                   "Moonset:  2:54 PM\r\nWaning 13% visible\r\n");
inline const QString kMayapurTitle = QStringLiteral(" Moon Waning 13% Sunrise:  5:17 AM  Sunset:  5:57 PM");
// Vrindavan, 30 June: full moon, the moon's list opens with a transit.
inline const QString kVrindavanText = QStringLiteral("Sunrise:  5:27 AM\r\nSunset:  7:19 PM\r\nMoonrise:  7:53 PM\r\n"
                                                     "Moonset:  5:21 AM\r\nFull 100% visible\r\n");
inline const QString kVrindavanTitle = QStringLiteral(" Moon Full 100% Sunrise:  5:27 AM  Sunset:  7:19 PM");

// La Mesa, 11 April, a forecast that opens with the night ("Overnight").
inline const QString kLaMesaConditions =
    QStringLiteral("Wind Speed: NA\r\nHumidy: 78\r\nDew Point: 53\r\nPressure: 1014\r\nDW5256 La Mesa, CA");
inline const QList<QStringList> kLaMesaRows{
    {"Overnight", "", "57", "20%", "A slight chance of showers."},
    {"Saturday", "69", "55", "20%", "A slight chance of showers before 11am."},
    {"Sunday", "67", "53", "50%",
     "A chance of showers, gusts as high as 20 mph.  Chance of precipitation is 50%. New rainfall amounts "
     "between a tenth and quarter of an inch, except higher amounts possible in thunderstorms. "},
    {"Monday", "66", "50", "20%", "A slight chance of showers before 11am."},
    {"Tuesday", "71", "50", "", "Mostly sunny,"},
    {"Wednesday", "73", "53", "", "Sunny,"},
    {"Thursday", "73", "52", "", "Partly sunny,"},
};

// San Carlos, 6 October, a forecast that opens with the day ("Today").
inline const QString kSanCarlosConditions =
    QStringLiteral("Wind Speed: NA\r\nHumidy: 64\r\nDew Point: 55\r\nPressure: 1011\r\nPalo Alto Airport, CA");
inline const QList<QStringList> kSanCarlosRows{
    {"Today", "85", "60", "", "Sunny,"},
    {"Tuesday", "84", "58", "", "Sunny,"},
    {"Wednesday", "78", "58", "", "Sunny,"},
    {"Thursday", "76", "55", "", "Mostly sunny,"},
    {"Friday", "75", "56", "", "A slight chance of rain after 11am."},
    {"Saturday", "74", "54", "", "A slight chance of rain."},
    {"Sunday", "73", "", "", "Sunny,"},
};

inline QStringList InfoRow(const QString &last)
{
    return {" ", " ", " ", " ", last};
}

inline QStringList TimeRow(const QString &time)
{
    return {time, "", "", "", ""};
}

// The whole window: label, every line of the text box, every row, title, icon.
inline void CheckWindow(const Form1 &form, const QString &temperature, const QString &almanacText,
                        const QString &conditions, const QList<QStringList> &forecastRows, const QString &fullMoon,
                        const QString &moonrise, const QStringList &times, const QString &almanacTitle, int picture)
{
    QCOMPARE(form.Label1->text(), QStringLiteral("   ") + temperature + kDeg + "F");
    QCOMPARE(form.Text1Text(), almanacText + conditions);
    QString shown = almanacText + conditions;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QCOMPARE(form.Text1->toPlainText().split('\n'), shown.split('\n'));

    QCOMPARE(ColumnHeaders(form.lvwEmployees), kHeaders);
    QList<QStringList> rows = forecastRows;
    rows << InfoRow(QStringLiteral("Full Moon ") + fullMoon) << InfoRow(QStringLiteral("Moonrise tomorrow ") + moonrise);
    for (const QString &time : times)
        rows << TimeRow(time);
    QCOMPARE(ListRows(form.lvwEmployees), rows);
    // The time rows carry no sub-items at all.
    const int last = form.lvwEmployees->topLevelItemCount() - 1;
    QCOMPARE(form.lvwEmployees->topLevelItem(last)->columnCount(), 1);

    QCOMPARE(form.windowTitle(), temperature + kDeg + "F" + almanacTitle);
    QVERIFY(IconShows(form, picture));
}

} // namespace e2e

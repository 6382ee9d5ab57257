// Recorded National Weather Service replies, read in place. The expected
// values below were written by reading each file, period by period.

#include "common/RuntimeError.h"
#include "common/CodePage.h"
#include "forecast/Display.h"

#include <QDir>
#include <QFile>
#include <QTest>

namespace {

const QString kFixtures = QStringLiteral(SELVORRA_FIXTURES_DIR "/nws");

// The reply as the download delivers it: one character per byte.
QString ReadReply(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot open %s", qPrintable(path));
    return FromCp1252(file.readAll());
}

// "name|first series|second series|chance|summary" for table rows 1-7.
QStringList TableRows(const PeriodTable &table)
{
    QStringList rows;
    for (int r = 1; r <= 7; ++r)
        rows << QStringList{table[r][0], table[r][1], table[r][2], table[r][3], table[r][4]}.join(u'|');
    return rows;
}

} // namespace

class ForecastReplies : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        if (!QDir(kFixtures).exists())
            QSKIP("the recorded replies in ../shared/fixtures/nws are not present");
    }

    void mapClickReplies_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("nightFirst");
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QStringList>("observations"); // station, temp, dew point, humidity, wind, pressure

        QTest::newRow("night first, n14, gusts") << "austin-2023-02-26-tonight-n14.xml" << true
            << QStringList{
                   "Tonight|59|82|20%|A 20 percent chance of showers after midnight.",
                   "Monday|50|86||Partly sunny, gusts as high as 20 mph. ",
                   "Tuesday|65|84||Sunny,",
                   "Wednesday|65|86||Mostly cloudy,",
                   "Thursday|42|65|20%|A 20 percent chance of showers and thunderstorms after noon.",
                   "Friday|40|70||Sunny,",
                   "Saturday|45|74||Sunny,"}
            << QStringList{"Austin-Bergstrom International Airport, TX", "71", "63", "76", "14", "29.74"};

        QTest::newRow("day first, n13, gusts, hazards") << "amarillo-2013-08-13-afternoon-n13.xml" << false
            << QStringList{
                   "This Afternoon|85|63|70%|Scattered showers and thunderstorms.",
                   "Wednesday|79|62|60%|Showers and thunderstorms likely, gusts as high as 20 mph.  Chance of precipitation is 60%.",
                   "Thursday|85|63|30%|A 20 percent chance of showers and thunderstorms.",
                   "Friday|87|65|20%|A 20 percent chance of showers and thunderstorms.",
                   "Saturday|85|65|20%|A 20 percent chance of showers and thunderstorms.",
                   "Sunday|88|66|20%|Mostly sunny,",
                   "Monday|88|||Mostly sunny,"}
            << QStringList{"Rick Husband Amarillo Intl Airport, TX", "82", "64", "55", "6", "30.17"};

        QTest::newRow("day first, n13, no chances") << "sancarlos-2025-10-06-today-n13.xml" << false
            << QStringList{
                   "Today|85|60||Sunny,",
                   "Tuesday|84|58||Sunny,",
                   "Wednesday|78|58||Sunny,",
                   "Thursday|76|55||Mostly sunny,",
                   "Friday|75|56||A slight chance of rain after 11am.",
                   "Saturday|74|54||A slight chance of rain.",
                   "Sunday|73|||Sunny,"}
            << QStringList{"Palo Alto Airport, CA", "68", "55", "64", "NA", "29.87"};

        QTest::newRow("night first, n14, hazards") << "lamesa-2026-03-18-overnight-n14-hazards-stale-creation.xml" << true
            << QStringList{
                   "Overnight|63|92||Mostly clear,",
                   "Wednesday|63|92||Sunny,",
                   "Thursday|64|90||Sunny,",
                   "Friday|61|86||Sunny,",
                   "Saturday|58|82||Sunny,",
                   "Sunday|58|82||Patchy fog before 11am.",
                   "Monday|57|82||Sunny,"}
            << QStringList{"DW5256 La Mesa, CA", "73", "54", "51", "NA", "29.93"};

        QTest::newRow("night first, n14, chances, gusts") << "lamesa-2026-04-11-overnight-n14.xml" << true
            << QStringList{
                   "Overnight|57|69|20%|A slight chance of showers.",
                   "Saturday|55|67|20%|A slight chance of showers before 11am.",
                   "Sunday|53|66|50%|A chance of showers, gusts as high as 20 mph.  Chance of precipitation is 50%. "
                   "New rainfall amounts between a tenth and quarter of an inch, except higher amounts possible in "
                   "thunderstorms. ",
                   "Monday|50|71|20%|A slight chance of showers before 11am.",
                   "Tuesday|50|73||Mostly sunny,",
                   "Wednesday|53|73||Sunny,",
                   "Thursday|52|75||Partly sunny,"}
            << QStringList{"DW5256 La Mesa, CA", "60", "53", "78", "NA", "29.94"};

        QTest::newRow("day first, n13, holiday name") << "lamesa-2026-06-29-today-n13-holiday-period-name.xml" << false
            << QStringList{
                   "Today|74|61||Mostly cloudy,",
                   "Tuesday|74|59||Patchy fog before 11am.",
                   "Wednesday|76|59||Mostly cloudy,",
                   "Thursday|76|60||Mostly sunny,",
                   "Friday|76|61||Mostly cloudy,",
                   "Independence Day|78|63||Cloudy,",
                   "Sunday|78|||Mostly cloudy,"}
            << QStringList{"DW5256 La Mesa, CA", "61", "52", "72", "NA", "29.83"};
    }

    void mapClickReplies()
    {
        QFETCH(QString, file);
        QFETCH(bool, nightFirst);
        QFETCH(QStringList, rows);
        QFETCH(QStringList, observations);

        const ExtractionResult stages = ExtractForecastReply(ReadReply(kFixtures + u'/' + file));
        QCOMPARE(stages.outcome, ForecastOutcome::Extracted);
        const ForecastExtraction &e = stages.extraction;
        QCOMPARE(e.nightFirst, nightFirst);
        QCOMPARE(TableRows(e.periods), rows);
        QCOMPARE((QStringList{e.stationText, e.apparentTemp, e.dewPointText, e.humidityText, e.windSpeedText,
                              e.pressureText}),
                 observations);
        // Row 0 and the unused columns stay empty.
        for (int k = 0; k < 8; ++k)
            QVERIFY(e.periods[0][k].isEmpty());
        for (int r = 0; r <= 10; ++r)
            for (int k = 5; k < 8; ++k)
                QVERIFY(e.periods[r][k].isEmpty());
    }

    // A night-first reply keeps naming rows past the seventh: the eighth row
    // is the day after the last one shown.
    void nightFirstNamesAnEighthRow()
    {
        const ExtractionResult stages = ExtractForecastReply(ReadReply(kFixtures + "/austin-2023-02-26-tonight-n14.xml"));
        QCOMPARE(stages.extraction.periods[8][0], QStringLiteral("Sunday"));
        QVERIFY(stages.extraction.periods[8][1].isEmpty()); // temperatures stop at seven
        QVERIFY(stages.extraction.periods[8][4].isEmpty());
        QVERIFY(stages.extraction.periods[9][0].isEmpty());
    }

    // The whole display for one recorded reply, with the night-first shift.
    void displayOfRecordedReply()
    {
        const ExtractionResult stages = ExtractForecastReply(ReadReply(kFixtures + "/austin-2023-02-26-tonight-n14.xml"));
        DisplayInputs inputs;
        inputs.almanacText = QStringLiteral("Sunrise: 06:58 AM\r\n");
        inputs.timerEnabled = false;
        const ForecastView view =
            ComposeForecastView(stages.extraction, inputs, QLocale(QLocale::English, QLocale::UnitedStates));
        QVERIFY(view);
        QCOMPARE(view.labelText, QStringLiteral("   71\u00B0F"));
        QCOMPARE(view.text1, QStringLiteral("Sunrise: 06:58 AM\r\nWind Speed: 14\r\nHumidy: 76\r\nDew Point: 63\r\n"
                                            "Pressure: 1007\r\nAustin-Bergstrom International Airport, TX"));
        QCOMPARE(view.rows.size(), size_t(8));
        QCOMPARE(view.rows[0], (ListRow{"Tonight", {"", "59", "20%", "A 20 percent chance of showers after midnight."}}));
        QCOMPARE(view.rows[1], (ListRow{"Monday", {"82", "50", "", "Partly sunny, gusts as high as 20 mph. "}}));
        QCOMPARE(view.rows[6], (ListRow{"Saturday", {"70", "45", "", "Sunny,"}}));
    }

    // Pressure in hectopascals for every recorded observation.
    void recordedPressures_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("pressure");
        QTest::newRow("29.74") << "austin-2023-02-26-tonight-n14.xml" << "1007";
        QTest::newRow("30.17") << "amarillo-2013-08-13-afternoon-n13.xml" << "1022";
        QTest::newRow("29.87") << "sancarlos-2025-10-06-today-n13.xml" << "1011";
        QTest::newRow("29.93") << "lamesa-2026-03-18-overnight-n14-hazards-stale-creation.xml" << "1013";
        QTest::newRow("29.94") << "lamesa-2026-04-11-overnight-n14.xml" << "1014";
        QTest::newRow("29.83") << "lamesa-2026-06-29-today-n13-holiday-period-name.xml" << "1010";
    }

    void recordedPressures()
    {
        QFETCH(QString, file);
        QFETCH(QString, pressure);
        const ExtractionResult stages = ExtractForecastReply(ReadReply(kFixtures + u'/' + file));
        const ForecastView view = ComposeForecastView(stages.extraction, DisplayInputs{},
                                                      QLocale(QLocale::English, QLocale::UnitedStates));
        QVERIFY(view.text1.contains(QStringLiteral("\r\nPressure: ") + pressure + QStringLiteral("\r\n")));
    }

    // The older "by day" product has no 12-hour period names and no worded
    // forecast: its chance section never meets the layout key again and runs
    // into the eleventh row.
    void differentLayoutIsAnError()
    {
        const QString reply = ReadReply(kFixtures + "/ndfd-byday-springfield-mo-2013-08-12-NOT-MAPCLICK.xml");
        const ExtractionResult result = ExtractForecastReply(reply);
        QCOMPARE(result.outcome, ForecastOutcome::Failed);
        QVERIFY2(result.failure.startsWith(QStringLiteral("Subscript out of range")), qPrintable(result.failure));
        QVERIFY2(result.failure.contains(QStringLiteral("chance")), qPrintable(result.failure));
    }
};

QTEST_GUILESS_MAIN(ForecastReplies)
#include "tst_forecast_replies.moc"

// Recorded National Weather Service replies, read in place, against the
// records of what each holds and what the window shows for it
// (tests/support/RecordedReplies.h).

#include "forecast/Display.h"
#include "support/RecordedReplies.h"

#include <QTest>

using namespace recorded;

namespace {

const QLocale kEnglish(QLocale::English, QLocale::UnitedStates);

// "name|first series|second series|chance|summary" for table rows 1-7.
QStringList TableRows(const PeriodTable &table)
{
    QStringList rows;
    for (int r = 1; r <= 7; ++r)
        rows << QStringList{table[r][0], table[r][1], table[r][2], table[r][3], table[r][4]}.join(u'|');
    return rows;
}

// The same rows as the extraction holds them for a record: the temperature
// series in the reply's order. A night-first reply has its minima first, and
// its maxima stand a row earlier than the list shows them.
QStringList RecordedTableRows(const Forecast &f)
{
    QStringList rows;
    for (int r = 0; r < 7; ++r) {
        const QStringList &row = f.rows[r];
        const QString maximum = !f.nightFirst ? row[1] : r < 6 ? f.rows[r + 1][1] : f.hiddenMaximum;
        const QString first = f.nightFirst ? row[2] : maximum;
        const QString second = f.nightFirst ? maximum : row[2];
        rows << QStringList{row[0], first, second, row[3], row[4]}.join(u'|');
    }
    return rows;
}

// One data row per recorded forecast reply.
void RecordColumn()
{
    QTest::addColumn<int>("record");
    for (int i = 0; i < kForecasts.size(); ++i)
        QTest::newRow(qPrintable(kForecasts[i]->file.section(u'/', -1))) << i;
}

Result<ForecastExtraction> Extract(const Forecast &f)
{
    return ExtractForecastReply(Text(f.file));
}

} // namespace

class ForecastReplies : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { recorded::StartTestCase(); }

    void mapClickReplies_data() { RecordColumn(); }

    void mapClickReplies()
    {
        QFETCH(int, record);
        const Forecast &f = *kForecasts[record];
        const Result<ForecastExtraction> stages = Extract(f);
        QCOMPARE(stages.outcome, Outcome::Done);
        const ForecastExtraction &e = stages.value;
        QCOMPARE(e.nightFirst, f.nightFirst);
        QCOMPARE(TableRows(e.periods), RecordedTableRows(f));
        QCOMPARE((QStringList{e.stationText, e.apparentTemp, e.dewPointText, e.humidityText, e.windSpeedText,
                              e.pressureText}),
                 (QStringList{f.station, f.temperature, f.dewPoint, f.humidity, f.wind, f.pressure}));
        QList<QStringList> hazards;
        for (const Hazard &hazard : e.hazards)
            hazards << QStringList{hazard.headline, hazard.url};
        QCOMPARE(hazards, f.hazards);
        QCOMPARE((QStringList{e.periodTexts[1], e.periodTexts[2]}), f.firstTexts);
        QCOMPARE(e.issued, f.issued);
        QCOMPARE(e.issued.offsetFromUtc(), f.issued.offsetFromUtc());
        // Row 0 and the unused columns stay empty.
        QVERIFY(e.periodTexts[0].isEmpty());
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
        const Result<ForecastExtraction> stages = Extract(kAustin);
        QCOMPARE(stages.value.periods[8][0], QStringLiteral("Sunday"));
        QVERIFY(stages.value.periods[8][1].isEmpty()); // temperatures stop at seven
        QVERIFY(stages.value.periods[8][4].isEmpty());
        QVERIFY(stages.value.periods[9][0].isEmpty());
    }

    // What the window shows for each: label, text box with the pressure in
    // hectopascals, and the seven rows, a night-first reply's maxima a row later.
    void recordedDisplays_data() { RecordColumn(); }

    void recordedDisplays()
    {
        QFETCH(int, record);
        const Forecast &f = *kForecasts[record];
        DisplayInputs inputs;
        inputs.almanacText = QStringLiteral("Sunrise: 06:58 AM\r\n");
        inputs.timerEnabled = false;
        const Result<ForecastView> composed = ComposeForecastView(Extract(f).value, inputs, kEnglish);
        QVERIFY(composed);
        const ForecastView &view = composed.value;
        QCOMPARE(view.labelText, QStringLiteral("   ") + f.temperature + QStringLiteral("\u00B0F"));
        QCOMPARE(view.text1, inputs.almanacText + Conditions(f));
        QCOMPARE(view.rows.size(), size_t(8));
        for (int r = 0; r < 7; ++r)
            QCOMPARE((ListRow{view.rows[size_t(r)].text, view.rows[size_t(r)].subItems}), (ListRow{f.rows[r][0], f.rows[r].mid(1)}));
        // Rows 1 and 2 carry their periods' whole worded forecasts as tips.
        QCOMPARE((QStringList{view.rows[0].tip, view.rows[1].tip}), f.firstTexts);
    }

    // The older "by day" product has no 12-hour period names and no worded
    // forecast: its chance section never meets the layout key again and runs
    // into the eleventh row.
    void differentLayoutIsAnError()
    {
        const Result<ForecastExtraction> result = ExtractForecastReply(Text(kNotMapClick));
        QCOMPARE(result.outcome, Outcome::Failed);
        QCOMPARE(result.rule, QStringLiteral("subscript"));
        QVERIFY2(result.reason.startsWith(QStringLiteral("Subscript out of range")), qPrintable(result.reason));
        QVERIFY2(result.reason.contains(QStringLiteral("chance")), qPrintable(result.reason));
    }
};

QTEST_GUILESS_MAIN(ForecastReplies)
#include "tst_forecast_replies.moc"

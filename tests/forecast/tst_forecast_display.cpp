// What the window shows for an extraction: label, text box, list rows.

#include "common/DateValue.h"
#include "forecast/Display.h"

#include <QTest>

namespace {

const QLocale kEnglish(QLocale::English, QLocale::UnitedStates);

ForecastExtraction Observed(const QString &pressure)
{
    ForecastExtraction e;
    e.stationText = QStringLiteral("Test Airport, XX");
    e.apparentTemp = QStringLiteral("65");
    e.dewPointText = QStringLiteral("40");
    e.humidityText = QStringLiteral("39");
    e.windSpeedText = QStringLiteral("9");
    e.pressureText = pressure;
    return e;
}

// Three forecast days; the temperature columns hold the series as scanned.
ForecastExtraction ThreeDays(bool nightFirst)
{
    ForecastExtraction e = Observed(QStringLiteral("29.92"));
    e.nightFirst = nightFirst;
    const QStringList names{"Tonight", "Monday", "Tuesday"};
    const QStringList first{"40", "42", "44"};
    const QStringList second{"60", "62", "64"};
    for (int r = 1; r <= 3; ++r) {
        e.periods[r][0] = names[r - 1];
        e.periods[r][1] = first[r - 1];
        e.periods[r][2] = second[r - 1];
        e.periods[r][3] = QStringLiteral("%1%").arg(r * 10);
        e.periods[r][4] = QStringLiteral("Text %1.").arg(r);
    }
    return e;
}

} // namespace

class ForecastDisplay : public QObject {
    Q_OBJECT

private slots:
    void labelAndTextBox()
    {
        DisplayInputs inputs;
        inputs.almanacText = QStringLiteral("Sunrise:  6:58 AM\r\nSunset:  5:01 PM\r\n");
        inputs.almanacTitle = QStringLiteral(" Waxing 45%");
        const Result<ForecastView> composed = ComposeForecastView(Observed(QStringLiteral("30.05")), inputs, kEnglish);
        QVERIFY(composed);
        QVERIFY(composed.rule.isEmpty() && composed.reason.isEmpty());
        const ForecastView &view = composed.value;
        QCOMPARE(view.temperatureText, QStringLiteral("65\u00B0F"));
        QCOMPARE(view.labelText, QStringLiteral("   65\u00B0F"));
        QCOMPARE(view.text1, QStringLiteral("Sunrise:  6:58 AM\r\nSunset:  5:01 PM\r\nWind Speed: 9\r\nHumidy: 39\r\n"
                                            "Dew Point: 40\r\nPressure: 1017\r\nTest Airport, XX"));
        QCOMPARE(ForecastTitle(view.temperatureText, inputs.almanacTitle), QStringLiteral("65\u00B0F Waxing 45%"));
    }

    void pressure_data()
    {
        QTest::addColumn<QString>("reading");
        QTest::addColumn<QString>("hectopascals");
        QTest::newRow("30.05") << "30.05" << "1017";
        QTest::newRow("29.92") << "29.92" << "1013";
        QTest::newRow("missing") << "" << "0";
        QTest::newRow("not a number") << "NA" << "0";
        QTest::newRow("with units") << "29.5 in" << "999"; // 998.87
        QTest::newRow("nearest") << "0.25" << "8"; // 8.465
        // 982.5 and 983.5 exactly in single precision: halves go away from zero.
        QTest::newRow("half, odd below") << "29.0165386" << "983";
        QTest::newRow("half, even below") << "29.046072" << "984";
        QTest::newRow("large") << "1e6" << "33860000";
        QTest::newRow("negative") << "-1" << "-34";
    }

    void pressure()
    {
        QFETCH(QString, reading);
        QFETCH(QString, hectopascals);
        const Result<ForecastView> view = ComposeForecastView(Observed(reading), DisplayInputs{}, kEnglish);
        QVERIFY(view);
        QVERIFY2(view.value.text1.contains(QStringLiteral("\r\nPressure: ") + hectopascals + QStringLiteral("\r\n")),
                 qPrintable(view.value.text1));
    }

    void pressureOverflowStopsTheDisplay()
    {
        for (const QString &reading : {QStringLiteral("1e39"), QStringLiteral("3e38"), QStringLiteral("1e400")}) {
            DisplayInputs inputs;
            inputs.almanacText = QStringLiteral("Almanac\r\n");
            const Result<ForecastView> composed = ComposeForecastView(Observed(reading), inputs, kEnglish);
            QVERIFY2(!composed, qPrintable(reading));
            QCOMPARE(composed.outcome, Outcome::Failed);
            QCOMPARE(composed.rule, QStringLiteral("overflow"));
            QVERIFY(composed.reason.startsWith(QStringLiteral("Overflow")));
            const ForecastView &view = composed.value;
            QCOMPARE(view.labelText, QStringLiteral("   65\u00B0F"));
            QCOMPARE(view.text1, QStringLiteral("Almanac\r\nWind Speed: 9\r\nHumidy: 39\r\nDew Point: 40\r\n"));
            QVERIFY(view.rows.empty());
            QVERIFY(view.timeRows.empty());
        }
    }

    void dayFirstRows()
    {
        const ForecastView view = ComposeForecastView(ThreeDays(false), DisplayInputs{}, kEnglish).value;
        QCOMPARE(view.rows.size(), size_t(8));
        QCOMPARE(view.rows[0], (ListRow{"Tonight", {"40", "60", "10%", "Text 1."}}));
        QCOMPARE(view.rows[2], (ListRow{"Tuesday", {"44", "64", "30%", "Text 3."}}));
        // Fewer than seven periods still give seven rows.
        for (int r = 3; r < 7; ++r)
            QCOMPARE(view.rows[r], (ListRow{"", {"", "", "", ""}}));
    }

    void nightFirstRowsShiftTheMaximum()
    {
        const ForecastView view = ComposeForecastView(ThreeDays(true), DisplayInputs{}, kEnglish).value;
        QCOMPARE(view.rows.size(), size_t(8));
        QCOMPARE(view.rows[0], (ListRow{"Tonight", {"", "40", "10%", "Text 1."}}));
        QCOMPARE(view.rows[1], (ListRow{"Monday", {"60", "42", "20%", "Text 2."}}));
        QCOMPARE(view.rows[2], (ListRow{"Tuesday", {"62", "44", "30%", "Text 3."}}));
        QCOMPARE(view.rows[3], (ListRow{"", {"64", "", "", ""}}));
    }

    void seventhMaximumOfANightFirstForecastIsNotShown()
    {
        ForecastExtraction e = ThreeDays(true);
        for (int r = 1; r <= 7; ++r)
            e.periods[r][2] = QString::number(70 + r);
        const ForecastView view = ComposeForecastView(e, DisplayInputs{}, kEnglish).value;
        QCOMPARE(view.rows[6].subItems[0], QStringLiteral("76"));
        for (const ListRow &row : view.rows)
            QVERIFY(!row.subItems.contains(QStringLiteral("77")));
    }

    void informationRows()
    {
        DisplayInputs inputs;
        inputs.nextFullMoon = 0; // the zero date
        inputs.lastAlmanacTime = MakeDate(2024, 3, 9, 7, 5);
        inputs.lastForecastTime = MakeDate(2024, 3, 9, 19, 30);
        ForecastView view = ComposeForecastView(ThreeDays(false), inputs, kEnglish).value;
        QCOMPARE(view.rows.back(), (ListRow{" ", {" ", " ", " ", "Full Moon Saturday, Dec 30, 1899"}}));
        QCOMPARE(view.timeRows, (std::vector<ListRow>{{"07:05 AM", {}}, {"07:30 PM", {}}}));

        inputs.nextFullMoon = MakeDate(2024, 3, 25);
        inputs.timerEnabled = false;
        view = ComposeForecastView(ThreeDays(false), inputs, kEnglish).value;
        QCOMPARE(view.rows.back().subItems.back(), QStringLiteral("Full Moon Monday, Mar 25, 2024"));
        QCOMPARE(view.timeRows, (std::vector<ListRow>{{"(auto off)", {}}}));

        QCOMPARE(MoonriseRow(QStringLiteral(" 7:12 PM")),
                 (ListRow{" ", {" ", " ", " ", "Moonrise tomorrow  7:12 PM"}}));
    }

    void noObservations()
    {
        DisplayInputs inputs;
        inputs.almanacText = QStringLiteral("A\r\n");
        const Result<ForecastView> composed = ComposeForecastView(ForecastExtraction{}, inputs, kEnglish);
        QVERIFY(composed);
        const ForecastView &view = composed.value;
        QCOMPARE(view.labelText, QStringLiteral("   \u00B0F"));
        QCOMPARE(view.text1, QStringLiteral("A\r\nWind Speed: \r\nHumidy: \r\nDew Point: \r\nPressure: 0\r\n"));
        QCOMPARE(view.rows.size(), size_t(8));
    }
};

QTEST_GUILESS_MAIN(ForecastDisplay)
#include "tst_forecast_display.moc"

// The hourly window: the nights against the observatory's own table of
// sunsets and sunrises, the night shading where the table puts it, the
// chart's accessible summary, the table, and scrolling by keys and wheel.

#include "app/HourlyWindow.h"
#include "support/RecordedReplies.h"

#include <QLabel>
#include <QStandardItemModel>
#include <QTableView>
#include <QTest>
#include <QWheelEvent>

namespace {

QDateTime Utc(const char *iso)
{
    return QDateTime::fromString(QString::fromLatin1(iso), Qt::ISODate);
}

using Span = std::pair<QDateTime, QDateTime>;

// The recorded reply of 8 April 2026 at La Mesa, seen at 1 PM on the 10th.
const QDateTime kLaMesaNow = Utc("2026-04-10T20:00:00Z");

HourlyContent LaMesa()
{
    HourlyContent content;
    content.forecast = ReadDigitalForecast(
        recorded::Text(QStringLiteral("nws-hourly/lamesa-2026-04-08-digitaldwml-168h-thunder-pop80.xml"))).value;
    content.fetched = MakeDate(2026, 4, 10, 13, 5);
    content.nowUtc = kLaMesaNow;
    return content;
}

} // namespace

class HourlyWindowTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    // Expected times from the observatory's table (usno-tables/riseset.txt),
    // which prints them to the minute.
    void nights_data()
    {
        QTest::addColumn<double>("latitude");
        QTest::addColumn<double>("longitude");
        QTest::addColumn<Span>("range");
        QTest::addColumn<QList<Span>>("nights");
        QTest::newRow("81 W 29 N, an April night") << 29.0 << -81.0
            << Span{Utc("2019-04-08T16:00:00Z"), Utc("2019-04-09T16:00:00Z")}
            << QList<Span>{{Utc("2019-04-08T23:46:00Z"), Utc("2019-04-09T11:05:00Z")}};
        QTest::newRow("81 W 29 N, from the middle of a night") << 29.0 << -81.0
            << Span{Utc("2019-04-09T04:00:00Z"), Utc("2019-04-10T00:00:00Z")}
            << QList<Span>{{Utc("2019-04-09T04:00:00Z"), Utc("2019-04-09T11:05:00Z")},
                           {Utc("2019-04-09T23:47:00Z"), Utc("2019-04-10T00:00:00Z")}};
        QTest::newRow("north pole, the year's sunset") << 90.0 << 0.0
            << Span{Utc("2022-09-24T00:00:00Z"), Utc("2022-09-26T00:00:00Z")}
            << QList<Span>{{Utc("2022-09-25T04:13:00Z"), Utc("2022-09-26T00:00:00Z")}};
        QTest::newRow("north pole, polar night") << 90.0 << 0.0
            << Span{Utc("2022-12-01T00:00:00Z"), Utc("2022-12-03T00:00:00Z")}
            << QList<Span>{{Utc("2022-12-01T00:00:00Z"), Utc("2022-12-03T00:00:00Z")}};
        QTest::newRow("north pole, polar day") << 90.0 << 0.0
            << Span{Utc("2022-06-01T00:00:00Z"), Utc("2022-06-03T00:00:00Z")} << QList<Span>{};
    }

    void nights()
    {
        QFETCH(double, latitude);
        QFETCH(double, longitude);
        QFETCH(Span, range);
        QFETCH(QList<Span>, nights);
        const std::vector<NightSpan> found = NightSpans(latitude, longitude, range.first, range.second);
        QCOMPARE(int(found.size()), int(nights.size()));
        for (int i = 0; i < nights.size(); ++i) {
            // The table rounds to the minute.
            QVERIFY2(std::abs(found[size_t(i)].sunset.secsTo(nights[i].first)) <= 60,
                     qPrintable(found[size_t(i)].sunset.toString(Qt::ISODate)));
            QVERIFY2(std::abs(found[size_t(i)].sunrise.secsTo(nights[i].second)) <= 60,
                     qPrintable(found[size_t(i)].sunrise.toString(Qt::ISODate)));
        }
    }

    // 48 empty hours from noon EDT on 8 April 2019 at 81 W 29 N: the shading
    // must begin at the table's sunset (23:46 UT) and end at its sunrise
    // (11:05 UT), in the chart as grabbed.
    void nightShadingInPlace()
    {
        HourlyForecast forecast;
        const QDateTime noon(QDate(2019, 4, 8), QTime(12, 0), QTimeZone(-4 * 3600));
        for (int h = 0; h < HourlyChart::kShownHours; ++h) {
            HourValues &hour = forecast.hours.emplace_back();
            hour.start = noon.addSecs(h * 3600);
            hour.end = hour.start.addSecs(3600);
        }
        HourlyChart chart;
        chart.resize(1960, 300);   // 39 pixels an hour: a pixel is 1.5 minutes
        chart.SetData(forecast, NightSpans(29, -81, noon, noon.addDays(2)), noon);
        const QImage image = chart.grab().toImage();
        const QRect plot = chart.PlotRect();
        const double perHour = plot.width() / double(HourlyChart::kShownHours);
        const auto xOf = [&](const char *utc) { return plot.left() + noon.secsTo(Utc(utc)) / 3600.0 * perHour; };
        const int y = plot.top() + plot.height() / 10;   // between the lines of the temperature scale
        const auto grey = [&](double x) { return qGray(image.pixel(qRound(x), y)); };
        const int day = grey(xOf("2019-04-08T18:30:00Z"));
        for (const double x : {xOf("2019-04-08T23:46:00Z"), xOf("2019-04-09T11:05:00Z")}) {
            QVERIFY2((grey(x - 2) == day) != (grey(x + 2) == day), qPrintable(QString::number(x)));
            QVERIFY(std::min(grey(x - 2), grey(x + 2)) < day - 10);
        }
        QVERIFY(grey(xOf("2019-04-09T06:00:00Z")) < day - 10);
        QCOMPARE(grey(xOf("2019-04-09T18:00:00Z")), day);
    }

    void windowShowsTheHours()
    {
        recorded::StartTestCase();
        HourlyWindow window;
        window.Show(LaMesa());
        QCOMPARE(window.windowTitle(), "Hourly forecast");
        QCOMPARE(window.Chart()->accessibleName(), "Hourly chart");
        QCOMPARE(window.Chart()->accessibleDescription(),
                 "High 76°F at 1 PM, low 58°F at 6 AM. Rain chance up to 80% from 5 AM to 11 AM.");
        QCOMPARE(window.Table()->accessibleName(), "Hourly table");
        QCOMPARE(window.SourceLine()->text(), "From forecast.weather.gov, fetched 01:05 PM");
        const QAbstractItemModel *model = window.Table()->model();
        QCOMPARE(model->rowCount(), 168 - 61);
        QCOMPARE(model->headerData(3, Qt::Horizontal).toString(), "Dew pt");
        QStringList first;
        for (int c = 0; c < model->columnCount(); ++c)
            first << model->index(0, c).data().toString();
        QCOMPARE(first, (QStringList{"Fri 1 PM", "76°F", "", "58°F", "2%", "0.00 in", "WSW 9 mph", "13%", ""}));
    }

    // Each row starts anew: the keys, wheel turns, a hover over an hour, a
    // refresh or a time to scroll to, then the focus hour, the first hour
    // shown and the table's current row.
    void navigation_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QList<int>>("expect");
        QTest::newRow("arrows from the first hour") << QStringList{"Right", "Right", "Right", "Left"} << QList<int>{1, 0, 1};
        QTest::newRow("a day at a time, scrolled along")
            << QStringList{"Right", "PageDown", "PageDown"} << QList<int>{48, 1, 48};
        QTest::newRow("end, the last 48 hours") << QStringList{"End"} << QList<int>{106, 59, 106};
        QTest::newRow("end and home") << QStringList{"End", "Home"} << QList<int>{0, 0, 0};
        QTest::newRow("wheel scrolls, focus stays") << QStringList{"wheel", "wheel"} << QList<int>{-1, 6, -1};
        QTest::newRow("hover") << QStringList{"hover 5"} << QList<int>{5, 0, 5};
        QTest::newRow("a refresh keeps the hours in view") << QStringList{"End", "refresh"} << QList<int>{106, 59, 106};
        QTest::newRow("a period's time: its hour first")
            << QStringList{"time 2026-04-11T12:00:00-07:00"} << QList<int>{23, 23, 23};
    }

    void navigation()
    {
        QFETCH(QStringList, steps);
        QFETCH(QList<int>, expect);
        recorded::StartTestCase();
        HourlyWindow window;
        window.Show(LaMesa());
        window.Open();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        HourlyChart *chart = window.Chart();
        const QMap<QString, Qt::Key> keys{{"Right", Qt::Key_Right}, {"Left", Qt::Key_Left}, {"PageDown", Qt::Key_PageDown},
                                          {"End", Qt::Key_End}, {"Home", Qt::Key_Home}};
        for (const QString &step : steps) {
            if (keys.contains(step)) {
                QTest::keyClick(chart, keys[step]);
            } else if (step == u"wheel") {
                QWheelEvent wheel(QPointF(100, 100), QPointF(100, 100), QPoint(), QPoint(0, -120), Qt::NoButton,
                                  Qt::NoModifier, Qt::NoScrollPhase, false);
                QApplication::sendEvent(chart, &wheel);
            } else if (step.startsWith(u"hover ")) {
                const QRect plot = chart->PlotRect();
                const int x = plot.left() + int((step.mid(6).toInt() + 0.5) * plot.width() / HourlyChart::kShownHours);
                QTest::mouseMove(chart, QPoint(x, plot.center().y()));
            } else if (step == u"refresh") {
                window.Show(LaMesa());
            } else {
                window.ScrollToTime(QDateTime::fromString(step.mid(5), Qt::ISODate));
            }
        }
        QCOMPARE((QList<int>{chart->FocusHour(), chart->FirstShownHour(), window.Table()->currentIndex().row()}), expect);
    }
};

QTEST_MAIN(HourlyWindowTest)
#include "tst_hourly_window.moc"

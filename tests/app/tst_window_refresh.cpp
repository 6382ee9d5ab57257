// The window after refreshes through the test platform, with recorded
// replies of both services: label, text box, every list row, title and icon.
#include "TestPlatform.h"
#include "support/TestFiles.h"

#include "app/Form1.h"
#include "pictures/Pictures.h"
#include "startup/StartupFiles.h"

#include <QAccessible>
#include <QDir>
#include <QHeaderView>
#include <QToolTip>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

#include <memory>

namespace {

const QString kFixtures = QStringLiteral(SELVORRA_FIXTURES_DIR);
const QString kDeg = QString(QChar(0x00B0));

QString ReadFixture(const QString &relative)
{
    QFile file(kFixtures + QLatin1Char('/') + relative);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLatin1(file.readAll());
}

QStringList RowTexts(const QTreeWidgetItem *item)
{
    QStringList texts;
    for (int c = 0; c < 5; ++c)
        texts << item->text(c);
    return texts;
}

struct World {
    TestPlatform platform;
    std::unique_ptr<Form1> form;
    QString forecastReply;
    QString almanacReply;
    QString tomorrowReply;

    explicit World(const QByteArray &settings = "35.9656,-114.836,tz=-8,auto update=true\r\nnote\r\n")
    {
        platform.now = MakeDate(2026, 12, 6, 10, 0, 0);
        testsupport::WriteFile(platform.FilePath(kSettingsFileName), settings);
        testsupport::WriteFile(platform.FilePath(kFullMoonFileName), "Full moons\r\n2026-11-24 06:53\r\n2026-12-23 17:28\r\n");
        platform.onDownload = [this](const QString &url) {
            if (url.contains(QStringLiteral("MapClick.php")))
                return forecastReply;
            if (url.contains(QStringLiteral("date=2026-12-07")))
                return tomorrowReply;
            return almanacReply;
        };
        form = std::make_unique<Form1>(platform);
    }
};

} // namespace

class WindowRefreshTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        if (!QDir(kFixtures).exists())
            QSKIP("the recorded service replies (../shared/fixtures) are not beside this checkout");
    }

    // Austin's night-first forecast with Mayapur's sun and moon.
    void startUpWithRecordedReplies()
    {
        World w;
        w.forecastReply = ReadFixture("nws/austin-2023-02-26-tonight-n14.xml");
        w.almanacReply = ReadFixture("usno/mayapur-2026-04-14-tz5.5.json");
        w.tomorrowReply = ReadFixture("usno/vrindavan-2026-06-30-full-moon-label.json");
        w.form->Form_Load();

        QVERIFY(w.platform.messages.empty());
        QCOMPARE(w.platform.downloads.size(), 3);
        QCOMPARE(w.platform.downloads[0],
                 QStringLiteral("https://aa.usno.navy.mil/api/rstt/oneday?date=2026-12-06 &coords=35.9656, -114.836&tz=-8 &dst=true"));
        QCOMPARE(w.platform.downloads[1],
                 QStringLiteral("https://forecast.weather.gov/MapClick.php?lat=35.9656&lon=-114.836&unit=0&lg=english&FcstType=dwml"));
        QCOMPARE(w.platform.downloads[2],
                 QStringLiteral("https://aa.usno.navy.mil/api/rstt/oneday?date=2026-12-07 &coords=35.9656, -114.836&tz=-8 &dst=true"));

        QCOMPARE(w.form->Label1->text(), "   71" + kDeg + "F");
        const QString almanac = QStringLiteral("Sunrise:  5:17 AM\r\nSunset:  5:57 PM\r\nMoonrise:  2:59 AM\r\n"
                                               "Moonset:  2:54 PM\r\nWaning 13% visible\r\n");
        QCOMPARE(w.form->State().AlmanacText, almanac);
        QCOMPARE(w.form->Text1Text(), almanac + "Wind Speed: 14\r\nHumidy: 76\r\nDew Point: 63\r\nPressure: 1007\r\n"
                                                "Austin-Bergstrom International Airport, TX");
        // The box shows the same lines, one per line.
        const QStringList shown = w.form->Text1->toPlainText().split('\n');
        QCOMPARE(shown.mid(0, 5), (QStringList{"Sunrise:  5:17 AM", "Sunset:  5:57 PM", "Moonrise:  2:59 AM",
                                               "Moonset:  2:54 PM", "Waning 13% visible"}));
        QCOMPARE(shown.last(), QStringLiteral("Austin-Bergstrom International Airport, TX"));

        QTreeWidget *list = w.form->lvwEmployees;
        QCOMPARE(list->topLevelItemCount(), 11);
        const QList<QStringList> rows{
            {"Tonight", "", "59", "20%", "A 20 percent chance of showers after midnight."},
            {"Monday", "82", "50", "", "Partly sunny, gusts as high as 20 mph. "},
            {"Tuesday", "86", "65", "", "Sunny,"},
            {"Wednesday", "84", "65", "", "Mostly cloudy,"},
            {"Thursday", "86", "42", "20%", "A 20 percent chance of showers and thunderstorms after noon."},
            {"Friday", "65", "40", "", "Sunny,"},
            {"Saturday", "70", "45", "", "Sunny,"},
            {" ", " ", " ", " ", "Full Moon Wednesday, Dec 23, 2026"},
            // Vrindavan's first moon entry is a transit; its rise comes after it.
            {" ", " ", " ", " ", "Moonrise tomorrow  7:53 PM"},
            {"10:00 AM", "", "", "", ""},
            {"10:00 AM", "", "", "", ""},
        };
        for (int r = 0; r < rows.size(); ++r)
            QCOMPARE(RowTexts(list->topLevelItem(r)), rows[r]);
        QCOMPARE(list->topLevelItem(9)->columnCount(), 1);

        // A cell cut short shows its whole text as a tooltip; one that fits shows none.
        w.form->show();
        const auto tooltipAt = [list](int row) {
            const QPoint at(list->header()->sectionViewportPosition(4) + 20,
                            list->visualItemRect(list->topLevelItem(row)).center().y());
            QHelpEvent help(QEvent::ToolTip, at, list->viewport()->mapToGlobal(at));
            QCoreApplication::sendEvent(list->viewport(), &help);
            return QToolTip::isVisible() ? QToolTip::text() : QString();
        };
        QCOMPARE(tooltipAt(2), QString());
        QCOMPARE(tooltipAt(4), rows[4][4]);
        // A screen reader hears what the label holds, not a bare number.
        QCOMPARE(QAccessible::queryAccessibleInterface(w.form->Label1)->text(QAccessible::Name),
                 "Current temperature 71" + kDeg + "F");

        QCOMPARE(w.form->windowTitle(),
                 "71" + kDeg + "F Moon Waning 13% Sunrise:  5:17 AM  Sunset:  5:57 PM");

        // Waning at 13%: the waning crescent, lit along its left edge.
        QCOMPARE(w.form->IconIndex(), 8);
        const QImage shownIcon = w.form->windowIcon().pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(shownIcon, DrawMoonImage(8, 16).convertToFormat(QImage::Format_ARGB32));
    }

    void updateKeepsWindowWhenForecastFails()
    {
        World w;
        w.forecastReply = ReadFixture("nws/sancarlos-2025-10-06-today-n13.xml");
        w.almanacReply = ReadFixture("usno/reykjavik-2026-06-26-sunset-after-midnight.json");
        w.tomorrowReply = QString();
        w.form->Form_Load();
        QCOMPARE(w.form->lvwEmployees->topLevelItemCount(), 11);
        QCOMPARE(RowTexts(w.form->lvwEmployees->topLevelItem(0)), (QStringList{"Today", "85", "60", "", "Sunny,"}));
        // Tomorrow's fetch found nothing: the row keeps the (empty) earlier value.
        QCOMPARE(w.form->lvwEmployees->topLevelItem(8)->text(4), QStringLiteral("Moonrise tomorrow "));
        const QString label = w.form->Label1->text();
        const QString text = w.form->Text1Text();
        const QString almanacTitle = w.form->State().AlmanacTitle;
        QVERIFY(almanacTitle.startsWith(" Moon WAXing 89% Sunrise:"));

        // A reply that does not load: only the title changes, to the sun/moon title alone.
        w.forecastReply = QStringLiteral("<dwml>Daily Minimum <unclosed>");
        w.form->Update_Click();
        QCOMPARE(w.form->windowTitle(), almanacTitle);
        QCOMPARE(w.form->Label1->text(), label);
        QCOMPARE(w.form->Text1Text(), text);
        QCOMPARE(w.form->lvwEmployees->topLevelItemCount(), 11);

        // No forecast at all: a message, and nothing else changes.
        w.forecastReply = QString();
        w.form->Update_Click();
        QCOMPARE(w.platform.messages.size(), size_t(1));
        QCOMPARE(w.platform.messages[0].text, QStringLiteral("No forecast for this location available."));
        QCOMPARE(w.form->windowTitle(), almanacTitle);

        // A scan error (an observation marker with nothing after it) takes the error path.
        QString broken = ReadFixture("nws/sancarlos-2025-10-06-today-n13.xml");
        broken.insert(broken.lastIndexOf("</data>"), "<extra>barometer</extra>");
        w.forecastReply = broken;
        w.form->Update_Click();
        QCOMPARE(w.form->windowTitle(), almanacTitle);
        QCOMPARE(w.form->Text1Text(), text);
        QVERIFY(!w.form->Busy());
    }

    void almanacFailuresKeepOrResetWhatTheyShould()
    {
        World w;
        w.forecastReply = ReadFixture("nws/lamesa-2026-04-11-overnight-n14.xml");
        w.almanacReply = ReadFixture("usno/svalbard-2026-06-21-polar-day-two-moonsets.json");
        w.form->Form_Load();
        // Waxing crescent at 45%: the first quarter picture.
        QCOMPARE(w.form->IconIndex(), 3);
        const QString text = w.form->State().AlmanacText;
        QVERIFY(text.startsWith("Sunrise: \r\nSunset: \r\nMoonrise:  11:29 AM\r\nMoonset:  11:05 PM\r\n"));

        // An unreadable time after a rise marker: the run ends, texts and icon stay.
        w.almanacReply = QStringLiteral("{\"apiversion\": \"4.0.1\", \"curphase\": \"Full Moon\", "
                                        "\"fracillum\": \"100%\", \"moondata\": [{\"phen\": \"Rise\", \"time\": \"25:99\" }]}");
        w.platform.now = MakeDate(2026, 12, 6, 18, 0, 0);
        w.form->Timer1_Timer();
        QCOMPARE(w.form->IconIndex(), 3);
        QCOMPARE(w.form->State().AlmanacText, text);

        // A failed download (offline after a sleep) keeps the texts and icon
        // of the last good refresh; the forecast after the pause shows them.
        w.almanacReply = QString();
        w.platform.now = MakeDate(2026, 12, 7, 2, 0, 0);
        w.form->Timer1_Timer();
        QCOMPARE(w.form->IconIndex(), 3);
        QCOMPARE(w.form->State().AlmanacText, text);
        QVERIFY(w.form->Text1Text().startsWith(text));

        // A reply that arrives but holds nothing usable is still taken: the
        // labels alone and the new moon.
        w.almanacReply = QStringLiteral("{\"error\": \"no data\"}");
        w.tomorrowReply = w.almanacReply;   // today is 7 December now
        w.platform.now = MakeDate(2026, 12, 7, 10, 0, 0);
        w.form->Timer1_Timer();
        QCOMPARE(w.form->IconIndex(), 1);
        QCOMPARE(w.form->State().AlmanacText,
                 QStringLiteral("Sunrise: \r\nSunset: \r\nMoonrise: \r\nMoonset: \r\n  visible\r\n"));
        QCOMPARE(w.form->State().AlmanacTitle, QStringLiteral(" Moon   Sunrise:   Sunset: "));
    }

    void autoOffRow()
    {
        World w("32.8007,-117.0497,tz=-8,auto update=false\r\n");
        w.forecastReply = ReadFixture("nws/lamesa-2026-06-29-today-n13-holiday-period-name.xml");
        w.form->Form_Load();
        QTreeWidget *list = w.form->lvwEmployees;
        QCOMPARE(list->topLevelItemCount(), 10);
        QCOMPARE(list->topLevelItem(9)->text(0), QStringLiteral("(auto off)"));
        QCOMPARE(list->topLevelItem(9)->columnCount(), 1);
        QVERIFY(!w.form->Timer1->isActive());
    }
};

QTEST_MAIN(WindowRefreshTest)
#include "tst_window_refresh.moc"

// The window after refreshes through the test platform, with recorded
// replies of both services: label, text box, every list row, title and icon.
#include "TestPlatform.h"
#include "WindowChecks.h"

#include "startup/StartupFiles.h"
#include "support/RecordedReplies.h"
#include "support/TestFiles.h"

#include <QAccessible>
#include <QHeaderView>
#include <QToolTip>
#include <QTimer>
#include <QtTest>

#include <memory>

using namespace recorded;
using namespace windowcheck;

namespace {

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
        testsupport::WriteFile(platform.FilePath(kFullMoonFileName), kTable);
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
    void initTestCase() { recorded::StartTestCase(); }

    // Austin's night-first forecast with Mayapur's sun and moon.
    void startUpWithRecordedReplies()
    {
        World w;
        w.forecastReply = Text(kAustin.file);
        w.almanacReply = Text(kMayapur.file);
        w.tomorrowReply = Text(kVrindavan.file);
        w.form->Form_Load();

        QVERIFY(w.platform.messages.empty());
        QCOMPARE(w.platform.downloads.size(), 3);
        QCOMPARE(w.platform.downloads[0],
                 QStringLiteral("https://aa.usno.navy.mil/api/rstt/oneday?date=2026-12-06 &coords=35.9656, -114.836&tz=-8 &dst=true"));
        QCOMPARE(w.platform.downloads[1],
                 QStringLiteral("https://forecast.weather.gov/MapClick.php?lat=35.9656&lon=-114.836&unit=0&lg=english&FcstType=dwml"));
        QCOMPARE(w.platform.downloads[2],
                 QStringLiteral("https://aa.usno.navy.mil/api/rstt/oneday?date=2026-12-07 &coords=35.9656, -114.836&tz=-8 &dst=true"));

        // Vrindavan's first moon entry is a transit; its rise comes after it.
        CheckWindow(*w.form, kAustin, Shown(kMayapur), kVrindavan.moonrise, {"10:00 AM", "10:00 AM"});
        QCOMPARE(w.form->State().AlmanacText, AlmanacText(kMayapur));

        QTreeWidget *list = w.form->lvwEmployees;
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
        QCOMPARE(tooltipAt(4), kAustin.rows[4][4]);
        // A screen reader hears what the label holds, not a bare number.
        QCOMPARE(QAccessible::queryAccessibleInterface(w.form->Label1)->text(QAccessible::Name),
                 "Current temperature " + kAustin.temperature + kDeg + "F");
    }

    void updateKeepsWindowWhenForecastFails()
    {
        World w;
        w.forecastReply = Text(kSanCarlos.file);
        w.almanacReply = Text(kReykjavik.file);
        w.tomorrowReply = Text(kVrindavan.file);
        w.form->Form_Load();
        CheckWindow(*w.form, kSanCarlos, Shown(kReykjavik), kVrindavan.moonrise, {"10:00 AM", "10:00 AM"});
        const QString label = w.form->Label1->text();
        const QString text = w.form->Text1Text();
        const QString almanacTitle = w.form->State().AlmanacTitle;
        QCOMPARE(almanacTitle, AlmanacTitle(kReykjavik));

        // A reply that does not load: only the title changes, to the sun/moon
        // title alone, and a message says why.
        w.forecastReply = QStringLiteral("<dwml>Daily Minimum <unclosed>");
        w.form->Update_Click();
        QCOMPARE(w.form->windowTitle(), almanacTitle);
        QCOMPARE(w.form->Label1->text(), label);
        QCOMPARE(w.form->Text1Text(), text);
        QCOMPARE(w.form->lvwEmployees->topLevelItemCount(), 11);
        QCOMPARE(w.platform.messages.size(), size_t(1));
        QVERIFY(w.platform.messages[0].text.startsWith(QStringLiteral("The forecast from forecast.weather.gov could not be read: ")));

        // No forecast at all: a message, and nothing else changes.
        w.forecastReply = QString();
        w.form->Update_Click();
        QCOMPARE(w.platform.messages.size(), size_t(2));
        QCOMPARE(w.platform.messages[1].text, QStringLiteral("No forecast for this location available."));
        QCOMPARE(w.form->windowTitle(), almanacTitle);

        // A scan error (an observation marker with nothing after it) takes the error path.
        QString broken = Text(kSanCarlos.file);
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
        w.forecastReply = Text(kLaMesaApril.file);
        w.almanacReply = Text(kSvalbard.file);
        w.form->Form_Load();
        // Waxing crescent at 45%: the first quarter picture.
        QCOMPARE(w.form->IconIndex(), kSvalbard.picture);
        const QString text = w.form->State().AlmanacText;
        QCOMPARE(text, AlmanacText(kSvalbard));

        // An unreadable time after a rise marker: the run ends, texts and icon stay.
        w.almanacReply = QStringLiteral("{\"apiversion\": \"4.0.1\", \"curphase\": \"Full Moon\", "
                                        "\"fracillum\": \"100%\", \"moondata\": [{\"phen\": \"Rise\", \"time\": \"25:99\" }]}");
        w.platform.now = MakeDate(2026, 12, 6, 18, 0, 0);
        w.form->Timer1_Timer();
        QCOMPARE(w.form->IconIndex(), kSvalbard.picture);
        QCOMPARE(w.form->State().AlmanacText, text);

        // A failed download (offline after a sleep) keeps the texts and icon
        // of the last good refresh of the same day; the forecast after the
        // pause shows them.
        w.almanacReply = QString();
        w.platform.now = MakeDate(2026, 12, 6, 23, 0, 0);
        w.form->Timer1_Timer();
        QCOMPARE(w.form->IconIndex(), kSvalbard.picture);
        QCOMPARE(w.form->State().AlmanacText, text);
        QVERIFY(w.form->Text1Text().startsWith(text));

        // The next day the observatory sends only its error: the window holds
        // nothing of the observatory's for that date, so it shows the values
        // computed here, marked as such, never the labels alone.
        w.almanacReply = QStringLiteral("{\"error\": \"no data\"}");
        w.tomorrowReply = w.almanacReply;   // today is 7 December now
        w.platform.now = MakeDate(2026, 12, 7, 10, 0, 0);
        w.form->Timer1_Timer();
        const QString computed = w.form->State().AlmanacText;
        QVERIFY2(computed.startsWith(QStringLiteral("Sunrise:  6:")) && computed.endsWith(QStringLiteral(" visible (computed)\r\n")),
                 qPrintable(computed));
        QVERIFY(w.form->State().AlmanacTitle.endsWith(QStringLiteral(" (computed)")));
        QVERIFY(w.form->IconIndex() >= 1 && w.form->IconIndex() <= 8);
        QVERIFY(ListRows(w.form->lvwEmployees).value(8).value(4).endsWith(QStringLiteral(" (computed)")));
    }

    void autoOffRow()
    {
        World w("32.8007,-117.0497,tz=-8,auto update=false\r\n");
        w.forecastReply = Text(kLaMesaJune.file);
        w.almanacReply = Text(kMayapur.file);
        w.tomorrowReply = Text(kVrindavan.file);
        w.form->Form_Load();
        CheckWindow(*w.form, kLaMesaJune, Shown(kMayapur), kVrindavan.moonrise, {"(auto off)"});
        QVERIFY(!w.form->Timer1->isActive());
    }
};

QTEST_MAIN(WindowRefreshTest)
#include "tst_window_refresh.moc"

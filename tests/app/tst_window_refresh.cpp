// The window as it is drawn: its controls at creation, and after refreshes
// through the test platform with recorded replies of both services (label,
// text box, every list row, title and icon).
#include "TestPlatform.h"
#include "WindowChecks.h"

#include "startup/StartupFiles.h"
#include "support/RecordedReplies.h"
#include "support/TestFiles.h"

#include <QAccessible>
#include <QApplication>
#include <QStyle>
#include "app/AlertWindow.h"
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QHeaderView>
#include <QToolTip>
#include <QTextDocumentFragment>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include <memory>

using namespace recorded;
using namespace windowcheck;

namespace {

// One <hazard> of a forecast reply.
QByteArray HazardXml(const QByteArray &headline, const QByteArray &url)
{
    return "<hazard headline=\"" + headline + "\"><hazardTextURL>" + url + "</hazardTextURL></hazard>";
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
    void windowAtCreation()
    {
        TestPlatform platform;
        Form1 f(platform);
        QCOMPARE(f.windowTitle(), QStringLiteral("Selvorra Boulder City"));
        QCOMPARE(f.size(), QSize(547, 182));
        QCOMPARE(f.lvwEmployees->geometry(), QRect(136, 0, 409, 177));
        QCOMPARE(f.Text1->geometry(), QRect(8, 40, 121, 137));
        QCOMPARE(f.Label1->geometry(), QRect(8, 0, 113, 41));
        QCOMPARE(f.Update->geometry(), QRect(304, 152, 57, 17));
        QCOMPARE(f.Location->geometry(), QRect(416, 152, 57, 17));
        QCOMPARE(f.Update->text(), QStringLiteral("Update"));
        QCOMPARE(f.Location->text(), QStringLiteral("Location"));
        QCOMPARE(f.Label1->font().pointSize(), 24);
        QCOMPARE(f.Label1->font().weight(), QFont::Normal);
        QVERIFY(f.Label1->text().isEmpty());
        QVERIFY(f.Text1->toPlainText().isEmpty());
        QCOMPARE(f.lvwEmployees->columnCount(), 0);
        QCOMPARE(f.lvwEmployees->topLevelItemCount(), 0);
        QVERIFY(f.Timer1->isActive());
        QCOMPARE(f.Timer1->interval(), 60000);
        QCOMPARE(f.IconIndex(), 0);
        QCOMPARE(f.ImageList1.Count(), 8);

        // A screen reader names each part, in the program's words.
        const auto said = [](QWidget *widget, QAccessible::Text what) {
            return QAccessible::queryAccessibleInterface(widget)->text(what);
        };
        QCOMPARE(said(f.lvwEmployees, QAccessible::Name), QStringLiteral("Seven-day forecast"));
        QCOMPARE(said(f.Text1, QAccessible::Name), QStringLiteral("Sun, moon and current conditions"));
        QCOMPARE(said(f.Label1, QAccessible::Name), QStringLiteral("Current temperature"));
        QCOMPARE(said(&f, QAccessible::Name), QStringLiteral("Selvorra"));
        for (QWidget *part : {static_cast<QWidget *>(&f), static_cast<QWidget *>(f.lvwEmployees),
                              static_cast<QWidget *>(f.Text1), static_cast<QWidget *>(f.Label1)})
            QVERIFY(!said(part, QAccessible::Description).isEmpty());

        // Tab order: list, text box, Update, Location; the label takes no focus.
        const QList<QWidget *> controls{f.lvwEmployees, f.Text1, f.Update, f.Location};
        QList<QWidget *> order;
        QWidget *chain = f.lvwEmployees;
        for (int guard = 0; guard < 100 && order.size() < 4; ++guard, chain = chain->nextInFocusChain())
            if (controls.contains(chain) && !order.contains(chain))
                order << chain;
        QCOMPARE(order, (QList<QWidget *>{f.lvwEmployees, f.Text1, f.Update, f.Location}));
        QCOMPARE(f.Label1->focusPolicy(), Qt::NoFocus);

        // The buttons stay above the list's rows.
        const QObjectList kids = f.children();
        QVERIFY(kids.indexOf(f.Update) > kids.indexOf(f.lvwEmployees));
        QVERIFY(kids.indexOf(f.Location) > kids.indexOf(f.lvwEmployees));

        // The five columns, when the view has them, with their widths.
        WindowView view;
        view.columns = true;
        view.shown = true;
        view.rows.assign(14, ListRow{QStringLiteral("Tuesday Night"), {"60", "40", "30%", "Rain likely."}});
        f.Draw(view);
        QCOMPARE(ColumnHeaders(f.lvwEmployees), kHeaders);
        const int widths[] = {78, 45, 45, 45, 192};
        for (int i = 0; i < 5; ++i)
            QCOMPARE(f.lvwEmployees->columnWidth(i), widths[i]);

        // "Hours" sits right of Location in the same row and style, and
        // hides neither Location nor the list's scroll bar of a full list.
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        QCOMPARE(f.Hours->text(), QStringLiteral("Hours"));
        QCOMPARE(said(f.Hours, QAccessible::Name), QStringLiteral("Hours"));
        QCOMPARE(said(f.Hours, QAccessible::Description), QStringLiteral("Open the hourly forecast"));
        QCOMPARE(f.Hours->geometry().top(), f.Location->geometry().top());
        QCOMPARE(f.Hours->height(), f.Location->height());
        QVERIFY(f.Hours->geometry().left() > f.Location->geometry().right());
        const QScrollBar *bar = f.lvwEmployees->verticalScrollBar();
        QVERIFY(bar->isVisible());
        const QRect barRect(bar->mapTo(&f, QPoint(0, 0)), bar->size());
        QVERIFY2(!barRect.intersects(f.Hours->geometry()), qPrintable(QStringLiteral("bar %1,%2 %3x%4")
                                                                         .arg(barRect.x()).arg(barRect.y())
                                                                         .arg(barRect.width()).arg(barRect.height())));
    }


    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void init()
    {
        if (!recorded::Present() && QByteArray(QTest::currentTestFunction()) != "windowAtCreation")
            QSKIP(recorded::kAbsent);
    }

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
        // A forecast row's tooltip is its period's whole worded forecast
        // (row 1 of this night-first reply: the night's), as it stands.
        const auto plain = [](const QString &tip) { return QTextDocumentFragment::fromHtml(tip).toPlainText(); };
        const QString tonight = QStringLiteral("A 20 percent chance of showers after midnight. Increasing clouds, with a low "
                                               "around 59. South wind 15 to 20 mph becoming west 10 to 15 mph after midnight. "
                                               "Winds could gust as high as 30 mph.");
        const QString thursday = QStringLiteral("A 20 percent chance of showers and thunderstorms after noon. Partly sunny, "
                                                "with a high near 86. Breezy, with a south wind 10 to 15 mph becoming west "
                                                "southwest 20 to 25 mph in the afternoon. Winds could gust as high as 35 mph.");
        // A row without one: a cell cut short shows its whole text, one that fits shows none.
        QCOMPARE(tooltipAt(8), QString());
        QCOMPARE(plain(tooltipAt(7)), QStringLiteral("Full Moon ") + kNextFullMoon);
        QCOMPARE(plain(tooltipAt(0)), tonight);
        QCOMPARE(plain(tooltipAt(4)), thursday);
        QCOMPARE(list->topLevelItem(4)->data(1, Qt::AccessibleDescriptionRole).toString(), thursday);
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
        QCOMPARE(w.platform.messages[1].text, QStringLiteral("No forecast for this location available.") + kApiOffline);
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

    // The service's warnings in a strip above the list; no strip without
    // them. Each row: the hazards put into La Mesa's April reply, what the
    // strip shows, and what activating one of them does.
    void warningsStrip_data()
    {
        QTest::addColumn<QByteArray>("hazards");
        QTest::addColumn<QString>("strip");
        QTest::addColumn<int>("activate");
        QTest::addColumn<QString>("opened");    // the page the browser got; empty: none
        QTest::addColumn<QString>("message");   // the start of the message shown; empty: none
        const QByteArray a = HazardXml("Wind Advisory", "https://forecast.weather.gov/a?x=1&amp;y=2");
        const QByteArray b = HazardXml("Hazardous Weather Outlook", "https://forecast.weather.gov/b");
        QTest::newRow("two hazards") << a + b << QStringLiteral("Wind Advisory \u00B7 Hazardous Weather Outlook") << 1
                                     << QStringLiteral("https://forecast.weather.gov/b") << QString();
        QTest::newRow("an exact duplicate left out") << a + a + b << QStringLiteral("Wind Advisory \u00B7 Hazardous Weather Outlook")
                                                     << 0 << QStringLiteral("https://forecast.weather.gov/a?x=1&y=2") << QString();
        QTest::newRow("300-character headline cut to 120")
            << HazardXml(QByteArray(300, 'H'), "https://forecast.weather.gov/h") << QString(120, u'H') << 0
            << QStringLiteral("https://forecast.weather.gov/h") << QString();
        QTest::newRow("markup in a headline shows as it stands")
            << HazardXml("&lt;b&gt;x&lt;/b&gt; &amp; &lt;img src=y&gt;", "https://forecast.weather.gov/m")
            << QStringLiteral("<b>x</b> && <img src=y>") << 0 << QStringLiteral("https://forecast.weather.gov/m") << QString();
        QTest::newRow("plain http never opened") << HazardXml("Frost Advisory", "http://forecast.weather.gov/f")
                                                 << QStringLiteral("Frost Advisory") << 0 << QString()
                                                 << QStringLiteral("The page of \"Frost Advisory\" is not opened: http://forecast.weather.gov/f is not");
        QTest::newRow("a look-alike host never opened")
            << HazardXml("Frost Advisory", "https://forecast.weather.gov.example.com/f") << QStringLiteral("Frost Advisory") << 0
            << QString() << QStringLiteral("The page of \"Frost Advisory\" is not opened: https://forecast.weather.gov.example.com/f");
        QTest::newRow("no browser") << HazardXml("Frost Advisory", "https://forecast.weather.gov/nobrowser")
                                    << QStringLiteral("Frost Advisory") << 0 << QStringLiteral("https://forecast.weather.gov/nobrowser")
                                    << QStringLiteral("No web browser could be started for https://forecast.weather.gov/nobrowser.");
    }

    void warningsStrip()
    {
        QFETCH(QByteArray, hazards);
        QFETCH(QString, strip);
        QFETCH(int, activate);
        QFETCH(QString, opened);
        QFETCH(QString, message);
        World w;
        QByteArray reply = Bytes(kLaMesaApril.file);
        reply.insert(reply.indexOf("<wordedForecast"), "<hazards time-layout=\"\"><name>Watches, Warnings, and Advisories</name>"
                                                       "<hazard-conditions>" + hazards + "</hazard-conditions></hazards>");
        w.forecastReply = FromCp1252(reply);
        w.almanacReply = Text(kMayapur.file);
        w.platform.browserStarts = !opened.endsWith(QStringLiteral("nobrowser"));
        w.form->Form_Load();
        QVERIFY2(w.platform.messages.empty(), qPrintable(w.platform.messages.empty() ? QString() : w.platform.messages[0].text));
        QVERIFY(!w.form->Warnings->isHidden());
        QCOMPARE(w.form->Warnings->text(), strip);
        QCOMPARE(w.form->lvwEmployees->geometry(), QRect(136, 18, 409, 159));
        QCOMPARE(ListRows(w.form->lvwEmployees).mid(0, 7), kLaMesaApril.rows);
        w.form->Warning_Activated(activate);
        QCOMPARE(w.platform.urlsOpened, opened.isEmpty() ? QStringList() : QStringList{opened});
        QCOMPARE(w.platform.messages.size(), size_t(message.isEmpty() ? 0 : 1));
        if (!message.isEmpty())
            QVERIFY2(w.platform.messages[0].text.startsWith(message), qPrintable(w.platform.messages[0].text));
        // A refresh without hazards takes the strip away; the list gets its place back.
        w.forecastReply = Text(kLaMesaApril.file);
        w.form->Update_Click();
        QVERIFY(w.form->Warnings->isHidden());
        QCOMPARE(w.form->lvwEmployees->geometry(), QRect(136, 0, 409, 177));
    }

    // An alert of the service in the strip opens the program's own window
    // for it, never the browser, with the strip's icon its severity's.
    void alertOpensItsWindow()
    {
        World w;
        w.forecastReply = Text(kLaMesaApril.file);
        w.almanacReply = Text(kMayapur.file);
        w.platform.onAlerts = [](const net::Request &) {
            return net::Fetched{QStringLiteral(R"({"features": [{"id": "urn:a1", "properties": {"status": "Actual", )"
                                               R"("event": "Tornado Warning", "headline": "Take cover", "severity": "Extreme", )"
                                               R"("ends": "2026-12-06T11:00:00Z", "description": "A tornado.\nMoving east."}}]})"),
                                {net::Failure::None, "api.weather.gov", 200, "OK", {}, {}, {}}};
        };
        w.form->Form_Load();
        QCOMPARE(w.form->Warnings->text(), QStringLiteral("Tornado Warning"));
        QCOMPARE(w.form->Warnings->icon().pixmap(16).toImage(),
                 w.form->style()->standardIcon(QStyle::SP_MessageBoxCritical).pixmap(16).toImage());
        w.form->Warnings->click();
        AlertWindow *window = nullptr;
        for (QWidget *widget : QApplication::topLevelWidgets())
            window = window ? window : qobject_cast<AlertWindow *>(widget);
        QVERIFY(window && window->isVisible());
        QCOMPARE(window->windowTitle(), QStringLiteral("Weather alert: Tornado Warning"));
        QVERIFY(w.platform.urlsOpened.isEmpty());
    }

    // La Mesa's March reply: its Heat Advisory, heard by name with its
    // headline, opened by a click or by Enter; and when it was issued.
    void recordedHeatAdvisoryAndIssueTime_data()
    {
        QTest::addColumn<QDateTime>("now");            // the clock (UTC here)
        QTest::addColumn<QByteArray>("creation");      // what <creation-date> holds; empty: left as recorded
        QTest::addColumn<QString>("timeRow");
        QTest::addColumn<QString>("tip");
        const QString issued = QStringLiteral("Forecast issued Tue, Mar 17 11:07 AM");
        QTest::newRow("fresh") << QDateTime(QDate(2026, 3, 18), QTime(2, 0)) << QByteArray() << QStringLiteral("02:00 AM") << issued;
        QTest::newRow("issued two days before") << QDateTime(QDate(2026, 3, 19), QTime(14, 35)) << QByteArray()
                                                << QStringLiteral("02:35 PM (forecast issued 2 days ago)") << issued;
        QTest::newRow("issued 13 hours before") << QDateTime(QDate(2026, 3, 18), QTime(7, 10)) << QByteArray()
                                                << QStringLiteral("07:10 AM (forecast issued 13 hours ago)") << issued;
        QTest::newRow("creation date garbled") << QDateTime(QDate(2026, 3, 19), QTime(14, 35)) << QByteArray("yesterday")
                                               << QStringLiteral("02:35 PM") << QString();
        QTest::newRow("creation date missing") << QDateTime(QDate(2026, 3, 19), QTime(14, 35)) << QByteArray("-")
                                               << QStringLiteral("02:35 PM") << QString();
    }

    void recordedHeatAdvisoryAndIssueTime()
    {
        QFETCH(QDateTime, now);
        QFETCH(QByteArray, creation);
        QFETCH(QString, timeRow);
        QFETCH(QString, tip);
        World w;
        w.platform.now = DateFromQDateTime(now);
        QByteArray reply = Bytes(kLaMesaMarch.file);
        const QByteArray recorded = "<creation-date refresh-frequency='PT1H'>2026-03-17T11:07:56-07:00</creation-date>";
        QVERIFY(reply.contains(recorded));
        if (creation == "-")
            reply.replace(recorded, "");
        else if (!creation.isEmpty())
            reply.replace(recorded, "<creation-date refresh-frequency='PT1H'>" + creation + "</creation-date>");
        w.forecastReply = FromCp1252(reply);
        w.almanacReply = Text(kMayapur.file);
        w.form->Form_Load();
        QToolButton *strip = w.form->Warnings;
        QVERIFY(!strip->isHidden());
        QCOMPARE(strip->text(), QStringLiteral("Heat Advisory"));
        QVERIFY(strip->toolTip().contains(QStringLiteral("Heat Advisory")));
        QAccessibleInterface *heard = QAccessible::queryAccessibleInterface(strip);
        QCOMPARE(heard->text(QAccessible::Name), QStringLiteral("Weather warnings"));
        QCOMPARE(heard->text(QAccessible::Description), QStringLiteral("Heat Advisory"));
        const QString page = QStringLiteral("https://forecast.weather.gov/showsigwx.php?warnzone=CAZ050&warncounty=CAC073"
                                            "&firewxzone=CAZ250&local_place1=3+Miles+NW+La+Mesa+CA&product1=Heat+Advisory");
        strip->click();
        QTest::keyClick(strip, Qt::Key_Return);
        QCOMPARE(w.platform.urlsOpened, (QStringList{page, page}));

        // SELVORRA_SCREENSHOT=FILE.png keeps a picture of this window (the README's).
        if (const QString shot = qEnvironmentVariable("SELVORRA_SCREENSHOT"); !shot.isEmpty() && creation.isEmpty())
            QVERIFY(w.form->grab().save(shot));

        QTreeWidgetItem *row = w.form->lvwEmployees->topLevelItem(w.form->lvwEmployees->topLevelItemCount() - 1);
        QCOMPARE(row->text(0), timeRow);
        QCOMPARE(QTextDocumentFragment::fromHtml(row->toolTip(0)).toPlainText(), tip);
        // Row 1 of this night-first reply is the night; row 2 the day it names.
        QCOMPARE(w.form->lvwEmployees->topLevelItem(0)->data(0, Qt::AccessibleDescriptionRole).toString(),
                 QStringLiteral("Mostly clear, with a low around 63. Calm wind."));
        QCOMPARE(w.form->lvwEmployees->topLevelItem(1)->data(0, Qt::AccessibleDescriptionRole).toString(),
                 QStringLiteral("Sunny, with a high near 92. Light and variable wind becoming west 5 to 10 mph in the afternoon."));

        // Location starts over: a new place whose forecast cannot be had keeps
        // no warning of the place before.
        w.forecastReply = QString();
        testsupport::WriteFile(w.platform.FilePath(kSettingsFileName), "40.7831,-73.9712,tz=-5\r\n");
        w.form->Location_Click();
        QVERIFY(strip->isHidden());
    }

    // A day-first reply: row 1 is today, row 2 the next day it names.
    void dayFirstRowTips()
    {
        World w;
        w.forecastReply = Text(kLaMesaJune.file);
        w.almanacReply = Text(kMayapur.file);
        w.form->Form_Load();
        QVERIFY(w.form->Warnings->isHidden());
        QCOMPARE(w.form->lvwEmployees->topLevelItem(0)->data(0, Qt::AccessibleDescriptionRole).toString(),
                 QStringLiteral("Mostly cloudy, then gradually becoming sunny, with a high near 74. Light and variable wind "
                                "becoming southwest 5 to 10 mph in the morning."));
        QCOMPARE(w.form->lvwEmployees->topLevelItem(1)->data(0, Qt::AccessibleDescriptionRole).toString(),
                 QStringLiteral("Patchy fog before 11am. Otherwise, cloudy through mid morning, then gradual clearing, with a "
                                "high near 74. South wind 5 to 10 mph becoming west in the morning."));
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

// The active alerts: the recorded replies (read in place; the values below
// were read off the files by hand), hostile replies, their order and
// expiry, the texts shown, which events notify, the kept events and the
// user's setting.

#include "alerts/AlertText.h"
#include "alerts/Notifications.h"
#include "common/Text.h"
#include "support/RecordedReplies.h"

#include <QTest>

namespace {

const QDateTime kNow(QDate(2026, 12, 8), QTime(12, 0), Qt::UTC);

// `source` itself when it is JSON, else that recorded reply.
QString ReplyOf(const QString &source)
{
    return source.startsWith(u'{') ? source : recorded::Text(source);
}

// A reply listing these features.
QString Features(const QStringList &features)
{
    return QStringLiteral(R"({"type": "FeatureCollection", "features": [%1]})").arg(features.join(u','));
}

// One feature: "id|event|severity|onset hour|end hour" and more properties as JSON.
QString Feature(const QString &spec, const QString &more = QString())
{
    const QStringList f = spec.split(u'|');
    const auto time = [](const QString &hour) {
        return hour.isEmpty() ? QStringLiteral("null") : QStringLiteral("\"2026-12-08T%1:00:00-05:00\"").arg(hour);
    };
    return QStringLiteral(R"({"id": "%1", "properties": {"event": "%2", "severity": "%3", "onset": %4, "ends": %5, )"
                          R"("headline": "%2 issued"%6}})")
        .arg(f[0], f[1], f[2], time(f[3]), time(f[4]), more);
}

QStringList Events(const std::vector<Alert> &alerts)
{
    QStringList events;
    for (const Alert &alert : alerts)
        events << alert.event;
    return events;
}

// The oregon update without its VTEC string: an update known by its references alone.
QString WithoutVtec(QString reply)
{
    return reply.replace(QStringLiteral("\"VTEC\""), QStringLiteral("\"no-VTEC\""));
}

// "id:severity[:vtec[:references]]", ending well after kNow.
Alert AlertOf(const QString &spec)
{
    const QStringList f = spec.split(u':');
    Alert alert;
    alert.id = QStringLiteral("https://api.weather.gov/alerts/") + f[0];
    alert.event = f[0];
    alert.severity = SeverityOf(f[1]);
    alert.vtecEvent = f.value(2);
    alert.references = f.value(3).split(u',', Qt::SkipEmptyParts);
    alert.expires = kNow.addSecs(3600);
    return alert;
}

// "key:severity:notification id:alert id"
NotifiedEvent EventOf(const QString &spec)
{
    const QStringList f = spec.split(u':');
    return NotifiedEvent{f[0], SeverityOf(f[1]), f[2].toUInt(), kNow.addSecs(600),
                         {QStringLiteral("https://api.weather.gov/alerts/") + f[3]}};
}

} // namespace

class AlertsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void queryPath()
    {
        QCOMPARE(AlertsQueryPath(QStringLiteral(" 29.008056"), QStringLiteral("-81.38000")).value_or(QString()),
                 QStringLiteral("/alerts/active?point=29.0081,-81.38"));
        QVERIFY(!AlertsQueryPath(QStringLiteral("29"), QStringLiteral("181")));
    }

    void recordedReplies_data()
    {
        QTest::addColumn<QString>("file");
        // rule, alerts, then the first alert's event, severity, urgency, certainty, message type, onset, end,
        // VTEC event, references, sender, and whether the place is outside the service's area
        QTest::addColumn<QStringList>("expect");
        QTest::newRow("deland: one flood warning, ends null") << "nws-api/deland-2022-10-18-alerts-active.json"
            << QStringList{"", "1", "Flood Warning", "Severe", "Immediate", "Observed", "Alert",
                           "2022-10-17T22:15:00-04:00", "2022-10-18T11:00:00-04:00", "KMLB.FL.W.0007", "",
                           "NWS Melbourne FL", "no"};
        QTest::newRow("oregon: an update with four references")
            << "nws-alerts/oregon-2019-12-20-alerts-active-zone-ORZ004-update.json"
            << QStringList{"", "1", "Flood Watch", "Severe", "Future", "Possible", "Update", "2019-12-20T13:34:00-08:00",
                           "2019-12-22T10:00:00-08:00", "KPQR.FA.A.0004",
                           "NWS-IDP-PROD-3964821-3368352 NWS-IDP-PROD-3965324-3368680 NWS-IDP-PROD-3965155-3368578 "
                           "NWS-IDP-PROD-3963421-3367361", "NWS Portland OR", "no"};
        QTest::newRow("wise county: none") << "nws-api/wisecountytx-2022-10-18-alerts-active-empty.json"
            << QStringList{"", "0", "no"};
        QTest::newRow("outside the area") << "nws-api/outofbounds-2022-10-19-alerts-error-400-invalidparameter.json"
            << QStringList{"problem", "0", "yes"};
    }

    void recordedReplies()
    {
        recorded::StartTestCase();
        QFETCH(QString, file);
        QFETCH(QStringList, expect);
        const Result<AlertsReply> read = ReadAlerts(recorded::Text(file));
        QStringList got{read.rule, QString::number(read.value.alerts.size())};
        for (const Alert &a : read.value.alerts)
            got << QStringList{a.event, SeverityWord(a.severity), a.urgency, a.certainty, a.messageType,
                               a.onset.toString(Qt::ISODate), a.End().toString(Qt::ISODate), a.vtecEvent,
                               a.references.join(u' '), a.sender};
        got << (OutsideServiceArea(read) ? "yes" : "no");
        QCOMPARE(got, expect);
        if (read.rule == u"problem")
            QCOMPARE(read.reason, QStringLiteral("the service answered: Invalid Parameter: "
                                                 "Parameter \"point\" is invalid: out of bounds"));
    }

    void hostileReplies_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QStringList>("expect");   // rule, alerts, first alert's id, event, headline, description
        // Written as JSON, then as shown.
        const QString markup = QStringLiteral("<a href=\\\"https://x.example\\\">&amp;</a><script>alert(1)</script>");
        const QString shown = QStringLiteral("<a href=\"https://x.example\">&amp;</a><script>alert(1)</script>");
        QTest::newRow("not JSON") << "<html>Bad gateway</html>" << QStringList{"json", "0"};
        QTest::newRow("past 4 MiB") << QString(kMostAlertsReply + 1, u' ') << QStringList{"reply-size", "0"};
        QTest::newRow("deep nesting") << QString(100, QLatin1Char('[')) + QString(100, QLatin1Char(']'))
                                      << QStringList{"nesting", "0"};
        QTest::newRow("no list of features") << R"({"title": "x"})" << QStringList{"no-features", "0"};
        QTest::newRow("201 features: the first 200")
            << Features(QStringList(kMostAlerts + 1, Feature("a|Heat Advisory|Minor||")))
            << QStringList{"", "200", "a", "Heat Advisory", "Heat Advisory issued", ""};
        QTest::newRow("no feature id, a test, a number")
            << Features({"{\"properties\": {\"status\": \"Test\", \"event\": \"Tornado Warning\"}}", "7",
                         "{\"properties\": {\"@id\": \"https://api.weather.gov/alerts/b\", \"status\": \"Actual\", "
                         "\"event\": \"Wind Advisory\"}}"})
            << QStringList{"", "1", "https://api.weather.gov/alerts/b", "Wind Advisory", "", ""};
        const QString description = QStringLiteral(R"(, "description": "%1\r\n%1")");
        QTest::newRow("markup in every text")
            << Features({Feature(QStringLiteral("%1|%1|Severe||").arg(markup), description.arg(markup))})
            << QStringList{"", "1", shown, shown, shown + " issued", shown + "\n" + shown};
        QTest::newRow("a 1 MiB description, a 1 MiB event")
            << Features({Feature(QStringLiteral("c|%1|||").arg(QString(1 << 20, u'W')),
                                 description.arg(QStringLiteral("rain\\n").repeated(1 << 17)))})
            << QStringList{"", "1", "c", QString(kAlertNameMost, u'W'), QString(kAlertTextMost, u'W'),
                           QStringLiteral("rain\n").repeated(kAlertTextMost / 5) + "ra"};
    }

    void hostileReplies()
    {
        QFETCH(QString, reply);
        QFETCH(QStringList, expect);
        const Result<AlertsReply> read = ReadAlerts(reply);
        QStringList got{read.rule, QString::number(read.value.alerts.size())};
        if (!read.value.alerts.empty()) {
            const Alert &a = read.value.alerts.front();
            got << QStringList{a.id, a.event, a.headline, a.description};
        }
        QCOMPARE(got, expect);
        QCOMPARE(read.reason.isEmpty(), read.rule.isEmpty());
    }

    // Alerts to show, in their order, and the strip they make.
    void activeAndStrip_data()
    {
        QTest::addColumn<QStringList>("features");
        QTest::addColumn<QStringList>("expect");   // events in order; strip text, description, icon, tooltip lines
        QTest::newRow("severity, then onset, then the reply's order")
            << QStringList{Feature("1|Heat Advisory|Minor|10|"), Feature("2|Flood Watch|Severe|09|"),
                           Feature("3|Tornado Warning|Extreme|11|"), Feature("4|Special Statement|Unknown|08|"),
                           Feature("5|Flood Warning|Severe|08|"), Feature("6|Flood Watch|Severe|09|")}
            << QStringList{"Tornado Warning|Flood Warning|Flood Watch|Flood Watch|Heat Advisory|Special Statement",
                           "Tornado Warning · Flood Warning · Flood Watch · Heat Advisory · Special Statement",
                           "Tornado Warning, extreme; Flood Warning, severe; Flood Watch, severe; Heat Advisory, minor; "
                           "Special Statement, unknown", "critical", "6"};
        // kNow is 07:00 at -05:00: an alert ending then has left.
        QTest::newRow("ended at the tick, cancelled, ends over expires")
            << QStringList{Feature("1|Wind Advisory|Moderate||07"), Feature("2|Frost Advisory|Moderate||08"),
                           Feature("3|Freeze Watch|Severe||08", R"(, "messageType": "Cancel")"),
                           Feature("4|Fog Advisory|Minor||08", R"(, "expires": "2026-12-08T06:00:00-05:00")")}
            << QStringList{"Frost Advisory|Fog Advisory", "Frost Advisory · Fog Advisory",
                           "Frost Advisory, moderate; Fog Advisory, minor", "warning", "2"};
        QTest::newRow("minor only") << QStringList{Feature("1|Beach Hazards Statement|Minor||")}
            << QStringList{"Beach Hazards Statement", "Beach Hazards Statement", "Beach Hazards Statement, minor",
                           "information", "1"};
        QTest::newRow("none") << QStringList{} << QStringList{"", "", "", "information", "0"};
    }

    void activeAndStrip()
    {
        QFETCH(QStringList, features);
        QFETCH(QStringList, expect);
        const std::vector<Alert> active = ActiveAlerts(ReadAlerts(Features(features)).value.alerts, kNow);
        const AlertStrip strip = ComposeAlertStrip(active);
        const char *icons[] = {"information", "warning", "critical"};
        QCOMPARE((QStringList{Events(active).join(u'|'), strip.text, strip.accessibleDescription,
                              icons[static_cast<int>(strip.icon)], QString::number(SplitText(strip.toolTip, "\n").size())}),
                 expect);
    }

    void windowAndNotice_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QStringList>("sections");   // heading, then "label: text" for each section
        QTest::addColumn<QStringList>("notice");     // summary, body, urgency, body for a markup server
        QTest::newRow("deland, no instruction") << "nws-api/deland-2022-10-18-alerts-active.json"
            << QStringList{"Flood Warning issued October 17 at 10:15PM EDT by NWS Melbourne FL",
                           "Severity: Severe: significant threat to life or property",
                           "Urgency: Immediate: responsive action should be taken immediately",
                           "Certainty: Observed: determined to have occurred or to be ongoing",
                           "Areas: Lake, FL; Volusia, FL", "Onset: Mon, Oct 17 10:15 PM", "Expires: Tue, Oct 18 11:00 AM",
                           "Sender: NWS Melbourne FL",
                           "Description: * WHAT...Major flooding is occurring and major flooding is forecast.\n\n* WHERE...St Johns "
                           "River Near Deland.\n\n* WHEN...Until further notice.\n\n* IMPACTS...At 5.3 feet, Major flooding occurs "
                           "to many structures\nand marinas along the river and in the Hontoon Island area.\n\n* ADDITIONAL DETAILS..."
                           "\n- At 9:30 PM EDT Monday the stage was 6.0 feet.\n- Recent Activity...The maximum river stage in the "
                           "24 hours\nending at 9:30 PM EDT Monday was 6.1 feet.\n- Forecast...The river is expected to fall to "
                           "5.5 feet Saturday\nevening.\n- Flood stage is 4.0 feet.\n- http://www.weather.gov/safety/flood"}
            << QStringList{"Flood Warning", "Flood Warning issued October 17 at 10:15PM EDT by NWS Melbourne FL", "2",
                           "Flood Warning issued October 17 at 10:15PM EDT by NWS Melbourne FL"};
        QTest::newRow("unknown words, markup, no times")
            << Features({Feature(R"(x|Odd <b>&amp;</b>|Severish||)",
                                 R"(, "urgency": "Soon", "instruction": "Go <now>! Then & more.")")})
            << QStringList{"Odd <b>&amp;</b> issued", "Severity: unknown", "Urgency: unknown", "Certainty: unknown",
                           "Instruction: Go <now>! Then & more."}
            << QStringList{"Odd <b>&amp;</b>", "Odd <b>&amp;</b> issued\nGo <now>!", "0",
                           "Odd &lt;b&gt;&amp;amp;&lt;/b&gt; issued\nGo &lt;now&gt;!"};
    }

    void windowAndNotice()
    {
        QFETCH(QString, source);
        QFETCH(QStringList, sections);
        QFETCH(QStringList, notice);
        if (!source.startsWith(u'{'))
            recorded::StartTestCase();
        const Alert alert = ReadAlerts(ReplyOf(source)).value.alerts.at(0);
        const AlertWindowText window = ComposeAlertWindow(alert, QLocale());
        QStringList got{window.heading};
        for (const AlertSection &section : window.sections)
            got << section.label + ": " + section.text;
        QCOMPARE(got, sections);
        QCOMPARE(window.title, "Weather alert: " + alert.event);
        const AlertNotice n = ComposeNotice(alert);
        QCOMPARE((QStringList{n.summary, n.body, QString::number(n.urgency), EscapedForMarkup(n.body)}), notice);
    }

    void plan_data()
    {
        QTest::addColumn<QStringList>("active");     // AlertOf specs, in order
        QTest::addColumn<QStringList>("notified");   // EventOf specs
        QTest::addColumn<QString>("minimum");        // a severity word or "Off"
        // notified keys, replaced ids, closed ids, then the kept events as "key severity id"
        QTest::addColumn<QStringList>("expect");
        const QStringList none;
        QTest::newRow("a new event") << QStringList{"a:Severe:K1"} << none << "Moderate"
                                     << QStringList{"K1", "", "", "K1 Severe 0"};
        QTest::newRow("two alerts of one event, one notification") << QStringList{"a:Severe:K1", "b:Moderate:K1"}
            << none << "Moderate" << QStringList{"K1", "", "", "K1 Severe 0"};
        QTest::newRow("below the minimum: not recorded") << QStringList{"a:Moderate:K1"} << none << "Severe"
                                                         << QStringList{"", "", "", ""};
        QTest::newRow("off") << QStringList{"a:Extreme:K1"} << QStringList{"K2:Severe:4:b"} << "Off"
                             << QStringList{"", "", "4", ""};
        QTest::newRow("an update raises the severity") << QStringList{"b:Extreme:K1"} << QStringList{"K1:Severe:7:a"}
            << "Moderate" << QStringList{"", "7", "", "K1 Extreme 7"};
        QTest::newRow("an update at the same severity") << QStringList{"b:Moderate:K1"} << QStringList{"K1:Severe:7:a"}
            << "Moderate" << QStringList{"", "", "", "K1 Severe 7"};
        QTest::newRow("no VTEC: its references name a notified alert") << QStringList{"b:Extreme::x,a"}
            << QStringList{"a-key:Severe:7:a"} << "Moderate" << QStringList{"", "7", "", "a-key Extreme 7"};
        QTest::newRow("no VTEC, no such reference: its own id") << QStringList{"b:Severe::x"}
            << QStringList{"K1:Severe:7:a"} << "Moderate"
            << QStringList{"https://api.weather.gov/alerts/b", "", "7", "https://api.weather.gov/alerts/b Severe 0"};
        QTest::newRow("left the list; no id to close") << none << QStringList{"K1:Severe:7:a", "K2:Severe:0:b"}
            << "Minor" << QStringList{"", "", "7", ""};
    }

    void plan()
    {
        QFETCH(QStringList, active);
        QFETCH(QStringList, notified);
        QFETCH(QString, minimum);
        QFETCH(QStringList, expect);
        std::vector<Alert> alerts;
        for (const QString &spec : active)
            alerts.push_back(AlertOf(spec));
        std::vector<NotifiedEvent> before;
        for (const QString &spec : notified)
            before.push_back(EventOf(spec));
        const std::optional<Severity> least =
            minimum == u"Off" ? std::nullopt : std::optional<Severity>(SeverityOf(minimum));
        // Kept across a restart first: the plan must not tell the difference.
        const std::vector<NotifiedEvent> kept = ReadNotifiedEvents(NotifiedEventsText(before));
        const NotificationPlan plan = PlanNotifications(alerts, kept, least, kNow);
        QStringList notify, replace, close, after;
        for (const PlannedNotice &n : plan.notify)
            notify << plan.notified.at(n.event).key;
        for (const PlannedNotice &n : plan.replace)
            replace << QString::number(n.replacesId);
        for (const uint id : plan.close)
            close << QString::number(id);
        for (const NotifiedEvent &e : plan.notified)
            after << QStringList{e.key, SeverityWord(e.severity), QString::number(e.notificationId)}.join(u' ');
        QCOMPARE((QStringList{notify.join(u','), replace.join(u','), close.join(u','), after.join(u',')}), expect);
    }

    // The recorded update is the same event as the alert it updates, by
    // VTEC, and without its VTEC by the references.
    void recordedUpdate_data()
    {
        QTest::addColumn<bool>("vtec");
        QTest::addColumn<QString>("notifiedKey");
        QTest::newRow("by VTEC") << true << "KPQR.FA.A.0004";
        QTest::newRow("by references") << false << "https://api.weather.gov/alerts/NWS-IDP-PROD-3965155-3368578";
    }

    void recordedUpdate()
    {
        recorded::StartTestCase();
        QFETCH(bool, vtec);
        QFETCH(QString, notifiedKey);
        const QString text = recorded::Text("nws-alerts/oregon-2019-12-20-alerts-active-zone-ORZ004-update.json");
        const std::vector<Alert> alerts = ReadAlerts(vtec ? text : WithoutVtec(text)).value.alerts;
        const std::vector<NotifiedEvent> before{{notifiedKey, Severity::Severe, 31, {}, {notifiedKey}}};
        const QDateTime then(QDate(2019, 12, 20), QTime(22, 0), Qt::UTC);
        const NotificationPlan plan = PlanNotifications(ActiveAlerts(alerts, then), before, Severity::Minor, then);
        QVERIFY(plan.notify.empty() && plan.replace.empty() && plan.close.empty());
        QCOMPARE(plan.notified.size(), size_t(1));
        QCOMPARE(plan.notified[0].alertIds.last(), alerts[0].id);
        QCOMPARE(plan.notified[0].end, QDateTime(QDate(2019, 12, 22), QTime(18, 0), Qt::UTC));
    }

    void keptEvents_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("events");
        const QString good = NotifiedEventsText({{"K1", Severity::Severe, 7, kNow, {"a b\tc", "%41"}},
                                                 {"id with\nline", Severity::Unknown, 0, {}, {}}});
        QTest::newRow("as written") << good << 2;
        QTest::newRow("cut short") << good.chopped(3) << 0;
        QTest::newRow("no header") << good.mid(good.indexOf(u'\n') + 1) << 0;
        QTest::newRow("a field missing") << QString(good).replace("\tSevere\t", "\t") << 0;
        QTest::newRow("a wrong severity") << QString(good).replace("Severe", "Loud") << 0;
        QTest::newRow("a wrong id") << QString(good).replace("\t7\t", "\t-7\t") << 0;
        QTest::newRow("another file") << "35.9656,-114.836,tz=-8\n" << 0;
    }

    void keptEvents()
    {
        QFETCH(QString, text);
        QFETCH(int, events);
        const std::vector<NotifiedEvent> read = ReadNotifiedEvents(text);
        QCOMPARE(int(read.size()), events);
        if (events)
            QCOMPARE(NotifiedEventsText(read), text);
    }

    void setting_data()
    {
        QTest::addColumn<QString>("ini");
        QTest::addColumn<QString>("minimum");
        QTest::addColumn<QString>("problem");
        QTest::newRow("no file") << "" << "Moderate" << "";
        QTest::newRow("set") << "[notifications]\nminimum-severity=Severe\n" << "Severe" << "";
        QTest::newRow("comments, spaces, CR LF, another section")
            << "[other]\r\nminimum-severity = Minor\r\n; minimum-severity = Off\r\n[ notifications ]\r\n# x\r\n"
               "  minimum-severity = extreme  \r\n"
            << "Extreme" << "";
        QTest::newRow("off") << "[notifications]\nminimum-severity=Off" << "Off" << "";
        QTest::newRow("a wrong value") << "[notifications]\nminimum-severity=Loud" << "Moderate"
            << "the value \"Loud\" of minimum-severity in [notifications] of /home/u/.config/selvorra/selvorra.conf "
               "is not one of Extreme, Severe, Moderate, Minor or Off";
        QTest::newRow("unknown is no choice") << "[notifications]\nminimum-severity=Unknown" << "Moderate"
                                              << "the value \"Unknown\"";
    }

    void setting()
    {
        QFETCH(QString, ini);
        QFETCH(QString, minimum);
        QFETCH(QString, problem);
        const NotificationSetting s = ReadNotificationSetting(ini, "/home/u/.config/selvorra/selvorra.conf");
        QCOMPARE(s.minimum ? SeverityWord(*s.minimum) : QStringLiteral("Off"), minimum);
        QCOMPARE(s.problem.left(problem.size()), problem);
        QCOMPARE(s.problem.isEmpty(), problem.isEmpty());
    }
};

QTEST_GUILESS_MAIN(AlertsTest)
#include "tst_alerts.moc"

// The active alerts: the recorded replies (read in place; the values below
// were read off the files by hand), hostile replies, their order and
// expiry, the texts shown, which events notify, the kept events and the
// user's setting.

#include "alerts/AlertText.h"
#include "alerts/Notifications.h"
#include "support/RecordedReplies.h"

#include <QJsonDocument>
#include <QTest>

namespace {

const QDateTime kNow(QDate(2026, 12, 8), QTime(12, 0), Qt::UTC);
const QString kDeland = QStringLiteral("nws-api/deland-2022-10-18-alerts-active.json");
const QString kOregon = QStringLiteral("nws-alerts/oregon-2019-12-20-alerts-active-zone-ORZ004-update.json");

// A reply listing these features.
QString Features(const QStringList &features)
{
    return QStringLiteral(R"({"type": "FeatureCollection", "features": [%1]})").arg(features.join(u','));
}

// One feature: "id|event|severity|onset hour|end hour" (at -05:00), more properties as JSON.
QString Feature(const QString &fields, const QString &more = QString())
{
    const QStringList f = fields.split(u'|');
    const auto time = [](const QString &hour) {
        return hour.isEmpty() ? QStringLiteral("null") : QStringLiteral("\"2026-12-08T%1:00:00-05:00\"").arg(hour);
    };
    return QStringLiteral(R"({"id": "%1", "properties": {"event": "%2", "severity": "%3", "onset": %4, "ends": %5, )"
                          R"("headline": "%2 issued"%6}})")
        .arg(f[0], f[1], f[2], time(f[3]), time(f[4]), more);
}

// "id:severity[:vtec[:references]]", ending after kNow; "oregon" is the
// recorded update, "oregon without VTEC" the same known by its references alone.
Alert AlertOf(const QString &fields)
{
    if (fields.startsWith(QStringLiteral("oregon"))) {
        QString reply = recorded::Text(kOregon);
        if (fields != u"oregon")
            reply.replace(QStringLiteral("\"VTEC\""), QStringLiteral("\"no-VTEC\""));
        return ReadAlerts(reply).value.alerts.at(0);
    }
    const QStringList f = fields.split(u':');
    Alert alert;
    alert.id = QStringLiteral("https://api.weather.gov/alerts/") + f[0];
    alert.severity = SeverityOf(f[1]);
    alert.vtecEvent = f.value(2);
    alert.references = f.value(3).split(u',', Qt::SkipEmptyParts);
    alert.expires = kNow.addSecs(3600);
    return alert;
}

// "key:severity:notification id:alert id"
NotifiedEvent EventOf(const QString &fields)
{
    const QStringList f = fields.split(u':');
    return NotifiedEvent{f[0], SeverityOf(f[1]), f[2].toUInt(), kNow,
                         {QStringLiteral("https://api.weather.gov/alerts/") + f[3]}};
}

} // namespace

class AlertsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void recordedReplies_data()
    {
        QTest::addColumn<QString>("file");
        // rule, alerts, then the first alert's event, severity, urgency, certainty, message type, onset, end,
        // VTEC event, references, sender, and whether the place is outside the service's area
        QTest::addColumn<QStringList>("expect");
        QTest::newRow("deland: one flood warning, ends null") << kDeland
            << QStringList{"", "1", "Flood Warning", "Severe", "Immediate", "Observed", "Alert",
                           "2022-10-17T22:15:00-04:00", "2022-10-18T11:00:00-04:00", "KMLB.FL.W.0007", "",
                           "NWS Melbourne FL", "no"};
        QTest::newRow("oregon: an update with four references") << kOregon
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
        QCOMPARE(got << (OutsideServiceArea(read) ? "yes" : "no"), expect);
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
        const QString description = QStringLiteral(R"(, "description": "%1\r\n%1")");
        QTest::newRow("past 4 MiB") << QString(kMostAlertsReply + 1, u' ') << QStringList{"reply-size", "0"};
        QTest::newRow("no list of features") << R"({"title": "x"})" << QStringList{"no-features", "0"};
        QTest::newRow("201 features: the first 200") << Features(QStringList(201, Feature("a|Heat Advisory|Minor||")))
            << QStringList{"", "200", "a", "Heat Advisory", "Heat Advisory issued", ""};
        QTest::newRow("no feature id, a test, a number")
            << Features({"{\"properties\": {\"status\": \"Test\", \"event\": \"Tornado Warning\"}}", "7",
                         "{\"properties\": {\"@id\": \"https://api.weather.gov/alerts/b\", \"status\": \"Actual\"}}"})
            << QStringList{"", "1", "https://api.weather.gov/alerts/b", "Weather alert", "", ""};
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
        for (const Alert &a : read.value.alerts)
            if (got.size() == 2)
                got << QStringList{a.id, a.event, a.headline, a.description};
        QCOMPARE(got, expect);
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
                           "Special Statement, unknown", "2", "6"};
        // kNow is 07:00 at -05:00: an alert ending then has left.
        QTest::newRow("ended at the tick, cancelled, ends over expires")
            << QStringList{Feature("1|Wind Advisory|Moderate||07"), Feature("2|Frost Advisory|Moderate||08"),
                           Feature("3|Freeze Watch|Severe||08", R"(, "messageType": "Cancel")"),
                           Feature("4|Fog Advisory|Minor||08", R"(, "expires": "2026-12-08T06:00:00-05:00")")}
            << QStringList{"Frost Advisory|Fog Advisory", "Frost Advisory · Fog Advisory",
                           "Frost Advisory, moderate; Fog Advisory, minor", "1", "2"};
        QTest::newRow("none") << QStringList{} << QStringList{"", "", "", "0", "0"};
    }

    void activeAndStrip()
    {
        QFETCH(QStringList, features);
        QFETCH(QStringList, expect);
        const std::vector<Alert> active = ActiveAlerts(ReadAlerts(Features(features)).value.alerts, kNow);
        const AlertStrip strip = ComposeAlertStrip(active);
        QStringList events;
        for (const Alert &alert : active)
            events << alert.event;
        QCOMPARE((QStringList{events.join(u'|'), strip.text, strip.accessibleDescription,
                              QString::number(int(strip.icon)), QString::number(events.size())}),
                 expect);
        QCOMPARE(strip.toolTip.count(u'\n') + !events.isEmpty(), events.size());
    }

    void windowAndNotice_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QStringList>("sections");   // heading, then "label: text" for each section
        QTest::addColumn<QStringList>("notice");     // summary, body, urgency, body for a markup server
        const QString headline = QStringLiteral("Flood Warning issued October 17 at 10:15PM EDT by NWS Melbourne FL");
        QTest::newRow("deland, no instruction") << kDeland
            << QStringList{headline, "Severity: Severe: significant threat to life or property",
                           "Urgency: Immediate: responsive action should be taken immediately",
                           "Certainty: Observed: determined to have occurred or to be ongoing",
                           "Areas: Lake, FL; Volusia, FL", "Onset: Mon, Oct 17 10:15 PM", "Expires: Tue, Oct 18 11:00 AM",
                           "Sender: NWS Melbourne FL",
                           "Description: "}
            << QStringList{"Flood Warning", headline, "2", headline};
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
        if (source == kDeland)
            recorded::StartTestCase();
        const Alert alert = ReadAlerts(source == kDeland ? recorded::Text(source) : source).value.alerts.at(0);
        const AlertWindowText window = ComposeAlertWindow(alert, QLocale());
        QStringList got{window.heading};
        for (const AlertSection &section : window.sections)
            got << section.label + ": " + section.text;
        // The recorded description whole, as its JSON holds it.
        if (source == kDeland)
            sections.last() += QJsonDocument::fromJson(recorded::Bytes(kDeland))["features"][0]["properties"]["description"]
                                   .toString();
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
        QTest::newRow("no VTEC: an update listed before its alert") << QStringList{"b:Severe::a", "a:Severe"}
            << none << "Moderate" << QStringList{"https://api.weather.gov/alerts/b", "", "",
                                                 "https://api.weather.gov/alerts/b Severe 0"};
        QTest::newRow("no VTEC, no such reference: its own id") << QStringList{"b:Severe::x"}
            << QStringList{"K1:Severe:7:a"} << "Moderate"
            << QStringList{"https://api.weather.gov/alerts/b", "", "7", "https://api.weather.gov/alerts/b Severe 0"};
        QTest::newRow("left the list; no id to close") << none << QStringList{"K1:Severe:7:a", "K2:Severe:0:b"}
            << "Minor" << QStringList{"", "", "7", ""};
        QTest::newRow("recorded update, by VTEC") << QStringList{"oregon"} << QStringList{"KPQR.FA.A.0004:Severe:31:x"}
            << "Minor" << QStringList{"", "", "", "KPQR.FA.A.0004 Severe 31"};
        QTest::newRow("recorded update, by references") << QStringList{"oregon without VTEC"}
            << QStringList{"k:Severe:31:NWS-IDP-PROD-3965155-3368578"} << "Minor" << QStringList{"", "", "", "k Severe 31"};
    }

    void plan()
    {
        QFETCH(QStringList, active);
        QFETCH(QStringList, notified);
        QFETCH(QString, minimum);
        QFETCH(QStringList, expect);
        if (active.value(0).startsWith("oregon"))
            recorded::StartTestCase();
        std::vector<Alert> alerts;
        for (const QString &fields : active)
            alerts.push_back(AlertOf(fields));
        std::vector<NotifiedEvent> before;
        for (const QString &fields : notified)
            before.push_back(EventOf(fields));
        const std::optional<Severity> least = minimum == u"Off" ? std::nullopt : std::optional(SeverityOf(minimum));
        // Kept across a restart first: the plan must not tell the difference. A recorded alert is planned when sent.
        const QDateTime now = alerts.empty() || !alerts[0].sent.isValid() ? kNow : alerts[0].sent;
        const NotificationPlan plan = PlanNotifications(alerts, ReadNotifiedEvents(NotifiedEventsText(before)), least, now);
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

    // The kept events read back as written; damaged, they are none.
    void keptEvents()
    {
        const QString good = NotifiedEventsText({{"K1", Severity::Severe, 7, kNow, {"a b\tc", "%41"}},
                                                 {"id with\nline", Severity::Unknown, 0, {}, {}}});
        QCOMPARE(ReadNotifiedEvents(good).size(), size_t(2));
        QCOMPARE(NotifiedEventsText(ReadNotifiedEvents(good)), good);
        for (const QString &damaged : {good.chopped(3), QString(good).replace("Severe", "Loud"), QString("35.9,-114.8\n")})
            QVERIFY(ReadNotifiedEvents(damaged).empty());
    }

    void setting_data()
    {
        QTest::addColumn<QString>("ini");
        QTest::addColumn<QString>("minimum");
        QTest::addColumn<QString>("problem");
        QTest::newRow("no file") << "" << "Moderate" << "";
        QTest::newRow("comments, spaces, CR LF, another section")
            << "[other]\r\nminimum-severity = Minor\r\n; minimum-severity = Off\r\n[ notifications ]\r\n# x\r\n"
               "  minimum-severity = extreme  \r\n" << "Extreme" << "";
        QTest::newRow("off") << "[notifications]\nminimum-severity=Off" << "Off" << "";
        QTest::newRow("a wrong value") << "[notifications]\nminimum-severity=Loud" << "Moderate"
            << "the value \"Loud\" of minimum-severity in [notifications] of /home/u/.config/selvorra/selvorra.conf "
               "is not one of Extreme, Severe, Moderate, Minor or Off";
    }

    void setting()
    {
        QFETCH(QString, ini);
        QFETCH(QString, minimum);
        QFETCH(QString, problem);
        const NotificationSetting s = ReadNotificationSetting(ini, "/home/u/.config/selvorra/selvorra.conf");
        QCOMPARE(s.minimum ? SeverityWord(*s.minimum) : QStringLiteral("Off"), minimum);
        QCOMPARE(s.problem, problem);
    }
};

QTEST_GUILESS_MAIN(AlertsTest)
#include "tst_alerts.moc"

#include "alerts/Alerts.h"

#include "common/DateValue.h"
#include "common/JsonReply.h"
#include "common/Text.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>

#include <algorithm>
#include <limits>

namespace {

constexpr qsizetype kIdMost = 512;
constexpr int kMostReferences = 100;
// A point's reply nests about eight levels; 200 alerts with their polygons
// hold a few thousand arrays and objects.
constexpr JsonBounds kAlertsBounds{kMostAlertsReply, 64, 100000, 0};

const char *const kSeverityWords[] = {"Unknown", "Minor", "Moderate", "Severe", "Extreme"};

QString Text(const QJsonObject &object, const char *key)
{
    return object.value(QLatin1String(key)).toString();
}

// "/O.CON.KMLB.FL.W.0007.000000T0000Z-000000T0000Z/" gives "KMLB.FL.W.0007";
// anything not of that form gives nothing.
QString VtecEventKey(const QString &vtec)
{
    constexpr qsizetype kLongestVtec = 64;
    const QString text = vtec.trimmed();
    if (text.size() > kLongestVtec || !text.startsWith(u'/'))
        return {};
    const QStringList parts = text.mid(1).split(u'.');
    const auto plain = [](const QString &part, qsizetype size, bool digits) {
        return part.size() == size && std::all_of(part.begin(), part.end(), [digits](QChar c) {
                   return c.unicode() < 0x80 && (digits ? c.isDigit() : c.isLetterOrNumber());
               });
    };
    if (parts.size() < 7 || !plain(parts[0], 1, false) || !plain(parts[1], 3, false) || !plain(parts[2], 4, false)
        || !plain(parts[3], 2, false) || !plain(parts[4], 1, false) || !plain(parts[5], 4, true))
        return {};
    return parts.mid(2, 4).join(u'.');
}

QStringList ReferencesOf(const QJsonObject &properties)
{
    QStringList ids;
    const QJsonArray references = properties.value(QLatin1String("references")).toArray();
    for (qsizetype i = 0; i < references.size() && ids.size() < kMostReferences; ++i) {
        const QJsonObject reference = references.at(i).toObject();
        QString id = SafeText(Text(reference, "identifier"), kIdMost);
        if (id.isEmpty())
            id = SafeText(Text(reference, "@id"), kIdMost);
        if (!id.isEmpty())
            ids << id;
    }
    return ids;
}

// The GeoJSON feature's properties; the JSON-LD form lists them bare.
QJsonObject PropertiesOf(const QJsonObject &feature)
{
    const QJsonValue properties = feature.value(QLatin1String("properties"));
    return properties.isObject() ? properties.toObject() : feature;
}

Alert AlertOf(const QJsonObject &feature, const QJsonObject &p)
{
    Alert alert;
    for (const QString &id : {Text(feature, "id"), Text(p, "@id"), Text(p, "id")})
        if (alert.id.isEmpty())
            alert.id = SafeText(id, kIdMost);
    alert.headline = SafeText(Text(p, "headline"), kAlertTextMost);
    alert.event = SafeText(Text(p, "event"), kAlertNameMost);
    if (alert.event.isEmpty())
        alert.event = alert.headline.isEmpty() ? QStringLiteral("Weather alert")
                                               : SafeText(alert.headline, kAlertNameMost);
    alert.description = SafeLines(Text(p, "description"), kAlertTextMost);
    alert.instruction = SafeLines(Text(p, "instruction"), kAlertTextMost);
    alert.areaDesc = SafeText(Text(p, "areaDesc"), kAlertTextMost);
    alert.sender = SafeText(Text(p, "senderName"), kAlertNameMost);
    alert.messageType = SafeText(Text(p, "messageType"), kAlertNameMost);
    alert.severity = SeverityOf(Text(p, "severity"));
    alert.urgency = SafeText(Text(p, "urgency"), kAlertNameMost);
    alert.certainty = SafeText(Text(p, "certainty"), kAlertNameMost);
    alert.sent = ReadIssueTime(Text(p, "sent"));
    alert.onset = ReadIssueTime(Text(p, "onset"));
    alert.ends = ReadIssueTime(Text(p, "ends"));
    alert.expires = ReadIssueTime(Text(p, "expires"));
    alert.references = ReferencesOf(p);
    const QJsonObject parameters = p.value(QLatin1String("parameters")).toObject();
    alert.vtecEvent = VtecEventKey(parameters.value(QLatin1String("VTEC")).toArray().at(0).toString());
    // Without an id of its own an alert is still one alert, and so is its key.
    if (alert.id.isEmpty())
        alert.id = alert.event + u' ' + alert.sent.toString(Qt::ISODate);
    return alert;
}

// Where an alert stands among those of the same severity.
qint64 StartOf(const Alert &alert)
{
    const QDateTime &start = alert.onset.isValid() ? alert.onset : alert.sent;
    return start.isValid() ? start.toMSecsSinceEpoch() : std::numeric_limits<qint64>::max();
}

} // namespace

QString SeverityWord(Severity severity)
{
    return QString::fromLatin1(kSeverityWords[static_cast<int>(severity)]);
}

Severity SeverityOf(const QString &word)
{
    for (int s = static_cast<int>(Severity::Extreme); s > 0; --s)
        if (word.compare(QLatin1String(kSeverityWords[s]), Qt::CaseInsensitive) == 0)
            return static_cast<Severity>(s);
    return Severity::Unknown;
}

QDateTime Alert::End() const
{
    return ends.isValid() ? ends : expires;
}

std::optional<QString> AlertsQueryPath(const QString &latitude, const QString &longitude)
{
    const std::optional<QString> place = PlaceText(latitude, longitude);
    if (!place)
        return std::nullopt;
    return QStringLiteral("/alerts/active?point=") + *place;
}

Result<AlertsReply> ReadAlerts(const QString &reply)
{
    const Result<QJsonDocument> loaded = LoadJson(reply, kAlertsBounds);
    if (!loaded)
        return Result<AlertsReply>::FailureOf(loaded);
    const QJsonObject root = loaded.value.object();
    QJsonValue list = root.value(QLatin1String("features"));
    if (!list.isArray())
        list = root.value(QLatin1String("@graph"));
    if (!list.isArray()) {
        if (const std::optional<JsonProblem> problem = ProblemOf(loaded.value)) {
            AlertsReply partial;
            partial.problemStatus = problem->status;
            return Result<AlertsReply>::Failure(Outcome::Absent, QStringLiteral("problem"),
                                                QStringLiteral("the service answered: ") + problem->text, partial);
        }
        return Result<AlertsReply>::Failure(Outcome::Absent, QStringLiteral("no-features"),
                                            QStringLiteral("the reply holds no list of alerts"));
    }
    const QJsonArray features = list.toArray();
    AlertsReply read;
    read.updated = ReadIssueTime(Text(root, "updated"));
    for (qsizetype i = 0; i < std::min<qsizetype>(features.size(), kMostAlerts); ++i) {
        const QJsonObject feature = features.at(i).toObject();
        const QJsonObject properties = PropertiesOf(feature);
        const QJsonValue status = properties.value(QLatin1String("status"));
        if (!properties.isEmpty() && (status.isUndefined() || status.toString() == u"Actual"))
            read.alerts.push_back(AlertOf(feature, properties));
    }
    return Result<AlertsReply>::Of(std::move(read));
}

bool OutsideServiceArea(const Result<AlertsReply> &read)
{
    return read.rule == u"problem" && (read.value.problemStatus == 400 || read.value.problemStatus == 404);
}

std::vector<Alert> ActiveAlerts(const std::vector<Alert> &alerts, const QDateTime &now)
{
    std::vector<Alert> active;
    for (const Alert &alert : alerts) {
        const QDateTime end = alert.End();
        if ((!end.isValid() || end > now) && alert.messageType != u"Cancel")
            active.push_back(alert);
    }
    std::stable_sort(active.begin(), active.end(), [](const Alert &a, const Alert &b) {
        if (a.severity != b.severity)
            return a.severity > b.severity;
        return StartOf(a) < StartOf(b);
    });
    return active;
}

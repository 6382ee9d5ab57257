#include "alerts/AlertSource.h"

#include "common/JsonReply.h"

#include <QUrl>

namespace {

// The JSON API's list of the alerts in force at the place.
class ApiAlertsSource : public Source<AlertsFetch, AlertsAsk> {
public:
    Result<AlertsFetch> Ask(const AlertsAsk &ask, const net::Download &download, Attempt &attempt,
                            std::vector<KeepBody> &keep) override
    {
        const std::optional<QString> path = AlertsQueryPath(ask.place.latitude, ask.place.longitude);
        if (!path)
            return Result<AlertsFetch>::Failure(Outcome::NotLoaded, QStringLiteral("place"),
                                                QStringLiteral("the settings name no point it knows"));
        net::Request request = ApiRequest(ask.apiOrigin + *path, ask.apiOrigin);
        if (!ask.etag.isEmpty())
            request.headers.append("If-None-Match: " + ask.etag.toLatin1());
        if (!ask.lastModified.isEmpty())
            request.headers.append("If-Modified-Since: " + ask.lastModified.toLatin1());
        attempt.fetched = download(request);
        AlertsFetch fetch{attempt.fetched.NotModified(), {}, attempt.fetched.report.etag,
                          attempt.fetched.report.lastModified};
        if (fetch.notModified)
            return Result<AlertsFetch>::Of(fetch);
        // An error reply is read too: it may say the place is outside the area.
        const bool errorReply = attempt.fetched.report.failure == net::Failure::None && !attempt.fetched.body.isEmpty();
        if (!attempt.fetched.Answered() && !errorReply)
            return Result<AlertsFetch>::Failure(Outcome::Absent, QStringLiteral("not-answered"),
                                                net::NotAnsweredWords(attempt.fetched));
        const Result<AlertsReply> read = ReadAlerts(attempt.fetched.body);
        if (OutsideServiceArea(read))
            return Result<AlertsFetch>::Failure(Outcome::Absent, QStringLiteral("outside-area"), read.reason);
        if (!read || attempt.fetched.report.httpStatus >= 400) {
            const QString words = read ? net::NotAnsweredWords(attempt.fetched) : read.reason;
            return Result<AlertsFetch>::Failure(read ? Outcome::Absent : read.outcome,
                                                read ? QStringLiteral("not-answered") : read.rule, words);
        }
        fetch.reply = read.value;
        keep.push_back({kKeepAlerts, attempt.fetched.body});
        return Result<AlertsFetch>::Of(fetch);
    }

    QString Name(const AlertsAsk &ask) const override { return QUrl(ask.apiOrigin).host(); }
};

} // namespace

ChainOutcome<AlertsFetch> FetchAlerts(const AlertsAsk &ask, const net::Download &download)
{
    ApiAlertsSource api;
    return AskInTurn<AlertsFetch, AlertsAsk>({&api}, ask, download);
}

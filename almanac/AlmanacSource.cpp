#include "almanac/AlmanacSource.h"

#include "almanac/ComputedSky.h"

#include <QUrl>

namespace {

// The observatory: one query for the date, its reply read by `read`.
template <typename Value>
class ObservatorySource : public Source<Value, AlmanacAsk> {
public:
    using Read = Result<Value> (*)(const QString &);
    ObservatorySource(QString keepName, Read read) : keepName_(std::move(keepName)), read_(read) {}

    QString Name(const AlmanacAsk &ask) const override { return QUrl(ask.origin).host(); }

    Result<Value> Ask(const AlmanacAsk &ask, const net::Download &download, Attempt &attempt,
                      std::vector<KeepBody> &keep) override
    {
        const Place &p = ask.place;
        const QString query = AlmanacQuery(ask.origin, p.latitude, p.longitude, p.queryExtra, ask.date);
        return FetchAndRead<Value>(download, net::Request{query}, attempt, keep, keepName_, read_);
    }

private:
    QString keepName_;
    Read read_;
};

// The sky computed here for the place and date.
template <typename Value>
class ComputedSource : public Source<Value, AlmanacAsk> {
public:
    using Compute = std::optional<Value> (*)(const Place &, DateValue);
    explicit ComputedSource(Compute compute) : compute_(compute) {}

    QString Name(const AlmanacAsk &) const override { return kComputedSource; }

    Result<Value> Ask(const AlmanacAsk &ask, const net::Download &, Attempt &, std::vector<KeepBody> &) override
    {
        if (std::optional<Value> value = compute_(ask.place, ask.date))
            return Result<Value>::Of(*std::move(value));
        return Result<Value>::Failure(Outcome::Absent, QStringLiteral("nothing-computed"),
                                      QStringLiteral("the settings name no place to compute for"));
    }

private:
    Compute compute_;
};

std::optional<AlmanacTexts> ComputedDay(const Place &place, DateValue date)
{
    return ComputedAlmanacTexts(place, date);
}

std::optional<QString> ComputedRise(const Place &place, DateValue date)
{
    return ComputedMoonrise(place, date);
}

} // namespace

Result<AlmanacTexts> ReadAlmanac(const QString &reply)
{
    return ScanAlmanacReply(reply);
}

Result<QString> ReadMoonrise(const QString &reply)
{
    // A reply without any sun/moon marker is no sun/moon reply; one without
    // a moonrise says the moon does not rise that day.
    const Result<AlmanacTexts> day = ScanAlmanacReply(reply);
    if (day.outcome == Outcome::Absent)
        return Result<QString>::FailureOf(day);
    return ScanTomorrowMoonrise(reply);
}

ChainOutcome<AlmanacTexts> FetchAlmanac(const AlmanacAsk &ask, const net::Download &download)
{
    ObservatorySource<AlmanacTexts> observatory(kKeepAlmanac, ReadAlmanac);
    ComputedSource<AlmanacTexts> computed(ComputedDay);
    return AskInTurn<AlmanacTexts, AlmanacAsk>({&observatory, &computed}, ask, download);
}

ChainOutcome<QString> FetchMoonrise(const AlmanacAsk &ask, const net::Download &download)
{
    ObservatorySource<QString> observatory(kKeepTomorrow, ReadMoonrise);
    ComputedSource<QString> computed(ComputedRise);
    return AskInTurn<QString, AlmanacAsk>({&observatory, &computed}, ask, download);
}

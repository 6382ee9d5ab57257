#pragma once

#include "common/Fetched.h"
#include "common/Result.h"

#include <QString>

#include <functional>
#include <utility>
#include <vector>

// Interchangeable sources of one kind of data, asked in their order until
// one gives it: the forecast page, then the weather service's JSON API; the
// observatory, then the sky computed here. Each source asks through the
// download it is given and reads what comes back; none touches the window,
// the form state or another chain, so a chain's outcome is all the window
// logic applies.

namespace net {
// A fetch as a chain makes it: the platform's download, or a test's.
using Download = std::function<Fetched(const Request &)>;
}

// What one source that gave nothing came to: its name, the report of the
// fetch that ended it (empty for a source that fetches nothing), and why,
// as its result's outcome, rule and reason.
struct Attempt {
    QString source;
    net::Fetched fetched;   // its body is kept only when the reply arrived but could not be used
    Outcome outcome = Outcome::Failed;
    QString rule;
    QString reason;
};

// A reply worth keeping for the next start, under its name in the cache.
struct KeepBody {
    QString name;
    QString body;
};

template <typename Value>
struct ChainOutcome {
    Result<Value> value;          // Done: what the first source that gave anything gave
    QString source;               // that source's name
    std::vector<Attempt> failed;  // each source before it (or every source) that gave nothing, in order
    std::vector<KeepBody> keep;   // what the sources fetched that is worth keeping
    bool cancelled = false;       // the window closed during a fetch: nothing more was asked
};

template <typename Value, typename Query>
class Source {
public:
    virtual ~Source() = default;
    virtual QString Name(const Query &query) const = 0;
    // Asks the source. A failure fills `attempt` (its fetch, when it made
    // one); replies worth keeping go to `keep`.
    virtual Result<Value> Ask(const Query &query, const net::Download &download, Attempt &attempt,
                              std::vector<KeepBody> &keep) = 0;
    // Whether the next source is asked after this failure.
    virtual bool PassesOn(const Result<Value> &) const { return true; }
};

// The usual way of a source: one request, its reply read by `read`. A fetch
// that did not answer passes on (Absent); a reply read well is kept under
// `keepName`.
template <typename Value, typename Read>
Result<Value> FetchAndRead(const net::Download &download, const net::Request &request, Attempt &attempt,
                           std::vector<KeepBody> &keep, const QString &keepName, const Read &read)
{
    attempt.fetched = download(request);
    if (!attempt.fetched.Answered())
        return Result<Value>::Failure(Outcome::Absent, QStringLiteral("not-answered"), net::NotAnsweredWords(attempt.fetched));
    Result<Value> value = read(attempt.fetched.body);
    if (value)
        keep.push_back({keepName, attempt.fetched.body});
    return value;
}

// Asks `sources` in turn for `query` until one gives its value, a failure
// does not pass on, or a fetch was cancelled.
template <typename Value, typename Query>
ChainOutcome<Value> AskInTurn(const std::vector<Source<Value, Query> *> &sources, const Query &query,
                              const net::Download &download)
{
    ChainOutcome<Value> outcome;
    for (Source<Value, Query> *source : sources) {
        Attempt attempt;
        attempt.source = source->Name(query);
        Result<Value> result = source->Ask(query, download, attempt, outcome.keep);
        if (result) {
            outcome.value = std::move(result);
            outcome.source = attempt.source;
            return outcome;
        }
        attempt.outcome = result.outcome;
        attempt.rule = result.rule;
        attempt.reason = result.reason;
        const bool passesOn = source->PassesOn(result);
        outcome.value = std::move(result);
        outcome.cancelled = attempt.fetched.report.failure == net::Failure::Cancelled;
        outcome.failed.push_back(std::move(attempt));
        if (outcome.cancelled || !passesOn)
            break;
    }
    return outcome;
}

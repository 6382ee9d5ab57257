#include "cache/KeptReplies.h"

namespace {

constexpr qint64 kJitterSeconds = 5 * 60;

struct Rule {
    const char *name;
    qint64 mostAgeSeconds;   // 0: any age
    bool dated;              // kept for a local date, not only a place
};

constexpr Rule kRules[] = {
    {"forecast", 48 * 3600, false},
    {"points", 7 * 86400, false},
    {"station", 7 * 86400, false},
    {"almanac", 0, true},
    {"tomorrow", 0, true},
    {"hourly", 48 * 3600, false},
    {"hourly-api", 48 * 3600, false},
    // The alerts show until each one's own end, so their reply has no age
    // of its own; nor have its validators and the events notified.
    {"alerts", 0, false},
    {"alerts-validators", 0, false},
    {"notified", 0, false},
};

Rule RuleOf(const QString &name)
{
    for (const Rule &rule : kRules)
        if (name == QLatin1String(rule.name))
            return rule;
    return {nullptr, 0, false};
}

} // namespace

QString KeptReplies::KeyOf(const QString &name, DateValue date) const
{
    return RuleOf(name).dated ? place_.Key() + QLatin1Char('|') + FormatIsoDate(date) : place_.Key();
}

void KeptReplies::Keep(const QString &name, const QString &body, const QDateTime &fetchedUtc, DateValue date) const
{
    StoreCachedReply(folder_, name, KeyOf(name, date), fetchedUtc, body, kMostBytes);
}

std::optional<CachedReply> KeptReplies::Load(const QString &name, const QDateTime &nowUtc, DateValue date) const
{
    std::optional<CachedReply> kept = LoadCachedReply(folder_, name, KeyOf(name, date), kMostBytes);
    if (!kept)
        return std::nullopt;
    const qint64 age = kept->fetchedUtc.secsTo(nowUtc);
    const qint64 most = RuleOf(name).mostAgeSeconds;
    if (age < -kJitterSeconds || (most > 0 && age > most))
        return std::nullopt;
    return kept;
}

#pragma once

#include "almanac/Almanac.h"
#include "common/DateValue.h"
#include "common/Place.h"
#include "common/SourceChain.h"

#include <QString>

// Where a day's sun and moon values come from: the Naval Observatory, then
// the sky computed here by its rules. The same for tomorrow's moonrise. The
// chain fetches and reads; the window logic applies the outcome.

struct AlmanacAsk {
    Place place;
    QString origin;   // the observatory, e.g. "https://aa.usno.navy.mil"
    DateValue date = 0;   // the local date the values are for (its time of day is ignored)
};

// The source name of values computed here.
inline const QString kComputedSource = QStringLiteral("computed");

// Names of the replies the chains hand back to keep.
inline const QString kKeepAlmanac = QStringLiteral("almanac");
inline const QString kKeepTomorrow = QStringLiteral("tomorrow");

// The day's texts: the observatory's reply as its scan reads it, else the
// values computed here (source kComputedSource).
ChainOutcome<AlmanacTexts> FetchAlmanac(const AlmanacAsk &ask, const net::Download &download);

// The day's first moonrise (" h:mm AM", empty when the moon does not rise
// that day): the observatory's, else the one computed here.
ChainOutcome<QString> FetchMoonrise(const AlmanacAsk &ask, const net::Download &download);

// The observatory's reply for the day, as read by the chain: a reply kept
// from an earlier run goes through the same reading as a live one.
Result<AlmanacTexts> ReadAlmanac(const QString &reply);
Result<QString> ReadMoonrise(const QString &reply);

#pragma once

#include "common/DateValue.h"

// When each refresh is due, counted in calendar boundaries (minute starts,
// hour starts, midnights) from the time stored before its last try:
//   - the forecast when 30 minute boundaries have passed;
//   - the sun and moon when 8 hour boundaries or a midnight have passed.
// A refresh that failed is tried again after 1, 2, 4, 8, 16, then every 30
// minutes, counted from the failed try; the first success puts it back on
// its ordinary count. A count that is negative (the clock set back behind
// the stored time) makes the refresh due at once: waiting for the old time
// to come round again could take hours or days.
//   - the alerts on every minute's tick; a place outside the service's area
//     at most once an hour (Hold).
class Schedule {
public:
    enum class Kind { Forecast, Almanac, Alerts };

    explicit Schedule(Kind kind) : kind_(kind) {}

    // Due at `now`, the last try having been stored at `lastTry`.
    bool Due(DateValue lastTry, DateValue now) const;
    // The try at `now` failed, or went through.
    void Failed(DateValue now);
    void Succeeded();
    // Not due again until `minutes` minute boundaries after `now`, unless a
    // failure or a success comes first.
    void Hold(DateValue now, int minutes);
    int Failures() const { return failures_; }

private:
    Kind kind_;
    int failures_ = 0;          // failed tries since the last success
    DateValue lastFailure_ = 0;
    int holdMinutes_ = 0;
    DateValue heldSince_ = 0;
};

// Minutes to wait after `failures` failed tries in a row: 1, 2, 4, 8, 16,
// then 30 for as long as the service stays away.
int RetryWaitMinutes(int failures);

// A new local day has begun between `then` and `now` (either way): values of
// "today" and "tomorrow" made at `then` no longer name the right days.
bool NewDay(DateValue then, DateValue now);

#include "schedule/Schedule.h"

namespace {

bool Reached(long long count, long long threshold)
{
    return count >= threshold || count < 0;
}

} // namespace

int RetryWaitMinutes(int failures)
{
    if (failures <= 0)
        return 0;
    if (failures > 5)
        return 30;
    return 1 << (failures - 1);
}

bool Schedule::Due(DateValue lastTry, DateValue now) const
{
    if (holdMinutes_ > 0)
        return Reached(MinuteBoundaries(heldSince_, now), holdMinutes_);
    if (failures_ > 0) {
        const bool retry = Reached(MinuteBoundaries(lastFailure_, now), RetryWaitMinutes(failures_));
        // The sun and moon of a new day are due at its start, whatever the wait.
        return retry || (kind_ == Kind::Almanac && Reached(DayBoundaries(lastFailure_, now), 1));
    }
    if (kind_ == Kind::Forecast)
        return Reached(MinuteBoundaries(lastTry, now), 30);
    if (kind_ == Kind::Alerts)
        return Reached(MinuteBoundaries(lastTry, now), 1);
    return Reached(HourBoundaries(lastTry, now), 8) || Reached(DayBoundaries(lastTry, now), 1);
}

void Schedule::Failed(DateValue now)
{
    holdMinutes_ = 0;
    ++failures_;
    lastFailure_ = now;
}

void Schedule::Succeeded()
{
    holdMinutes_ = 0;
    failures_ = 0;
}

void Schedule::Hold(DateValue now, int minutes)
{
    failures_ = 0;
    holdMinutes_ = minutes;
    heldSince_ = now;
}

bool NewDay(DateValue then, DateValue now)
{
    return DatePart(then) != DatePart(now);
}

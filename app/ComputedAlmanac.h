#pragma once

#include "almanac/Almanac.h"
#include "common/DateValue.h"
#include "startup/FormState.h"

#include <QString>

#include <optional>

// The sun and moon values worked out here for the place in the settings,
// for when the observatory gives none. They reach the window through the
// same scan and composition as the observatory's reply, so they read alike.

// The UTC offset the observatory's query asks for: the "tz=" term of the
// query text (0 without one), plus an hour on dates in US daylight time,
// because the query says dst=true.
double QueryUtcOffset(const QString &queryExtra, DateValue date);

// A reply in the observatory's own layout holding the computed values for
// the local date of `date`; nothing when the settings do not name a place.
std::optional<QString> ComputedAlmanacReply(const FormState &state, DateValue date);

// Today's texts and tomorrow's moonrise (" h:mm AM (computed)"), computed.
std::optional<AlmanacTexts> ComputedAlmanacTexts(const FormState &state, DateValue now);
std::optional<QString> ComputedMoonriseTomorrow(const FormState &state, DateValue now);

// The visible mark of computed values: on the phase line and in the title.
inline const QString kComputedMark = QStringLiteral(" (computed)");
void MarkComputed(AlmanacComposition &composition);

#pragma once

#include "almanac/Almanac.h"
#include "common/DateValue.h"
#include "common/Place.h"

#include <QLocale>
#include <QString>

#include <optional>

// The sun and moon values worked out here for the place in the settings, for
// when the observatory gives none. They fill the same values its reply is
// read into, as its scan would leave them, so both reach the window through
// one composition and read alike.

// The UTC offset the observatory's query asks for: the "tz=" term of the
// query text (0 without one), plus an hour on dates in US daylight time,
// because the query says dst=true.
double QueryUtcOffset(const QString &queryExtra, DateValue date);

// The values for the local date of `date`: the last rise and set of each
// body that day (" h:mm AM", empty when there is none), the illumination
// ("23%") and the phase's first word ("WAXing" for a waxing moon). Nothing
// when the settings do not name a place.
std::optional<AlmanacTexts> ComputedAlmanacTexts(const Place &place, DateValue date,
                                                 const QLocale &locale = QLocale::system());

// The first moonrise of the local date of `date`, empty when the moon does
// not rise that day; nothing when the settings name no place.
std::optional<QString> ComputedMoonrise(const Place &place, DateValue date, const QLocale &locale = QLocale::system());

// The visible mark of computed values: on the phase line, in the title and
// in the moonrise row.
inline const QString kComputedMark = QStringLiteral(" (computed)");
void MarkComputed(AlmanacComposition &composition);

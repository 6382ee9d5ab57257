#pragma once

#include "common/DateValue.h"
#include "common/Result.h"

#include <QLocale>
#include <QString>


// The sun/moon refresh in plain functions: query, reply scan, composition.

inline const QString kAlmanacOrigin = QStringLiteral("https://aa.usno.navy.mil");

// origin + "/api/rstt/oneday?date=YYYY-MM-DD &coords=" + latitude + ", " +
// longitude + "&" + queryExtra + " &dst=true", then every "YYYY-MM-DD"
// replaced by `date` formatted "yyyy-mm-dd". Nothing is escaped here.
QString AlmanacQuery(const QString &origin, const QString &latitude, const QString &longitude,
                     const QString &queryExtra, DateValue date);

// The same query for the day after `now`: tomorrow's moonrise.
QString TomorrowQuery(const QString &origin, const QString &latitude, const QString &longitude,
                      const QString &queryExtra, DateValue now);

struct AlmanacTexts {
    QString phaseWord;
    QString illuminationText;
    QString sunriseTime;
    QString sunsetTime;
    QString moonriseTime;
    QString moonsetTime;
    bool operator==(const AlmanacTexts &) const = default;
};

// The reply scan. A time text after a rise or set marker that cannot be read
// as a 24-hour hh:mm, or a reply cut short after a time, fails the scan; a
// reply that holds none of the markers the scan looks for (an error page, the
// service's error object) is Absent. Either way the caller keeps everything
// it had.
Result<AlmanacTexts> ScanAlmanacReply(const QString &reply, const QLocale &locale = QLocale::system());

struct AlmanacComposition {
    QString text;  // five lines, each ending in CR LF
    QString title; // " Moon " phase, illumination, sunrise, sunset
};

AlmanacComposition ComposeAlmanac(const AlmanacTexts &texts);

// The moon picture (1-8) for the illumination's leading number rounded half
// to even into 16 bits and whether the phase word is exactly "WAXing". A
// number outside 16 bits fails.
Result<int> MoonImageNumber(const QString &illuminationText, const QString &phaseWord);

// Tomorrow's moonrise: the first rise before "sundata:", formatted
// " h:mm AMPM"; empty when there is none. An unreadable time (also the
// sun's, read before it is dropped) fails the scan.
Result<QString> ScanTomorrowMoonrise(const QString &reply, const QLocale &locale = QLocale::system());

#include "almanac/Almanac.h"

#include "common/Checked16.h"
#include "common/Text.h"

#include <QStringView>

#include <algorithm>
#include <array>
#include <optional>

// The sun/moon reply is read by plain text search, never as JSON: quotation
// marks are removed, the text is cut at every comma, and each piece is tested
// for a few marker strings. Piece 0 (the text before the first comma) is never
// examined.

namespace {

const QString kDatePlaceholder = QStringLiteral("YYYY-MM-DD");

// The reply as the scans read it: its quotation marks removed, cut at every
// comma.
class Pieces {
public:
    explicit Pieces(const QString &reply) : text_(reply) { text_.remove(QLatin1Char('"')); }

    QStringView First() const
    {
        const QStringView all(text_);
        const qsizetype comma = all.indexOf(u',');
        return comma < 0 ? all : all.left(comma);
    }

    // Calls `examine(piece, isLast)` for pieces 1 to the last, in order,
    // until it returns false. The pieces are views into the one copy, so a
    // flood of commas costs no list. Pieces shorter than `shortestMarker`
    // cannot hold any marker a scan looks for and are passed over, so a
    // flood of empty pieces costs little.
    template <typename Examine>
    void ForEach(qsizetype shortestMarker, Examine examine) const
    {
        const QStringView all(text_);
        qsizetype start = all.indexOf(u',');   // piece 0 ends here
        while (start >= 0) {
            ++start;
            const qsizetype end = all.indexOf(u',', start);
            const bool last = end < 0;
            const qsizetype length = (last ? all.size() : end) - start;
            if (length >= shortestMarker && !examine(all.mid(start, length), last))
                return;
            start = end;
        }
    }

private:
    QString text_;
};

// What the scan of today's reply looks for. A reply that holds none of them
// anywhere, not even in piece 0, is no sun/moon reply at all: an error page
// or the service's error object.
constexpr std::array<QStringView, 6> kTodayMarkers = {u"curphase", u"fracil", u"Set", u"Rise", u"time:",
                                                       u"sundata:"};

bool HoldsTodayMarker(QStringView text)
{
    return std::any_of(kTodayMarkers.begin(), kTodayMarkers.end(),
                       [text](QStringView marker) { return text.contains(marker); });
}

// The value of a piece: everything after its first ":" and the one character
// (the space) that follows it, line breaks and closing brackets included.
// A piece without ":" gives the piece from its second character on.
QStringView PieceValue(QStringView piece)
{
    return piece.mid(piece.indexOf(u':') + 2);
}

// The value up to its first space. Where the value holds no space (a value
// that a comma follows directly, as the closest phase's time does) the whole
// value is the text; for a time at the very end see TimeTextOf.
QStringView UpToFirstSpace(QStringView value)
{
    const qsizetype space = value.indexOf(u' ');
    return space < 0 ? value : value.left(space);
}

// The time text of a piece that holds "time:". A value without a space is
// taken whole (a time that a comma follows directly, as the closest phase's
// does), but not in the reply's last piece: a reply that ends right after a
// time value was cut short, so the scan fails and the caller keeps what it
// had rather than showing the times of half a reply.
QString TimeTextOf(QStringView piece, bool lastPiece)
{
    const QStringView value = PieceValue(piece);
    if (lastPiece && !value.contains(u' '))
        throw RuleError(QStringLiteral("cut-short"),
                        QStringLiteral("Sun/moon reply ends right after the time %1: the reply was cut short")
                            .arg(QuotedForMessage(value.trimmed().toString())));
    return UpToFirstSpace(value).toString();
}

// A cut time text read as a 24-hour hh:mm and formatted " h:mm AMPM".
QString TakeTime(const QString &timeText, const QLocale &locale)
{
    int hour = 0;
    int minute = 0;
    if (!ParseClockTime(timeText, &hour, &minute))
        throw RuleError(
            QStringLiteral("time"),
            QStringLiteral("Sun/moon reply: the time %1 of a rise or set entry is not a 24-hour hh:mm time")
                .arg(QuotedForMessage(timeText.trimmed())));
    return FormatShortTime(hour, minute, locale);
}

// The scans and the picture choice stop with the run-time error on what
// they cannot read; the public functions turn it into a failed result.
// What both scans do after a rise or set marker: the first time that follows
// is the marker's; the closest phase's, a transit's or a twilight's time
// finds nothing pending. Whether a time belongs to the sun is known from the
// "sundata:" marker.
struct MarkerTime {
    bool pending = false;
    bool inSunData = false;

    // The formatted time this piece gives the pending marker, if any.
    std::optional<QString> Take(QStringView piece, bool last, const QLocale &locale)
    {
        QString timeText;
        const bool timeInPiece = piece.contains(u"time:");
        if (timeInPiece)
            timeText = TimeTextOf(piece, last);
        if (piece.contains(u"sundata:"))
            inSunData = true;
        if (!pending || !timeInPiece)
            return std::nullopt;
        pending = false;
        return TakeTime(timeText, locale);
    }
};

// The scan of today's reply; `markerSeen` tells whether any of its markers
// occurs in the reply.
AlmanacTexts ScanToday(const QString &reply, const QLocale &locale, bool &markerSeen)
{
    AlmanacTexts texts;
    bool setSeen = false;
    bool riseSeen = false;
    MarkerTime time;

    const Pieces pieces(reply);
    markerSeen = HoldsTodayMarker(pieces.First());
    // The shortest marker is "Set".
    pieces.ForEach(3, [&](QStringView piece, bool last) {
        if (!markerSeen)
            markerSeen = HoldsTodayMarker(piece);
        if (piece.contains(u"curphase")) {
            QString word = UpToFirstSpace(PieceValue(piece)).toString();
            // A waxing phase then reads "WAXing", the one word the picture
            // choice treats as waxing.
            word.replace(QStringLiteral("ax"), QStringLiteral("AX"), Qt::CaseSensitive);
            texts.phaseWord = word;
        }
        if (piece.contains(u"fracil"))
            texts.illuminationText = UpToFirstSpace(PieceValue(piece)).toString();
        if (piece.contains(u"Set")) {
            setSeen = true;
            time.pending = true;
            riseSeen = false;
        }
        // After the set test, so a piece holding both markers counts as a rise.
        if (piece.contains(u"Rise")) {
            riseSeen = true;
            time.pending = true;
            setSeen = false;
        }
        if (const std::optional<QString> formatted = time.Take(piece, last, locale)) {
            QString &set = time.inSunData ? texts.sunsetTime : texts.moonsetTime;
            QString &rise = time.inSunData ? texts.sunriseTime : texts.moonriseTime;
            if (setSeen)
                set = *formatted;
            if (riseSeen)
                rise = *formatted;
        }
        return true;
    });
    return texts;
}

int ImageFor(const QString &illuminationText, const QString &phaseWord)
{
    const int percent = RoundHalfEven16(LeadingNumber(illuminationText));
    const bool waxing = phaseWord == QStringLiteral("WAXing");
    if (percent <= 10)
        return 1; // new moon
    if (percent < 40)
        return waxing ? 2 : 8; // crescent
    if (percent <= 60)
        return waxing ? 3 : 7; // quarter
    if (percent < 90)
        return waxing ? 4 : 6; // gibbous
    return 5; // full moon
}

QString ScanTomorrow(const QString &reply, const QLocale &locale)
{
    // Only a rise makes a time pending, so the moon's set and transit entries
    // change nothing, whatever their order.
    bool riseSeen = false;
    MarkerTime time;
    QString moonrise;
    // The shortest marker is "Rise".
    Pieces(reply).ForEach(4, [&](QStringView piece, bool last) {
        if (piece.contains(u"Rise")) {
            riseSeen = true;
            time.pending = true;
        }
        // The sun's rise is read too (an unreadable one is an error) and then
        // dropped: only a rise before the sun's list is the moon's.
        const std::optional<QString> formatted = time.Take(piece, last, locale);
        if (formatted && !time.inSunData && riseSeen) {
            moonrise = *formatted;
            return false;
        }
        return true;
    });
    return moonrise;
}

} // namespace

QString AlmanacQuery(const QString &origin, const QString &latitude, const QString &longitude,
                     const QString &queryExtra, DateValue date)
{
    QString url = origin + QStringLiteral("/api/rstt/oneday?date=YYYY-MM-DD &coords=") + latitude
        + QStringLiteral(", ") + longitude + QStringLiteral("&") + queryExtra
        + QStringLiteral(" &dst=true");
    url.replace(kDatePlaceholder, FormatIsoDate(date), Qt::CaseSensitive);
    return url;
}

QString TomorrowQuery(const QString &origin, const QString &latitude, const QString &longitude,
                      const QString &queryExtra, DateValue now)
{
    return AlmanacQuery(origin, latitude, longitude, queryExtra, now + 1);
}

AlmanacComposition ComposeAlmanac(const AlmanacTexts &texts)
{
    const QString lineEnd = QStringLiteral("\r\n");
    AlmanacComposition out;
    out.text = QStringLiteral("Sunrise: ") + texts.sunriseTime + lineEnd
        + QStringLiteral("Sunset: ") + texts.sunsetTime + lineEnd
        + QStringLiteral("Moonrise: ") + texts.moonriseTime + lineEnd
        + QStringLiteral("Moonset: ") + texts.moonsetTime + lineEnd + texts.phaseWord
        + QStringLiteral(" ") + texts.illuminationText + QStringLiteral(" visible") + lineEnd;
    out.title = QStringLiteral(" Moon ") + texts.phaseWord + QStringLiteral(" ")
        + texts.illuminationText + QStringLiteral(" Sunrise: ") + texts.sunriseTime
        + QStringLiteral("  Sunset: ") + texts.sunsetTime;
    return out;
}

Result<AlmanacTexts> ScanAlmanacReply(const QString &reply, const QLocale &locale)
{
    bool markerSeen = false;
    Result<AlmanacTexts> scan = RunStage([&] { return ScanToday(reply, locale, markerSeen); });
    if (scan && !markerSeen)
        return Result<AlmanacTexts>::Failure(Outcome::Absent, QStringLiteral("no-markers"),
                                             QStringLiteral("the reply holds none of the sun/moon markers"), scan.value);
    return scan;
}

Result<int> MoonImageNumber(const QString &illuminationText, const QString &phaseWord)
{
    return RunStage([&] { return ImageFor(illuminationText, phaseWord); });
}

Result<QString> ScanTomorrowMoonrise(const QString &reply, const QLocale &locale)
{
    return RunStage([&] { return ScanTomorrow(reply, locale); });
}

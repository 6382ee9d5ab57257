#include "almanac/Almanac.h"

#include "common/RuntimeError.h"
#include "common/Text.h"

#include <QStringList>

// The sun/moon reply is read by plain text search, never as JSON: quotation
// marks are removed, the text is cut at every comma, and each piece is tested
// for a few marker strings. Piece 0 (the text before the first comma) is never
// examined.

namespace {

const QString kDatePlaceholder = QStringLiteral("YYYY-MM-DD");

// The reply's pieces, quotation marks removed. An empty reply gives none.
QStringList ReplyPieces(const QString &reply)
{
    QString text = reply;
    text.remove(QLatin1Char('"'));
    return SplitText(text, QStringLiteral(","));
}

// The value of a piece: everything after its first ":" and the one character
// (the space) that follows it, line breaks and closing brackets included.
// A piece without ":" gives the piece from its second character on.
QString PieceValue(const QString &piece)
{
    const int colon = InStr(piece, QStringLiteral(":"));
    return piece.mid(colon + 1);
}

// The value up to its first space. Where the value holds no space (a value
// that a comma follows directly, as the closest phase's time does) the whole
// value is the text; for a time at the very end see TimeTextOf.
QString UpToFirstSpace(const QString &value)
{
    const int space = InStr(value, QStringLiteral(" "));
    return space == 0 ? value : value.left(space - 1);
}

// The time text of a piece that holds "time:". A value without a space is
// taken whole (a time that a comma follows directly, as the closest phase's
// does), but not in the reply's last piece: a reply that ends right after a
// time value was cut short, so the scan fails and the caller keeps what it
// had rather than showing the times of half a reply.
QString TimeTextOf(const QString &piece, bool lastPiece)
{
    const QString value = PieceValue(piece);
    if (lastPiece && InStr(value, QStringLiteral(" ")) == 0)
        throw RuntimeError(
            QStringLiteral("Sun/moon reply ends right after the time \"%1\": the reply was cut short")
                .arg(value.trimmed()));
    return UpToFirstSpace(value);
}

// A cut time text read as a 24-hour hh:mm and formatted " h:mm AMPM".
QString TakeTime(const QString &timeText, const QLocale &locale)
{
    int hour = 0;
    int minute = 0;
    if (!ParseClockTime(timeText, &hour, &minute))
        throw RuntimeError(
            QStringLiteral("Sun/moon reply: the time \"%1\" of a rise or set entry is not a "
                           "24-hour hh:mm time")
                .arg(timeText.trimmed()));
    return FormatShortTime(hour, minute, locale);
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

AlmanacTexts ScanAlmanacReply(const QString &reply, const QLocale &locale)
{
    AlmanacTexts texts;
    bool setSeen = false;
    bool riseSeen = false;
    bool timePending = false;
    bool inSunData = false;
    QString timeText;

    const QStringList pieces = ReplyPieces(reply);
    for (qsizetype i = 1; i < pieces.size(); ++i) {
        const QString &piece = pieces.at(i);
        bool timeInPiece = false;

        if (Contains(piece, QStringLiteral("curphase"))) {
            QString word = UpToFirstSpace(PieceValue(piece));
            // A waxing phase then reads "WAXing", the one word the picture
            // choice treats as waxing.
            word.replace(QStringLiteral("ax"), QStringLiteral("AX"), Qt::CaseSensitive);
            texts.phaseWord = word;
        }
        if (Contains(piece, QStringLiteral("fracil")))
            texts.illuminationText = UpToFirstSpace(PieceValue(piece));
        if (Contains(piece, QStringLiteral("Set"))) {
            setSeen = true;
            timePending = true;
            riseSeen = false;
        }
        // After the set test, so a piece holding both markers counts as a rise.
        if (Contains(piece, QStringLiteral("Rise"))) {
            riseSeen = true;
            timePending = true;
            setSeen = false;
        }
        if (Contains(piece, QStringLiteral("time:"))) {
            timeText = TimeTextOf(piece, i == pieces.size() - 1);
            timeInPiece = true;
        }
        if (Contains(piece, QStringLiteral("sundata:")))
            inSunData = true;

        // Only the first time after a marker belongs to it; the closest
        // phase's, a transit's or a twilight's time finds nothing pending.
        if (timePending && timeInPiece) {
            timePending = false;
            const QString formatted = TakeTime(timeText, locale);
            if (inSunData) {
                if (setSeen)
                    texts.sunsetTime = formatted;
                if (riseSeen)
                    texts.sunriseTime = formatted;
            } else {
                if (setSeen)
                    texts.moonsetTime = formatted;
                if (riseSeen)
                    texts.moonriseTime = formatted;
            }
        }
    }
    return texts;
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

int MoonImageNumber(const QString &illuminationText, const QString &phaseWord)
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

std::optional<QString> ScanTomorrowMoonrise(const QString &reply, const QLocale &locale)
{
    // Only a rise makes a time pending, so the moon's set and transit entries
    // change nothing, whatever their order.
    bool riseSeen = false;
    bool timePending = false;
    bool inSunData = false;
    QString timeText;

    const QStringList pieces = ReplyPieces(reply);
    for (qsizetype i = 1; i < pieces.size(); ++i) {
        const QString &piece = pieces.at(i);
        bool timeInPiece = false;

        if (Contains(piece, QStringLiteral("Rise"))) {
            riseSeen = true;
            timePending = true;
        }
        if (Contains(piece, QStringLiteral("time:"))) {
            timeText = TimeTextOf(piece, i == pieces.size() - 1);
            timeInPiece = true;
        }
        if (Contains(piece, QStringLiteral("sundata:")))
            inSunData = true;

        if (timePending && timeInPiece) {
            timePending = false;
            // The sun's rise is read too (an unreadable one is an error) and
            // then dropped: only a rise before the sun's list is the moon's.
            const QString formatted = TakeTime(timeText, locale);
            if (!inSunData && riseSeen)
                return formatted;
        }
    }
    return std::nullopt;
}

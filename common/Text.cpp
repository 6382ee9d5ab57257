#include "Text.h"

#include "RuntimeError.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <locale.h>

int InStr(const QString &haystack, const QString &needle, int start)
{
    if (start < 1)
        start = 1;
    const qsizetype at = haystack.indexOf(needle, start - 1, Qt::CaseSensitive);
    return at < 0 ? 0 : static_cast<int>(at + 1);
}

bool Contains(const QString &haystack, const QString &needle)
{
    return haystack.contains(needle, Qt::CaseSensitive);
}

QStringList SplitText(const QString &text, const QString &separator)
{
    if (text.isEmpty())
        return {};
    // No separator to split at: the whole text is the one part (splitting at
    // "" would cut it between every character).
    if (separator.isEmpty())
        return {text};
    return text.split(separator, Qt::KeepEmptyParts, Qt::CaseSensitive);
}

QString TrimSpaces(const QString &text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first) == u' ')
        ++first;
    while (last > first && text.at(last - 1) == u' ')
        --last;
    return text.mid(first, last - first);
}

QString QuotedForMessage(const QString &text)
{
    constexpr qsizetype kShown = 60;
    const QString shown = text.size() > kShown ? text.left(kShown) + QChar(0x2026) : text;
    return u'"' + shown + u'"';
}

namespace {

int DigitValue(char16_t c, int base)
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (base == 16 && c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (base == 16 && c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

} // namespace

DigitRun ReadDigits(QStringView text, qsizetype from, int base)
{
    DigitRun run;
    run.from = from;
    run.end = from;
    const qsizetype n = text.size();
    for (int digit = 0; run.end < n && (digit = DigitValue(text[run.end].unicode(), base)) >= 0; ++run.end)
        run.value = std::min(run.value * static_cast<unsigned>(base) + static_cast<unsigned>(digit), kDigitRunCap);
    return run;
}

double LeadingNumber(const QString &text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && (text.at(i) == u' ' || text.at(i) == u'\t'))
        ++i;
    const qsizetype start = i;
    if (i < n && (text.at(i) == u'+' || text.at(i) == u'-'))
        ++i;
    const DigitRun whole = ReadDigits(text, i);
    bool digits = !whole.empty();
    i = whole.end;
    if (i < n && text.at(i) == u'.') {
        const DigitRun fraction = ReadDigits(text, i + 1);
        digits = digits || !fraction.empty();
        i = fraction.end;
    }
    if (!digits)
        return 0.0;
    // An exponent counts only when at least one digit follows it.
    if (i < n && (text.at(i) == u'e' || text.at(i) == u'E')) {
        qsizetype j = i + 1;
        if (j < n && (text.at(j) == u'+' || text.at(j) == u'-'))
            ++j;
        const DigitRun exponent = ReadDigits(text, j);
        if (!exponent.empty())
            i = exponent.end;
    }
    // The program runs under the user's locale, whose decimal separator may be
    // a comma; numbers in files and replies always use a point.
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    return strtod_l(text.mid(start, i - start).toLatin1().constData(), nullptr, cLocale);
}

namespace {

// A character that never reaches the screen: controls, the two
// noncharacters of the basic plane, and the marks that would turn the
// direction of the text around them.
bool Unprintable(char16_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0xFFFE || c == 0xFFFF || (c >= 0x202A && c <= 0x202E)
        || (c >= 0x2066 && c <= 0x2069);
}

// Cuts `out` to at most `most` units, never between the halves of a pair.
void CutAt(QString &out, qsizetype most)
{
    if (out.size() <= most)
        return;
    qsizetype cut = most;
    if (QChar::isHighSurrogate(out.at(cut - 1).unicode()))
        --cut;
    out.truncate(cut);
}

} // namespace

QString SafeText(const QString &text, qsizetype most)
{
    if (most <= 0)
        return {};
    QString out;
    out.reserve(std::min(text.size(), most + 1));
    bool space = false; // white space seen since the last kept character
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n && out.size() <= most; ++i) {
        const char16_t c = text.at(i).unicode();
        const bool pair = QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(text.at(i + 1).unicode());
        if (!pair && QChar::isSpace(c)) {
            space = true;
            continue;
        }
        if (!pair && (QChar::isSurrogate(c) || Unprintable(c)))
            continue;
        if (space && !out.isEmpty())
            out += u' ';
        space = false;
        out += QChar(c);
        if (pair)
            out += text.at(++i);
    }
    CutAt(out, most);
    if (out.endsWith(u' '))
        out.chop(1);
    return out;
}

QString SafeLines(const QString &text, qsizetype most)
{
    if (most <= 0)
        return {};
    QString out;
    out.reserve(std::min(text.size(), most + 1));
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n && out.size() <= most; ++i) {
        const char16_t c = text.at(i).unicode();
        const bool pair = QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(text.at(i + 1).unicode());
        if (c == u'\r' || c == 0x2028 || c == 0x2029) {
            if (c == u'\r' && i + 1 < n && text.at(i + 1) == u'\n')
                ++i;
            out += u'\n';
        } else if (c == u'\n' || c == u'\t') {
            out += c == u'\t' ? u' ' : u'\n';
        } else if (pair) {
            out += QChar(c);
            out += text.at(++i);
        } else if (!QChar::isSurrogate(c) && !Unprintable(c)) {
            out += QChar(c);
        }
        // Nothing before the first printable character counts.
        if (out.size() == 1 && QChar::isSpace(out.at(0).unicode()))
            out.clear();
    }
    CutAt(out, most);
    qsizetype end = out.size();
    while (end > 0 && QChar::isSpace(out.at(end - 1).unicode()))
        --end;
    out.truncate(end);
    return out;
}

std::optional<QString> DegreesText(const QString &text, double most)
{
    bool ok = false;
    const double value = TrimSpaces(text).toDouble(&ok);
    if (!ok || !std::isfinite(value) || std::fabs(value) > most)
        return std::nullopt;
    const double rounded = std::round(value * 10000.0) / 10000.0;
    QString out = QString::number(rounded == 0.0 ? 0.0 : rounded, 'f', 4);
    while (out.endsWith(u'0'))
        out.chop(1);
    if (out.endsWith(u'.'))
        out.chop(1);
    return out;
}

std::optional<QString> PlaceText(const QString &latitude, const QString &longitude)
{
    const std::optional<QString> lat = DegreesText(latitude, 90.0);
    const std::optional<QString> lon = DegreesText(longitude, 180.0);
    if (!lat || !lon)
        return std::nullopt;
    return *lat + u',' + *lon;
}

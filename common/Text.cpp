#include "Text.h"

#include "RuntimeError.h"

#include <cmath>
#include <cstdlib>
#include <locale.h>
#include <string>

int InStr(const QString &haystack, const QString &needle, int start)
{
    if (start < 1)
        start = 1;
    const qsizetype at = haystack.indexOf(needle, start - 1, Qt::CaseSensitive);
    return at < 0 ? 0 : static_cast<int>(at + 1);
}

int16_t InStr16(const QString &haystack, const QString &needle)
{
    const qsizetype at = haystack.indexOf(needle, 0, Qt::CaseSensitive);
    if (at < 0)
        return 0;
    return CheckedInt16(static_cast<long long>(at) + 1, "text position");
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

double LeadingNumber(const QString &text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && (text.at(i) == u' ' || text.at(i) == u'\t'))
        ++i;
    std::string number;
    if (i < n && (text.at(i) == u'+' || text.at(i) == u'-'))
        number += static_cast<char>(text.at(i++).unicode());
    bool digits = false;
    while (i < n && text.at(i).unicode() >= '0' && text.at(i).unicode() <= '9') {
        number += static_cast<char>(text.at(i++).unicode());
        digits = true;
    }
    if (i < n && text.at(i) == u'.') {
        number += '.';
        ++i;
        while (i < n && text.at(i).unicode() >= '0' && text.at(i).unicode() <= '9') {
            number += static_cast<char>(text.at(i++).unicode());
            digits = true;
        }
    }
    if (!digits)
        return 0.0;
    // An exponent counts only when at least one digit follows it.
    if (i < n && (text.at(i) == u'e' || text.at(i) == u'E')) {
        qsizetype j = i + 1;
        std::string exponent = "e";
        if (j < n && (text.at(j) == u'+' || text.at(j) == u'-'))
            exponent += static_cast<char>(text.at(j++).unicode());
        bool expDigits = false;
        while (j < n && text.at(j).unicode() >= '0' && text.at(j).unicode() <= '9') {
            exponent += static_cast<char>(text.at(j++).unicode());
            expDigits = true;
        }
        if (expDigits)
            number += exponent;
    }
    // The program runs under the user's locale, whose decimal separator may be
    // a comma; numbers in files and replies always use a point.
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    return strtod_l(number.c_str(), nullptr, cLocale);
}

void ThrowOverflow(const QString &what)
{
    throw RuntimeError(what.isEmpty() ? QStringLiteral("Overflow")
                                      : QStringLiteral("Overflow: %1").arg(what));
}

void ThrowOutOfRange(const QString &what)
{
    throw RuntimeError(what.isEmpty() ? QStringLiteral("Subscript out of range")
                                      : QStringLiteral("Subscript out of range: %1").arg(what));
}

int16_t CheckedInt16(long long value, const char *what)
{
    if (value < -32768 || value > 32767)
        ThrowOverflow(what ? QStringLiteral("%1 %2 does not fit 16 bits")
                                 .arg(QString::fromLatin1(what))
                                 .arg(value)
                           : QString());
    return static_cast<int16_t>(value);
}

int16_t RoundHalfEven16(double value)
{
    if (std::isnan(value))
        ThrowOverflow(QStringLiteral("not a number"));
    const double rounded = std::nearbyint(value); // default mode: halves to even
    if (rounded < -32768.0 || rounded > 32767.0)
        ThrowOverflow(QStringLiteral("%1 does not fit 16 bits").arg(value));
    return static_cast<int16_t>(rounded);
}

const QString &FieldAt(const QStringList &fields, qsizetype index, const char *what)
{
    if (index < 0 || index >= fields.size())
        ThrowOutOfRange(QStringLiteral("%1 %2 of %3")
                            .arg(what ? QString::fromLatin1(what) : QStringLiteral("field"))
                            .arg(index)
                            .arg(fields.size()));
    return fields.at(index);
}

namespace {

// Characters 0x80 to 0x9F of Windows-1252; 0 marks the five unassigned bytes,
// which keep their own value (as the Windows conversion does).
constexpr char16_t kHigh[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

} // namespace

QString FromCp1252(const char *data, qsizetype size)
{
    QString out(size, Qt::Uninitialized);
    char16_t *dst = reinterpret_cast<char16_t *>(out.data());
    for (qsizetype i = 0; i < size; ++i) {
        const unsigned char byte = static_cast<unsigned char>(data[i]);
        if (byte >= 0x80 && byte <= 0x9F && kHigh[byte - 0x80] != 0)
            dst[i] = kHigh[byte - 0x80];
        else
            dst[i] = byte;
    }
    return out;
}

QString FromCp1252(const QByteArray &bytes)
{
    return FromCp1252(bytes.constData(), bytes.size());
}

QByteArray ToCp1252(const QString &text)
{
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        // A character outside the basic plane is one character: one "?".
        if (QChar::isHighSurrogate(c) && i + 1 < text.size()
            && QChar::isLowSurrogate(text.at(i + 1).unicode())) {
            out.append('?');
            ++i;
            continue;
        }
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            out.append(static_cast<char>(c));
            continue;
        }
        char mapped = '?';
        for (int k = 0; k < 32; ++k) {
            if (kHigh[k] == c || (kHigh[k] == 0 && c == 0x80 + k)) {
                mapped = static_cast<char>(0x80 + k);
                break;
            }
        }
        out.append(mapped);
    }
    return out;
}

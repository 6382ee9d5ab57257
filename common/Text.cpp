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

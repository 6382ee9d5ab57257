#include "Checked16.h"

#include "Result.h"

#include <cmath>

int16_t InStr16(const QString &haystack, const QString &needle)
{
    const qsizetype at = haystack.indexOf(needle, 0, Qt::CaseSensitive);
    if (at < 0)
        return 0;
    return CheckedInt16(static_cast<long long>(at) + 1, "text position");
}

void ThrowOverflow(const QString &what)
{
    throw RuleError(QStringLiteral("overflow"),
                    what.isEmpty() ? QStringLiteral("Overflow") : QStringLiteral("Overflow: %1").arg(what));
}

void ThrowOutOfRange(const QString &what)
{
    throw RuleError(QStringLiteral("subscript"), what.isEmpty() ? QStringLiteral("Subscript out of range")
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

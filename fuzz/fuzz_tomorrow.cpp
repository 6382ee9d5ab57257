// Tomorrow's moonrise scan of a sun/moon reply.
#include "FuzzInput.h"

#include "almanac/Almanac.h"

#include <QRegularExpression>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString reply = fuzzinput::Text(data, size);
    const QLocale &locale = fuzzinput::Locale(static_cast<int>(size));
    // An unreadable time fails the scan: the row keeps the last time found.
    const Result<QString> moonrise = ScanTomorrowMoonrise(reply, locale);
    // Always " h:mm" and a designator: the row shows nothing else.
    static const QRegularExpression shape(QStringLiteral("^ (1[0-2]|[1-9]):[0-5][0-9] \\S+$"));
    if (moonrise && !moonrise.value.isEmpty() && !shape.match(moonrise.value).hasMatch())
        fuzzinput::Fail("moonrise text", moonrise.value);
    return 0;
}

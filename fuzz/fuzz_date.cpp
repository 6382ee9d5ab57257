// Text to a date value, as the full-moon table is read, under three locales,
// and the formats the window shows the result in.
#include "FuzzInput.h"

#include "common/DateValue.h"
#include "common/RuntimeError.h"

#include <QRegularExpression>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = fuzzinput::Text(data, size);
    for (int l = 0; l < 3; ++l) {
        const QLocale &locale = fuzzinput::Locale(l);
        DateValue value = 0;
        try {
            value = ParseDateText(text, locale);
        } catch (const RuntimeError &error) {
            if (error.description().isEmpty())
                fuzzinput::Fail("date error without a description");
            continue;
        }
        // A date that was read is a real calendar date and shows as one; an
        // ISO date with a time comes back as the same date and time.
        const QDate date = ToQDate(value);
        if (!date.isValid())
            fuzzinput::Fail("date read but not a valid date", text);
        static const QRegularExpression iso(
            QStringLiteral("^\\s*(\\d{4}-\\d{2}-\\d{2}) (\\d{2}):(\\d{2})(?::(\\d{2}))?\\s*$"));
        if (const auto m = iso.match(text); m.hasMatch()) {
            const CivilDateTime c = ToCivil(value);
            if (FormatIsoDate(value) != m.captured(1) || c.hour != m.captured(2).toInt()
                || c.minute != m.captured(3).toInt() || c.second != m.captured(4).toInt())
                fuzzinput::Fail("ISO date and time read back differently", text);
        }
        (void)DatePart(value);
        (void)FormatLongDate(value, locale);
        (void)FormatIsoDate(value);
        (void)FormatClockTime(value, locale);
    }
    int hour = 0;
    int minute = 0;
    if (ParseClockTime(text, &hour, &minute) && (hour < 0 || hour > 23 || minute < 0 || minute > 59))
        fuzzinput::Fail("clock time out of range", text);
    return 0;
}

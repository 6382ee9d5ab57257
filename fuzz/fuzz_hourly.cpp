// The next hours: the digital forecast and the JSON API's hourly forecast,
// each read from the same input, to the table, the summary and the chart's
// line of one hour's values.
#include "FuzzInput.h"

#include "forecast/Hourly.h"

namespace {

void Check(const Result<HourlyForecast> &read, const char *refusal, const QLocale &locale)
{
    if (!read) {
        if (read.rule.isEmpty() || read.reason.isEmpty())
            fuzzinput::Fail(refusal);
        return;
    }
    const std::vector<HourValues> &hours = read.value.hours;
    if (hours.empty() || hours.size() > size_t(kMostHours))
        fuzzinput::Fail("hours past their bounds", QString::number(hours.size()));
    for (size_t i = 0; i < hours.size(); ++i) {
        if (!(hours[i].start < hours[i].end) || (i > 0 && hours[i - 1].end > hours[i].start))
            fuzzinput::Fail("hours out of order", hours[i].start.toString(Qt::ISODate));
        if (hours[i].weather.size() > 120)
            fuzzinput::Fail("weather words past their bound");
    }
    // Seen at the first hour's start, every hour is shown, up to a week.
    const QDateTime now = hours.front().start.toUTC();
    const std::vector<HourlyRow> rows = HourlyTable(read.value, now, locale);
    if (rows.size() != std::min(hours.size(), size_t(kMostTableRows)))
        fuzzinput::Fail("table rows", QString::number(rows.size()));
    for (const HourlyRow &row : rows)
        for (const QString &cell : row.cells)
            if (cell.size() > 120)
                fuzzinput::Fail("a table cell past its bound", cell.left(60));
    if (HourlySummary(read.value, now, locale).isEmpty() || HourDetails(hours.back(), locale).isEmpty())
        fuzzinput::Fail("an empty summary or hour line");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString reply = fuzzinput::Text(data, size);
    const QLocale &locale = fuzzinput::Locale(size > 0 ? data[0] : 0);
    Check(ReadDigitalForecast(reply), "a refused digital forecast without its rule and reason", locale);
    Check(MapApiHourly(reply), "a refused hourly forecast without its rule and reason", locale);
    return 0;
}

#include "forecast/Hourly.h"

#include "common/Text.h"
#include "forecast/ApiJson.h"
#include "forecast/Extraction.h"
#include "forecast/WellFormed.h"

#include <pugixml.hpp>

#include <QJsonArray>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <string>
#include <string_view>

namespace {

constexpr qsizetype kWeatherMost = 120;
constexpr qsizetype kWeatherWordMost = 40;   // one coverage, intensity or type ("slight chance")
constexpr qsizetype kWindTextMost = 40;      // "5 to 10 mph"
constexpr qsizetype kQuotedTimeMost = 40;
constexpr qint64 kHour = 3600;

using apijson::Refuse;

// A series of the digital forecast: its element and type, the hour's value
// it fills, and bounds beyond any weather on Earth (past them: a gap).
struct SeriesRule {
    const char *element;
    const char *type;
    std::optional<double> HourValues::*field;
    double lowest;
    double highest;
};

constexpr SeriesRule kSeries[] = {
    {"temperature", "hourly", &HourValues::temperature, -150, 200},
    {"temperature", "dew point", &HourValues::dewPoint, -150, 200},
    {"temperature", "wind chill", &HourValues::windChill, -150, 200},
    {"probability-of-precipitation", "floating", &HourValues::rainChance, 0, 100},
    {"hourly-qpf", "floating", &HourValues::rainAmount, 0, 100},
    {"wind-speed", "sustained", &HourValues::windSpeed, 0, 500},
    {"wind-speed", "gust", &HourValues::windGust, 0, 500},
    {"direction", "wind", &HourValues::windDirection, 0, 360},
    {"cloud-amount", "total", &HourValues::skyCover, 0, 100},
    {"humidity", "relative", &HourValues::humidity, 0, 100},
};

constexpr const char *kCompassPoints[16] = {"N",  "NNE", "NE", "ENE", "E",  "ESE", "SE", "SSE",
                                            "S",  "SSW", "SW", "WSW", "W",  "WNW", "NW", "NNW"};

bool Same(const char *a, const char *b)
{
    return std::strcmp(a, b) == 0;
}

QString Utf8(const char *text)
{
    return QString::fromUtf8(text);
}

std::string_view Trimmed(std::string_view text)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

// A value of a series: nil, empty, not a number or past the bounds is a gap.
std::optional<double> ValueOf(const pugi::xml_node &value, double lowest, double highest)
{
    if (Same(value.attribute("xsi:nil").value(), "true"))
        return std::nullopt;
    const std::string_view text = Trimmed(value.text().get());
    double number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || !std::isfinite(number)
        || number < lowest || number > highest)
        return std::nullopt;
    return number;
}

// One weather value in words: coverage, intensity and type ("chance light
// rain"); an empty coverage gives the rest alone. No type: nothing.
QString WeatherPart(const pugi::xml_node &value)
{
    const QString type = SafeText(Utf8(value.attribute("weather-type").value()), kWeatherWordMost);
    if (type.isEmpty() || type == u"none")
        return {};
    QString part;
    for (const char *name : {"coverage", "intensity"}) {
        const QString word = SafeText(Utf8(value.attribute(name).value()), kWeatherWordMost);
        if (!word.isEmpty() && word != u"none")
            part += word + u' ';
    }
    return part + type;
}

// The hour's weather conditions in words, each value joined to the one
// before it by its additive ("or", else "and"). Nil conditions hold none.
QString WeatherWords(const pugi::xml_node &conditions)
{
    QString words;
    for (const pugi::xml_node &value : conditions.children("value")) {
        if (words.size() > kWeatherMost)
            break;
        const QString part = WeatherPart(value);
        if (part.isEmpty())
            continue;
        if (!words.isEmpty())
            words += Same(value.attribute("additive").value(), "or") ? QStringLiteral(" or ") : QStringLiteral(" and ");
        words += part;
    }
    return SafeText(words, kWeatherMost);
}

// Values are matched to the hours by position: a longer series is cut, a
// shorter one leaves the later hours without.
void ReadValues(const pugi::xml_node &element, const SeriesRule &rule, std::vector<HourValues> &hours)
{
    size_t i = 0;
    for (const pugi::xml_node &value : element.children("value")) {
        if (i == hours.size())
            break;
        hours[i++].*rule.field = ValueOf(value, rule.lowest, rule.highest);
    }
}

void ReadWeather(const pugi::xml_node &element, std::vector<HourValues> &hours)
{
    size_t i = 0;
    for (const pugi::xml_node &conditions : element.children("weather-conditions")) {
        if (i == hours.size())
            break;
        hours[i++].weather = WeatherWords(conditions);
    }
}

// Every series of the parameters that names the hourly layout.
void ReadSeries(const pugi::xml_node &parameters, const char *key, std::vector<HourValues> &hours)
{
    for (const pugi::xml_node &element : parameters.children()) {
        if (!Same(element.attribute("time-layout").value(), key))
            continue;
        if (Same(element.name(), "weather")) {
            ReadWeather(element, hours);
            continue;
        }
        const char *type = element.attribute("type").value();
        for (const SeriesRule &rule : kSeries)
            if (Same(element.name(), rule.element) && Same(type, rule.type))
                ReadValues(element, rule, hours);
    }
}

// The time text quoted for a reason, made safe and cut.
QString QuotedTime(const char *text)
{
    return u'"' + SafeText(Utf8(text), kQuotedTimeMost) + u'"';
}

// Each hour must end after it starts and start no earlier than the one
// before it ends: a layout going backwards would draw the chart over itself.
bool InOrder(Result<HourlyForecast> &result)
{
    const std::vector<HourValues> &hours = result.value.hours;
    for (size_t i = 0; i < hours.size(); ++i) {
        const bool follows = i == 0 || hours[i - 1].end <= hours[i].start;
        if (follows && hours[i].start < hours[i].end)
            continue;
        Refuse(result, Outcome::NotLoaded, QStringLiteral("time-order"),
               QStringLiteral("hour %1 (%2) %3")
                   .arg(i + 1)
                   .arg(hours[i].start.toString(Qt::ISODate),
                        follows ? QStringLiteral("ends before it starts")
                                : QStringLiteral("does not follow the hour before it")));
        return false;
    }
    return true;
}

// The hours of the layout, each end after its start (an hour without one
// lasts an hour); false with the refusal in `result`.
bool ReadLayout(const pugi::xml_node &layout, Result<HourlyForecast> &result)
{
    std::vector<HourValues> &hours = result.value.hours;
    for (const pugi::xml_node &element : layout.children()) {
        const bool start = Same(element.name(), "start-valid-time");
        if (!start && (!Same(element.name(), "end-valid-time") || hours.empty() || hours.back().end.isValid()))
            continue;
        if (start && hours.size() == size_t(kMostHours)) {
            Refuse(result, Outcome::NotLoaded, QStringLiteral("hour-count"),
                   QStringLiteral("the hourly time layout holds more than %1 hours").arg(kMostHours));
            return false;
        }
        const QDateTime time = ReadIssueTime(Utf8(element.text().get()));
        if (!time.isValid()) {
            Refuse(result, Outcome::NotLoaded, QStringLiteral("time"),
                   QStringLiteral("%1 %2 of the hourly time layout is not a date and time with its offset")
                       .arg(start ? QStringLiteral("start") : QStringLiteral("end"), QuotedTime(element.text().get())));
            return false;
        }
        if (start)
            hours.emplace_back().start = time;
        else
            hours.back().end = time;
    }
    for (HourValues &hour : hours)
        if (!hour.end.isValid())
            hour.end = hour.start.addSecs(kHour);
    return InOrder(result);
}

// The first time layout of hours: its key says how long each period is
// ("k-p1h-"), but not how many there are.
pugi::xml_node HourlyLayout(const pugi::xml_node &data, std::string &key)
{
    for (const pugi::xml_node &layout : data.children("time-layout")) {
        const std::string_view text = Trimmed(layout.child("layout-key").text().get());
        if (text.substr(0, 6) == "k-p1h-") {
            key = text;
            return layout;
        }
    }
    return {};
}

bool Blank(const QString &reply)
{
    return std::all_of(reply.begin(), reply.end(), [](QChar c) { return c.isSpace(); });
}

} // namespace

QString DigitalForecastQuery(const QString &origin, const QString &latitude, const QString &longitude)
{
    return origin + QStringLiteral("/MapClick.php?lat=") + latitude + QStringLiteral("&lon=") + longitude
        + QStringLiteral("&FcstType=digitalDWML");
}

Result<HourlyForecast> ReadDigitalForecast(const QString &reply)
{
    Result<HourlyForecast> result;
    if (Blank(reply)) {
        Refuse(result, Outcome::NotLoaded, QStringLiteral("empty"), QStringLiteral("the reply is empty"));
        return result;
    }
    QByteArray utf8;
    pugi::xml_document document;
    if (WellFormedness loaded = LoadReply(reply, utf8, document); !loaded) {
        Refuse(result, Outcome::NotLoaded, std::move(loaded.rule), std::move(loaded.reason));
        return result;
    }
    const pugi::xml_node root = document.document_element();
    const pugi::xml_node data = root.child("data");
    std::string key;
    const pugi::xml_node layout = HourlyLayout(data, key);
    if (!layout) {
        Refuse(result, Outcome::Absent, QStringLiteral("no-hours"),
               QStringLiteral("the reply holds no hourly time layout"));
        return result;
    }
    if (!ReadLayout(layout, result))
        return result;
    if (result.value.hours.empty()) {
        Refuse(result, Outcome::Absent, QStringLiteral("no-hours"),
               QStringLiteral("the reply's hourly time layout holds no hours"));
        return result;
    }
    for (const pugi::xml_node &parameters : data.children("parameters"))
        ReadSeries(parameters, key.c_str(), result.value.hours);
    result.value.created = ReadIssueTime(Utf8(root.child("head").child("product").child("creation-date").text().get()));
    result.value.source = HourlySource::Page;
    return Result<HourlyForecast>::Of(std::move(result.value));
}

namespace {

// A wind speed: a measured value, or the service's words ("10 mph", "5 to
// 10 mph", "4 km/h"): the highest number, in the unit that ends them.
std::optional<double> WindOf(const QJsonValue &speed)
{
    if (speed.isObject()) {
        const std::optional<apijson::Measured> m = apijson::MeasuredOf(speed);
        return m ? apijson::MilesPerHour(m->value, m->unit) : std::nullopt;
    }
    const QStringList words = SafeText(speed.toString(), kWindTextMost).split(u' ', Qt::SkipEmptyParts);
    std::optional<double> highest;
    for (const QString &word : words) {
        bool number = false;
        const double value = word.toDouble(&number);
        if (number && (!highest || value > *highest))
            highest = value;
    }
    if (!highest || words.isEmpty())
        return std::nullopt;
    const QString unit = words.back();
    return apijson::MilesPerHour(*highest, unit == u"km/h" ? QStringLiteral("km_h-1") : unit);
}

// "SW" to degrees true; nothing for words that are no compass point.
std::optional<double> DegreesOf(const QString &point)
{
    for (int i = 0; i < 16; ++i)
        if (point == QLatin1String(kCompassPoints[i]))
            return i * 22.5;
    return std::nullopt;
}

std::optional<double> PercentOf(const QJsonValue &quantity)
{
    const std::optional<apijson::Measured> m = apijson::MeasuredOf(quantity);
    return m && m->unit == u"percent" ? apijson::Within(m->value, 0, 100) : std::nullopt;
}

HourValues HourOf(const QJsonObject &period)
{
    const auto value = [&](const char *key) { return period.value(QLatin1String(key)); };
    HourValues hour;
    hour.start = ReadIssueTime(value("startTime").toString());
    hour.end = ReadIssueTime(value("endTime").toString());
    if (!hour.end.isValid() && hour.start.isValid())
        hour.end = hour.start.addSecs(kHour);
    hour.temperature = apijson::PeriodFahrenheit(period);
    hour.dewPoint = apijson::Fahrenheit(apijson::MeasuredOf(value("dewpoint")));
    hour.rainChance = apijson::PeriodChance(period);
    hour.humidity = PercentOf(value("relativeHumidity"));
    hour.windSpeed = WindOf(value("windSpeed"));
    hour.windGust = WindOf(value("windGust"));
    hour.windDirection = DegreesOf(value("windDirection").toString());
    hour.weather = SafeText(value("shortForecast").toString(), kWeatherMost);
    return hour;
}

} // namespace

Result<HourlyForecast> MapApiHourly(const QString &reply)
{
    Result<HourlyForecast> result;
    const std::optional<QJsonDocument> document = apijson::Load(reply, result);
    if (!document)
        return result;
    const QJsonObject properties = apijson::Properties(*document);
    const QJsonArray periods = properties.value(QLatin1String("periods")).toArray();
    if (periods.isEmpty()) {
        apijson::Missing(result, *document, QStringLiteral("no-periods"),
                         QStringLiteral("the reply holds no forecast hours"));
        return result;
    }
    if (periods.size() > kMostHours) {
        Refuse(result, Outcome::NotLoaded, QStringLiteral("hour-count"),
               QStringLiteral("the reply lists %1 hours, more than %2").arg(periods.size()).arg(kMostHours));
        return result;
    }
    for (qsizetype i = 0; i < periods.size(); ++i) {
        result.value.hours.push_back(HourOf(periods.at(i).toObject()));
        if (!result.value.hours.back().start.isValid()) {
            Refuse(result, Outcome::NotLoaded, QStringLiteral("time"),
                   QStringLiteral("period %1 of the reply has no start time with its offset").arg(i + 1));
            return result;
        }
    }
    if (!InOrder(result))
        return result;
    result.value.created = apijson::IssuedOf(properties);
    result.value.source = HourlySource::Api;
    return Result<HourlyForecast>::Of(std::move(result.value));
}

namespace {

// A whole number as the table writes one: no sign for zero.
QString Whole(double value)
{
    const double whole = std::round(value);
    return QString::number(whole == 0.0 ? 0.0 : whole, 'f', 0);
}

QString Degrees(const std::optional<double> &fahrenheit)
{
    return fahrenheit ? Whole(*fahrenheit) + QChar(0xB0) + u'F' : QString();
}

QString Percent(const std::optional<double> &percent)
{
    return percent ? Whole(*percent) + u'%' : QString();
}

QString Inches(const std::optional<double> &inches)
{
    return inches ? AmountFigure(*inches) + QStringLiteral(" in") : QString();
}

QString Compass(double degrees)
{
    const int point = static_cast<int>(std::floor(degrees / 22.5 + 0.5)) % 16;
    return QLatin1String(kCompassPoints[point]);
}

QString WindText(const HourValues &hour)
{
    if (!hour.windSpeed)
        return {};
    if (std::round(*hour.windSpeed) == 0)
        return QStringLiteral("calm");
    QString text = hour.windDirection ? Compass(*hour.windDirection) + u' ' : QString();
    text += Whole(*hour.windSpeed) + QStringLiteral(" mph");
    if (hour.windGust && std::round(*hour.windGust) > 0)
        text += QStringLiteral(", gusts ") + Whole(*hour.windGust);
    return text;
}

// The hour on its own clock: "Wed 3 PM", "Thu 12 AM".
QString HourText(const QDateTime &start, const QLocale &locale)
{
    return locale.toString(start, QStringLiteral("ddd h AP"));
}

QString ClockText(const QDateTime &time, const QLocale &locale)
{
    return locale.toString(time, QStringLiteral("h AP"));
}

qint64 FloorDivide(qint64 value, qint64 by)
{
    return value / by - (value % by < 0 ? 1 : 0);
}

// The first run of hours at the highest chance of rain among `hours`,
// rounded as shown; its end is that of the run's last hour.
QString RainSentence(const HourValues *from, const HourValues *to, const QLocale &locale)
{
    const auto shown = [](const HourValues *h) { return h->rainChance ? std::round(*h->rainChance) : -1.0; };
    const HourValues *top = from;
    for (const HourValues *h = from; h != to; ++h)
        if (shown(h) > shown(top))
            top = h;
    if (shown(top) < 0)
        return {};
    if (shown(top) == 0)
        return QStringLiteral(" No rain expected.");
    const HourValues *last = top;
    while (last + 1 != to && shown(last + 1) == shown(top))
        ++last;
    return QStringLiteral(" Rain chance up to %1 from %2 to %3.")
        .arg(Percent(top->rainChance), ClockText(top->start, locale), ClockText(last->end, locale));
}

} // namespace

QString AmountFigure(double inches)
{
    const double hundredths = std::floor(inches * 100.0 + 0.5 + 1e-9);
    return QString::number(hundredths / 100.0, 'f', 2);
}

const std::array<QString, kHourlyColumns> &HourlyHeaders()
{
    static const std::array<QString, kHourlyColumns> headers{
        QStringLiteral("Time"), QStringLiteral("Temp"), QStringLiteral("Feels"),  QStringLiteral("Dew pt"),
        QStringLiteral("Rain"), QStringLiteral("Amount"), QStringLiteral("Wind"), QStringLiteral("Sky"),
        QStringLiteral("Weather")};
    return headers;
}

size_t FirstCurrentHour(const HourlyForecast &forecast, const QDateTime &nowUtc)
{
    const qint64 now = nowUtc.toSecsSinceEpoch();
    for (size_t i = 0; i < forecast.hours.size(); ++i) {
        const QDateTime &start = forecast.hours[i].start;
        // The current hour's start on the hour's own clock.
        const qint64 offset = start.offsetFromUtc();
        const qint64 currentHour = FloorDivide(now + offset, kHour) * kHour - offset;
        if (start.toSecsSinceEpoch() >= currentHour)
            return i;
    }
    return forecast.hours.size();
}

std::vector<HourlyRow> HourlyTable(const HourlyForecast &forecast, const QDateTime &nowUtc, const QLocale &locale)
{
    std::vector<HourlyRow> rows;
    const size_t first = FirstCurrentHour(forecast, nowUtc);
    const size_t last = std::min(forecast.hours.size(), first + kMostTableRows);
    rows.reserve(last - first);
    for (size_t i = first; i < last; ++i) {
        const HourValues &h = forecast.hours[i];
        rows.push_back(HourlyRow{h.start,
                                 {HourText(h.start, locale), Degrees(h.temperature), Degrees(h.windChill),
                                  Degrees(h.dewPoint), Percent(h.rainChance), Inches(h.rainAmount), WindText(h),
                                  Percent(h.skyCover), h.weather}});
    }
    return rows;
}

QString HourDetails(const HourValues &hour, const QLocale &locale)
{
    QStringList parts;
    const auto add = [&](const QString &label, const QString &value) {
        if (!value.isEmpty())
            parts << label + value;
    };
    add(QString(), Degrees(hour.temperature));
    add(QStringLiteral("feels "), Degrees(hour.windChill));
    add(QStringLiteral("dew point "), Degrees(hour.dewPoint));
    add(QStringLiteral("humidity "), Percent(hour.humidity));
    const QString amount = Inches(hour.rainAmount);
    add(QStringLiteral("rain "), Percent(hour.rainChance) + (amount.isEmpty() ? QString() : " (" + amount + u')'));
    add(QStringLiteral("wind "), WindText(hour));
    add(QStringLiteral("sky "), Percent(hour.skyCover));
    add(QString(), hour.weather);
    return HourText(hour.start, locale) + QStringLiteral(": ") + parts.join(QStringLiteral(", "));
}

QString HourlySummary(const HourlyForecast &forecast, const QDateTime &nowUtc, const QLocale &locale)
{
    const size_t first = FirstCurrentHour(forecast, nowUtc);
    const size_t last = std::min(forecast.hours.size(), first + 24);
    if (first == last)
        return QStringLiteral("No hourly forecast for the next 24 hours.");
    const HourValues *from = forecast.hours.data() + first;
    const HourValues *to = forecast.hours.data() + last;
    const HourValues *high = nullptr;
    const HourValues *low = nullptr;
    for (const HourValues *h = from; h != to; ++h) {
        if (!h->temperature)
            continue;
        // Compared as shown: the first of equal figures names the time.
        if (!high || std::round(*h->temperature) > std::round(*high->temperature))
            high = h;
        if (!low || std::round(*h->temperature) < std::round(*low->temperature))
            low = h;
    }
    const QString temperatures = high ? QStringLiteral("High %1 at %2, low %3 at %4.")
                                            .arg(Degrees(high->temperature), ClockText(high->start, locale),
                                                 Degrees(low->temperature), ClockText(low->start, locale))
                                      : QStringLiteral("No temperatures given.");
    return temperatures + RainSentence(from, to, locale);
}

QString HourlySourceLine(HourlySource source, DateValue fetched, bool kept, const QLocale &locale)
{
    const QString host = source == HourlySource::Page ? QStringLiteral("forecast.weather.gov")
                                                      : QStringLiteral("api.weather.gov");
    QString when = FormatClockTime(fetched, locale);
    if (kept)
        when = locale.toString(ToQDate(fetched), QStringLiteral("MMM d")) + u' ' + when + QStringLiteral(" (kept)");
    return QStringLiteral("From %1, fetched %2").arg(host, when);
}

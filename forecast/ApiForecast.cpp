#include "forecast/ApiForecast.h"

#include "forecast/ApiJson.h"
#include "common/JsonReply.h"
#include "common/Text.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

#include <cmath>
#include <optional>
#include <vector>

namespace apijson {

namespace {

// No text of the service comes near the bound on one text (a worded
// forecast is a few hundred bytes, an alert's description a few thousand);
// one that does would only be copied whole to be cut to what is kept.
constexpr JsonBounds kApiBounds{0, kMaxApiNesting, kMaxApiContainers, 64 * 1024};

} // namespace

std::optional<QJsonDocument> LoadJson(const QString &reply, Refusal &refusal)
{
    Result<QJsonDocument> loaded = ::LoadJson(reply, kApiBounds);
    if (!loaded) {
        refusal = {loaded.outcome, loaded.rule, loaded.reason};
        return std::nullopt;
    }
    return std::move(loaded.value);
}

QString ProblemTextOf(const QJsonDocument &document)
{
    const std::optional<JsonProblem> problem = ProblemOf(document);
    return problem ? problem->text : QString();
}

QJsonObject Properties(const QJsonDocument &document)
{
    const QJsonObject root = document.object();
    const QJsonValue properties = root.value(QLatin1String("properties"));
    return properties.isObject() ? properties.toObject() : root;
}

std::optional<double> NumberOf(const QJsonValue &value)
{
    if (!value.isDouble() || !std::isfinite(value.toDouble()))
        return std::nullopt;
    return value.toDouble();
}

std::optional<Measured> MeasuredOf(const QJsonValue &quantity)
{
    const QJsonObject object = quantity.toObject();
    const std::optional<double> value = NumberOf(object.value(QLatin1String("value")));
    if (!value)
        return std::nullopt;
    const QString code = object.value(QLatin1String("unitCode")).toString();
    const qsizetype colon = code.indexOf(u':');
    return Measured{*value, colon >= 0 ? code.mid(colon + 1) : code};
}

std::optional<double> Within(std::optional<double> value, double lowest, double highest)
{
    if (!value || *value < lowest || *value > highest)
        return std::nullopt;
    return value;
}

std::optional<double> Fahrenheit(double value, const QString &unit)
{
    std::optional<double> f;
    if (unit == u"degF" || unit == u"F")
        f = value;
    else if (unit == u"degC" || unit == u"C")
        f = value * 9.0 / 5.0 + 32.0;
    else if (unit == u"K")
        f = (value - 273.15) * 9.0 / 5.0 + 32.0;
    return Within(f, -150, 200);
}

std::optional<double> Fahrenheit(const std::optional<Measured> &measured)
{
    return measured ? Fahrenheit(measured->value, measured->unit) : std::nullopt;
}

std::optional<double> MilesPerHour(double value, const QString &unit)
{
    constexpr double kKilometresPerMile = 1.609344;
    std::optional<double> mph;
    if (unit == u"mph")
        mph = value;
    else if (unit == u"km_h-1")
        mph = value / kKilometresPerMile;
    else if (unit == u"m_s-1")
        mph = value * 3.6 / kKilometresPerMile;
    return Within(mph, 0, 500);
}

std::optional<double> PeriodFahrenheit(const QJsonObject &period)
{
    const QJsonValue temperature = period.value(QLatin1String("temperature"));
    if (temperature.isObject())
        return Fahrenheit(MeasuredOf(temperature));
    const std::optional<double> value = NumberOf(temperature);
    if (!value)
        return std::nullopt;
    return Fahrenheit(*value, period.value(QLatin1String("temperatureUnit")).toString());
}

std::optional<double> PeriodChance(const QJsonObject &period)
{
    const QJsonObject chance = period.value(QLatin1String("probabilityOfPrecipitation")).toObject();
    const QJsonValue unit = chance.value(QLatin1String("unitCode"));
    if (!unit.isUndefined() && !unit.toString().endsWith(QLatin1String(":percent")))
        return std::nullopt;
    const std::optional<double> value = Within(NumberOf(chance.value(QLatin1String("value"))), 0, 100);
    return value ? std::optional<double>(std::round(*value)) : std::nullopt;
}

QDateTime IssuedOf(const QJsonObject &properties)
{
    QJsonValue value = properties.value(QLatin1String("updateTime"));
    if (!value.isString())
        value = properties.value(QLatin1String("updated"));
    return ReadIssueTime(value.toString());
}

} // namespace apijson

namespace {

using namespace apijson;

constexpr qsizetype kLongestAddress = 2048;
constexpr qsizetype kQuotedAddressMost = 100;
constexpr qsizetype kStationNameMost = 100;
constexpr qsizetype kLongestStationId = 8;
constexpr qsizetype kPeriodNameMost = 60;
constexpr qsizetype kPeriodTextMost = 1000;   // as the page's worded forecasts are kept
constexpr int kLastTableRow = 10;
constexpr int kLastShownRow = 7;

bool PlainAddress(const QString &address)
{
    if (address.size() > kLongestAddress)
        return false;
    for (const QChar c : address)
        if (c.unicode() <= u' ' || c.unicode() > u'~')
            return false;
    return true;
}

// Checks one address of a points reply; false with the refusal in `result`.
bool Followable(const QJsonObject &properties, const char *key, const QString &what, const QString &origin,
                QString &address, Result<ApiPoint> &result, const QJsonDocument &document)
{
    const QJsonValue value = properties.value(QLatin1String(key));
    if (!value.isString() || value.toString().isEmpty()) {
        Missing(result, document, QStringLiteral("no-%1-address").arg(what),
                QStringLiteral("the reply names no %1 address").arg(what));
        return false;
    }
    address = value.toString();
    const QString quoted = u'"' + SafeText(address, kQuotedAddressMost) + u'"';
    if (!address.startsWith(origin + u'/')) {
        Refuse(result, Outcome::NotLoaded, QStringLiteral("foreign-address"),
               QStringLiteral("the %1 address %2 is not on %3").arg(what, quoted, origin));
        return false;
    }
    if (!PlainAddress(address)) {
        Refuse(result, Outcome::NotLoaded, QStringLiteral("address"),
               QStringLiteral("the %1 address %2 is not a plain web address").arg(what, quoted));
        return false;
    }
    return true;
}

// A whole number as the page writes one: no sign for zero.
QString WholeText(double value)
{
    const double whole = std::round(value);
    return QString::number(whole == 0.0 ? 0.0 : whole, 'f', 0);
}

QString TemperatureText(const std::optional<double> &f)
{
    return f ? WholeText(*f) : QString();
}

// The measured value in the unit wanted, from any of `units` (each a unit
// and its factor to the wanted one), when it lies within the bounds.
std::optional<double> Converted(const std::optional<Measured> &m,
                                std::initializer_list<std::pair<QStringView, double>> units, double lowest, double highest)
{
    for (const auto &[unit, factor] : units)
        if (m && m->unit == unit)
            return Within(m->value * factor, lowest, highest);
    return std::nullopt;
}

QString KnotsText(const std::optional<Measured> &m)
{
    const std::optional<double> knots = Converted(m, {{u"km_h-1", 1 / 1.852}, {u"m_s-1", 3.6 / 1.852}}, 0, 500);
    return knots ? WholeText(*knots) : QString();
}

QString HumidityText(const std::optional<Measured> &m)
{
    const std::optional<double> percent = m && m->unit == u"percent" ? Within(std::round(m->value), 0, 100)
                                                                     : std::nullopt;
    return percent ? WholeText(*percent) : QString();
}

QString InchesOfMercuryText(const std::optional<Measured> &m)
{
    const std::optional<double> inches = Converted(m, {{u"Pa", 1 / 3386.389}, {u"hPa", 100 / 3386.389}}, 10, 40);
    return inches ? QString::number(*inches, 'f', 2) : QString();
}

// One period of the forecast, as far as the table needs it.
struct Period {
    bool day = false;
    QString name;
    QString temperature;
    std::optional<double> chance;
    QString text;
    QDateTime start;
};

std::optional<Period> PeriodOf(const QJsonValue &value)
{
    const QJsonObject period = value.toObject();
    const QJsonValue daytime = period.value(QLatin1String("isDaytime"));
    if (!value.isObject() || !daytime.isBool())
        return std::nullopt;
    return Period{daytime.toBool(), SafeText(period.value(QLatin1String("name")).toString(), kPeriodNameMost),
                  TemperatureText(PeriodFahrenheit(period)), PeriodChance(period),
                  SafeText(period.value(QLatin1String("detailedForecast")).toString(), kPeriodTextMost),
                  ReadIssueTime(period.value(QLatin1String("startTime")).toString())};
}

QString ChanceText(std::optional<double> own, std::optional<double> night)
{
    if (night && (!own || *own < *night))
        own = night;
    return own ? WholeText(*own) + u'%' : QString();
}

// The periods into the table, column by column as the page's scans fill it.
void FillTable(const std::vector<Period> &periods, ForecastExtraction &out)
{
    const bool nightFirst = !periods.front().day;
    const int maxColumn = nightFirst ? 2 : 1;
    const int minColumn = nightFirst ? 1 : 2;
    int nameRow = 0;
    int maxRow = 0;
    int minRow = 0;
    for (size_t p = 0; p < periods.size(); ++p) {
        const Period &period = periods[p];
        if (period.day && ++maxRow <= kLastShownRow)
            out.periods[maxRow][maxColumn] = period.temperature;
        if (!period.day && ++minRow <= kLastShownRow)
            out.periods[minRow][minColumn] = period.temperature;
        // A row starts at each day, and at the opening night of a
        // night-first reply.
        if ((!period.day && p != 0) || nameRow == kLastTableRow)
            continue;
        ++nameRow;
        out.periods[nameRow][0] = period.name;
        const bool nightFollows = period.day && p + 1 < periods.size() && !periods[p + 1].day;
        out.periods[nameRow][3] = ChanceText(period.chance, nightFollows ? periods[p + 1].chance : std::nullopt);
        if (nameRow <= kLastShownRow) {
            out.periodTexts[static_cast<size_t>(nameRow)] = period.text;
            out.periodStarts[static_cast<size_t>(nameRow)] = period.start;
            // Cut by the page's own rule; the text is bounded well inside its 16-bit positions.
            out.periods[nameRow][4] = ConditionSummary(period.text);
        }
    }
    out.nightFirst = nightFirst;
}

} // namespace

std::optional<QString> ApiPointsPath(const QString &latitude, const QString &longitude)
{
    const std::optional<QString> place = PlaceText(latitude, longitude);
    if (!place)
        return std::nullopt;
    return QStringLiteral("/points/") + *place;
}

QString ApiLatestObservationPath(const ApiStation &station)
{
    return QStringLiteral("/stations/") + station.id + QStringLiteral("/observations/latest");
}

Result<ApiPoint> ReadApiPoint(const QString &reply, const QString &origin)
{
    Result<ApiPoint> result;
    const std::optional<QJsonDocument> document = Load(reply, result);
    if (!document)
        return result;
    const QJsonObject properties = Properties(*document);
    ApiPoint point;
    if (!Followable(properties, "forecast", QStringLiteral("forecast"), origin, point.forecastUrl, result, *document)
        || !Followable(properties, "observationStations", QStringLiteral("stations"), origin, point.stationsUrl,
                       result, *document))
        return result;
    // A reply without an hourly forecast costs only the hourly window.
    if (!properties.value(QLatin1String("forecastHourly")).toString().isEmpty()
        && !Followable(properties, "forecastHourly", QStringLiteral("hourly"), origin, point.forecastHourlyUrl, result,
                       *document))
        return result;
    return Result<ApiPoint>::Of(std::move(point));
}

Result<ApiStation> ReadFirstStation(const QString &stationsReply)
{
    Result<ApiStation> result;
    const std::optional<QJsonDocument> document = Load(stationsReply, result);
    if (!document)
        return result;
    // GeoJSON lists features with properties; JSON-LD lists the stations.
    const QJsonObject root = document->object();
    QJsonObject first = root.value(QLatin1String("features")).toArray().at(0).toObject();
    first = first.contains(QLatin1String("properties")) ? first.value(QLatin1String("properties")).toObject()
                                                        : root.value(QLatin1String("@graph")).toArray().at(0).toObject();
    const QJsonValue id = first.value(QLatin1String("stationIdentifier"));
    if (!id.isString()) {
        Missing(result, *document, QStringLiteral("no-station"), QStringLiteral("the reply lists no station"));
        return result;
    }
    const QString identifier = id.toString();
    bool plain = !identifier.isEmpty() && identifier.size() <= kLongestStationId;
    for (const QChar c : identifier)
        plain = plain && c.unicode() < 0x80 && c.isLetterOrNumber();
    if (!plain) {
        Refuse(result, Outcome::NotLoaded, QStringLiteral("station-id"),
               QStringLiteral("the first station's identifier %1 is not a station identifier")
                   .arg(u'"' + SafeText(identifier, kQuotedAddressMost) + u'"'));
        return result;
    }
    QString name = SafeText(first.value(QLatin1String("name")).toString(), kStationNameMost);
    return Result<ApiStation>::Of(ApiStation{identifier, name.isEmpty() ? identifier : name});
}

Result<ForecastExtraction> MapApiForecast(const QString &forecastReply)
{
    Result<ForecastExtraction> result;
    const std::optional<QJsonDocument> document = Load(forecastReply, result);
    if (!document)
        return result;
    const QJsonObject properties = Properties(*document);
    const QJsonArray list = properties.value(QLatin1String("periods")).toArray();
    if (list.isEmpty()) {
        Missing(result, *document, QStringLiteral("no-periods"), QStringLiteral("the reply holds no forecast periods"));
        return result;
    }
    if (list.size() > kMaxApiPeriods) {
        Refuse(result, Outcome::NotLoaded, QStringLiteral("period-count"),
               QStringLiteral("the reply lists %1 periods, more than %2").arg(list.size()).arg(kMaxApiPeriods));
        return result;
    }
    std::vector<Period> periods;
    periods.reserve(static_cast<size_t>(list.size()));
    for (qsizetype i = 0; i < list.size(); ++i) {
        std::optional<Period> period = PeriodOf(list.at(i));
        if (!period) {
            Refuse(result, Outcome::Absent, QStringLiteral("period-shape"),
                   QStringLiteral("period %1 of the reply is not a day or a night").arg(i + 1));
            return result;
        }
        periods.push_back(std::move(*period));
    }
    ForecastExtraction table;
    FillTable(periods, table);
    table.issued = IssuedOf(properties);
    return Result<ForecastExtraction>::Of(std::move(table));
}

Result<ForecastExtraction> MapApiObservation(const QString &observationReply, const ApiStation &station,
                                             ForecastExtraction into)
{
    Result<ForecastExtraction> result;
    result.value = std::move(into);
    const std::optional<QJsonDocument> document = Load(observationReply, result);
    if (!document)
        return result;
    const QJsonObject properties = Properties(*document);
    const auto measured = [&](const char *key) { return MeasuredOf(properties.value(QLatin1String(key))); };
    if (!properties.contains(QLatin1String("temperature")) && !properties.contains(QLatin1String("barometricPressure"))) {
        Missing(result, *document, QStringLiteral("no-observation"), QStringLiteral("the reply holds no observation"));
        return result;
    }
    ForecastExtraction &out = result.value;
    out.apparentTemp = TemperatureText(Fahrenheit(measured("temperature")));
    out.dewPointText = TemperatureText(Fahrenheit(measured("dewpoint")));
    out.humidityText = HumidityText(measured("relativeHumidity"));
    out.windSpeedText = KnotsText(measured("windSpeed"));
    out.pressureText = InchesOfMercuryText(measured("barometricPressure"));
    out.stationText = station.name;
    return Result<ForecastExtraction>::Of(std::move(out));
}

QString ApiProblemText(const QString &reply)
{
    Result<int> ignored;
    const std::optional<QJsonDocument> document = Load(reply, ignored);
    return document ? ProblemTextOf(*document) : QString();
}

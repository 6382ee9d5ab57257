#pragma once

// How the JSON API's replies are bounded, loaded and read, shared by the
// readers of its forecast (ApiForecast.cpp) and its hourly forecast
// (Hourly.cpp). Not for the rest of the program: it uses ApiForecast.h and
// Hourly.h.

#include "common/Result.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <optional>
#include <utility>

namespace apijson {

// Why a reply was not read: the outcome, rule and reason its result takes.
struct Refusal {
    Outcome outcome = Outcome::NotLoaded;
    QString rule;
    QString reason;
};

// The reply's JSON, checked against the bounds on nesting, on the number of
// arrays and objects and on the length of a text before it is parsed; or
// nothing, with why in `refusal`.
std::optional<QJsonDocument> LoadJson(const QString &reply, Refusal &refusal);

// The service's words when the reply is one of its error replies, else empty.
QString ProblemTextOf(const QJsonDocument &document);

// The GeoJSON reply's properties; the JSON-LD form has them at the top.
QJsonObject Properties(const QJsonDocument &document);

// A number of the reply, when it is a finite one.
std::optional<double> NumberOf(const QJsonValue &value);

// A measured value: {"value": number, "unitCode": "wmoUnit:..."}, the unit
// without its prefix ("wmoUnit:" or "unit:").
struct Measured {
    double value = 0;
    QString unit;
};
std::optional<Measured> MeasuredOf(const QJsonValue &quantity);

// `value` when it lies within [lowest, highest]: past that it is no reading.
std::optional<double> Within(std::optional<double> value, double lowest, double highest);

// Degrees Fahrenheit from "F"/"degF", "C"/"degC" or "K"; nothing for another
// unit or beyond any weather on Earth.
std::optional<double> Fahrenheit(double value, const QString &unit);
std::optional<double> Fahrenheit(const std::optional<Measured> &measured);

// Miles per hour from "km_h-1", "m_s-1" or "mph"; nothing for another unit
// or past any wind.
std::optional<double> MilesPerHour(double value, const QString &unit);

// A period's temperature in degrees Fahrenheit: a number with its
// temperatureUnit "F" or "C", or (newer replies) a measured value.
std::optional<double> PeriodFahrenheit(const QJsonObject &period);

// A period's chance of precipitation in whole percent, when given in percent.
std::optional<double> PeriodChance(const QJsonObject &period);

// When the forecast was made: its updateTime, else its "updated".
QDateTime IssuedOf(const QJsonObject &properties);

template <typename T>
void Refuse(Result<T> &result, Outcome outcome, QString rule, QString reason)
{
    result = Result<T>::Failure(outcome, std::move(rule), std::move(reason), std::move(result.value));
}

// The reply's JSON, or the refusal in `result`.
template <typename T>
std::optional<QJsonDocument> Load(const QString &reply, Result<T> &result)
{
    Refusal refusal;
    std::optional<QJsonDocument> document = LoadJson(reply, refusal);
    if (!document)
        Refuse(result, refusal.outcome, std::move(refusal.rule), std::move(refusal.reason));
    return document;
}

// A reply of the wrong shape: the service's own words when it is one of its
// error replies, else `rule` and `reason`.
template <typename T>
void Missing(Result<T> &result, const QJsonDocument &document, QString rule, QString reason)
{
    if (const QString problem = ProblemTextOf(document); !problem.isEmpty())
        Refuse(result, Outcome::Absent, QStringLiteral("problem"), QStringLiteral("the service answered: ") + problem);
    else
        Refuse(result, Outcome::Absent, std::move(rule), std::move(reason));
}

} // namespace apijson

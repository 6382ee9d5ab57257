#include "common/JsonReply.h"

#include "common/CodePage.h"
#include "common/Text.h"

#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>

#include <cmath>
#include <cstring>

namespace {

constexpr qsizetype kProblemMost = 200;

Result<QJsonDocument> Refused(QString rule, QString reason)
{
    return Result<QJsonDocument>::Failure(Outcome::NotLoaded, std::move(rule), std::move(reason));
}

// Where the text that opens at the quote `open` closes: the next quote that
// no backslash escapes, or the end of the bytes. Each byte is looked at a
// bounded number of times, however the backslashes and quotes are mixed.
qsizetype TextEnd(const QByteArray &bytes, qsizetype open)
{
    const char *data = bytes.constData();
    for (qsizetype from = open + 1;;) {
        const void *found = std::memchr(data + from, '"', static_cast<size_t>(bytes.size() - from));
        if (found == nullptr)
            return bytes.size();
        const qsizetype quote = static_cast<const char *>(found) - data;
        qsizetype backslashes = 0;
        while (quote - backslashes - 1 > open && data[quote - backslashes - 1] == '\\')
            ++backslashes;
        if (backslashes % 2 == 0)
            return quote;
        from = quote + 1;
    }
}

// The bounds on nesting, containers and texts, in one pass over the bytes;
// the refusal, or nothing when the bytes keep within them.
std::optional<Result<QJsonDocument>> BeyondBounds(const QByteArray &bytes, const JsonBounds &bounds)
{
    int depth = 0;
    long long containers = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes.at(i);
        if (c == '"') {
            const qsizetype end = TextEnd(bytes, i);
            if (bounds.longestText > 0 && end - i - 1 > bounds.longestText)
                return Refused(QStringLiteral("text-length"),
                               QStringLiteral("the reply holds a text longer than %1 bytes (offset %2)")
                                   .arg(bounds.longestText)
                                   .arg(i));
            i = end;
        } else if (c == '[' || c == '{') {
            if (++depth > bounds.mostNesting)
                return Refused(QStringLiteral("nesting"),
                               QStringLiteral("the reply nests deeper than %1 levels (offset %2)")
                                   .arg(bounds.mostNesting)
                                   .arg(i));
            if (++containers > bounds.mostContainers)
                return Refused(QStringLiteral("node-count"),
                               QStringLiteral("the reply holds more than %1 arrays and objects (offset %2)")
                                   .arg(bounds.mostContainers)
                                   .arg(i));
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return std::nullopt;
}

} // namespace

Result<QJsonDocument> LoadJson(const QString &reply, const JsonBounds &bounds)
{
    // One character a byte: the text's length is the reply's.
    if (bounds.mostBytes > 0 && reply.size() > bounds.mostBytes)
        return Refused(QStringLiteral("reply-size"), QStringLiteral("the reply holds %1 bytes, more than %2")
                                                         .arg(reply.size())
                                                         .arg(bounds.mostBytes));
    const QByteArray bytes = ToCp1252(reply);
    if (std::optional<Result<QJsonDocument>> refusal = BeyondBounds(bytes, bounds))
        return std::move(*refusal);
    QJsonParseError error;
    QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError)
        return Refused(QStringLiteral("json"), QStringLiteral("the reply is not JSON: %1 (offset %2)")
                                                   .arg(error.errorString())
                                                   .arg(error.offset));
    return Result<QJsonDocument>::Of(std::move(document));
}

std::optional<JsonProblem> ProblemOf(const QJsonDocument &document)
{
    const QJsonObject root = document.object();
    const QJsonValue title = root.value(QLatin1String("title"));
    const QJsonValue status = root.value(QLatin1String("status"));
    if (!document.isObject() || !title.isString() || !status.isDouble())
        return std::nullopt;
    // Cut each part first, so that a huge one costs no more than its kept part.
    const QString titleText = SafeText(title.toString(), kProblemMost);
    const QString detail = SafeText(root.value(QLatin1String("detail")).toString(), kProblemMost);
    const double number = status.toDouble();
    JsonProblem problem;
    problem.status = std::isfinite(number) && number >= 0 && number < 1000 ? static_cast<int>(number) : 0;
    problem.text = detail.isEmpty() || detail == titleText
        ? titleText
        : SafeText(titleText + QStringLiteral(": ") + detail, kProblemMost);
    if (problem.text.isEmpty())
        return std::nullopt;
    return problem;
}

net::Request ApiRequest(const QString &url, const QString &origin)
{
    net::Request request;
    request.url = url;
    request.userAgent = QByteArrayLiteral("Selvorra/" SELVORRA_VERSION
                                          " (https://github.com/selvorra/selvorra; selvorra@users.noreply.github.com)");
    request.headers.append(QByteArrayLiteral("Accept: application/geo+json"));
    request.redirectPrefix = origin + QLatin1Char('/');
    return request;
}

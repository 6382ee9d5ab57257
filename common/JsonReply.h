#pragma once

#include "common/Fetched.h"
#include "common/Result.h"

#include <QJsonDocument>
#include <QString>

#include <optional>

// The JSON replies of the weather service's API, loaded under bounds checked
// before the parser sees the reply: the parser's own bound on nesting is far
// deeper than any reply of the service, and each array or object it reads
// costs about a hundred bytes more than the reply holds, so a flood of "[[1]]"
// would take many times the reply's size. The reply is the text as the
// download hands it (one character a byte); its bytes are read as UTF-8.

struct JsonBounds {
    qsizetype mostBytes = 0;      // the reply's length; 0: only the download's own bound
    int mostNesting = 64;
    long long mostContainers = 20000;   // arrays and objects
    qsizetype longestText = 0;    // bytes of one text; 0: any (the reader cuts what it keeps)
};

// The reply's JSON, or NotLoaded with the rule "reply-size", "text-length",
// "nesting", "node-count" or "json" and the reason in words, with the offset
// where it was found.
Result<QJsonDocument> LoadJson(const QString &reply, const JsonBounds &bounds);

// An error reply (application/problem+json): a JSON object with a text title
// and a numeric status. Its words are "<title>: <detail>", or the title
// alone when there is no detail or it repeats the title, made safe and cut
// to 200 characters.
struct JsonProblem {
    QString text;
    int status = 0;   // the HTTP status it names, e.g. 400
};
std::optional<JsonProblem> ProblemOf(const QJsonDocument &document);

// The request the JSON API wants of every client: a User-Agent naming the
// program, its version and a contact address, its JSON form asked for, and
// redirects followed only on `origin` + "/" (e.g. "https://api.weather.gov").
net::Request ApiRequest(const QString &url, const QString &origin);

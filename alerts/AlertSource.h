#pragma once

#include "alerts/Alerts.h"
#include "common/Place.h"
#include "common/SourceChain.h"

#include <QString>

// Where the active alerts come from: the weather service's JSON API, asked
// politely: with the validators of the last reply, so that an unchanged list
// costs a 304 and no reading. (The forecast page's hazards stand in for them
// in the window when the API has not answered for a while; they come with
// the forecast.)

struct AlertsAsk {
    Place place;
    QString apiOrigin;      // e.g. "https://api.weather.gov"
    QString etag;           // of the last reply read; empty: none
    QString lastModified;
};

struct AlertsFetch {
    bool notModified = false;   // HTTP 304: the alerts on hand are still the list
    AlertsReply reply;          // the list read (empty when not modified)
    QString etag;               // the new reply's validators
    QString lastModified;
};

inline const QString kKeepAlerts = QStringLiteral("alerts");

// Done for a new list (kept under kKeepAlerts) or a 304. Failures: the
// settings name no point ("place"), the download's or the service's words
// ("not-answered", "problem"), a place outside the service's area (rule
// "outside-area": an error reply with status 400 or 404), or the reading's
// refusal.
ChainOutcome<AlertsFetch> FetchAlerts(const AlertsAsk &ask, const net::Download &download);

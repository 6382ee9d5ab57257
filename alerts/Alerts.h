#pragma once

#include "common/Result.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// The weather service's active alerts for one place, from its JSON API
// (GET /alerts/active?point=LAT,LON), as plain data: read, bounded, made
// safe for showing, and the ones to show now in their order.

enum class Severity { Unknown, Minor, Moderate, Severe, Extreme };

// "Extreme", "Severe", "Moderate", "Minor" or "Unknown".
QString SeverityWord(Severity severity);
// The severity a word names, in any letter case; any other word is Unknown.
Severity SeverityOf(const QString &word);

inline constexpr qsizetype kMostAlertsReply = 4 * 1024 * 1024;   // bytes; a real reply is a few dozen KiB
inline constexpr int kMostAlerts = 200;                          // features read; a place has a handful
inline constexpr qsizetype kAlertTextMost = 8 * 1024;            // UTF-16 units of a headline, the areas,
                                                                 // a description or an instruction
inline constexpr qsizetype kAlertNameMost = 200;                 // an event, the sender, the words of
                                                                 // severity, urgency and certainty

// One alert as the service sent it. Every text is made safe for showing:
// the one-line texts by SafeText, the description and the instruction by
// SafeLines, which keeps the service's line breaks.
struct Alert {
    QString id;            // the feature's id, else properties.@id or properties.id (at most 512 units)
    QString event;         // e.g. "Flood Warning"; the headline's start, or "Weather alert", when none is given
    QString headline;
    QString description;
    QString instruction;
    QString areaDesc;
    QString sender;        // senderName, e.g. "NWS Melbourne FL"
    QString messageType;   // "Alert", "Update" or "Cancel"
    Severity severity = Severity::Unknown;
    QString urgency;       // as sent: "Immediate", "Expected", "Future", "Past" or "Unknown"
    QString certainty;     // as sent: "Observed", "Likely", "Possible", "Unlikely" or "Unknown"
    // With the reply's own offset from UTC; invalid when missing or null.
    QDateTime sent;
    QDateTime onset;
    QDateTime ends;
    QDateTime expires;
    QStringList references;   // the alerts this one updates: each one's identifier (else its @id)
    QString vtecEvent;        // "KMLB.FL.W.0007": office, phenomenon, significance and event
                              // number of the first VTEC string; empty without one

    // When the alert ends: `ends` when given, else `expires`; invalid when neither is.
    QDateTime End() const;
    bool operator==(const Alert &) const = default;
};

struct AlertsReply {
    std::vector<Alert> alerts;   // in the reply's order
    QDateTime updated;           // when the service made the list
    int problemStatus = 0;       // for an error reply (rule "problem"): the HTTP status it names
};

// "/alerts/active?point=LAT,LON" for the settings' latitude and longitude
// (PlaceText: 4 decimals at most, no trailing zeros). Nothing when either is
// not a number or out of range.
std::optional<QString> AlertsQueryPath(const QString &latitude, const QString &longitude);

// The alerts of a reply (the text as the download hands it). Refused before
// it is parsed: a reply over kMostAlertsReply bytes (NotLoaded, rule
// "reply-size"), nesting deeper than 64 levels ("nesting") or holding more
// than 100,000 arrays and objects ("node-count"); not JSON: "json". Only the
// first kMostAlerts features are read, and of them only those whose status
// is "Actual" (tests and exercises never reach the user). An error reply of
// the service is Absent, rule "problem", with its words and status; a reply
// without a list of features is Absent, rule "no-features". An empty list is
// Done with no alerts.
Result<AlertsReply> ReadAlerts(const QString &reply);

// True when the read is the service's answer for a place outside its area:
// an error reply with status 400 or 404.
bool OutsideServiceArea(const Result<AlertsReply> &read);

// The alerts to show at `now`: those that have not ended (End() later than
// `now`, or no end named) and are no cancellation, the highest severity
// first, then by onset (the sent time where no onset is named), then in the
// reply's order.
std::vector<Alert> ActiveAlerts(const std::vector<Alert> &alerts, const QDateTime &now);

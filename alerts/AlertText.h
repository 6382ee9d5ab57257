#pragma once

#include "alerts/Alerts.h"

#include <QLocale>
#include <QString>

#include <vector>

// What the window, the alert window and a desktop notification say about
// the active alerts: plain text only, every piece of it from the alerts'
// safe texts.

// The style's icon for a severity: critical for Extreme and Severe, warning
// for Moderate, information otherwise.
enum class AlertIcon { Information, Warning, Critical };
AlertIcon IconOf(Severity severity);

// The strip above the list, for the active alerts in their order.
struct AlertStrip {
    QString text;                    // the events joined by " · ", each once: "Tornado Warning · Flood Watch"
    QString accessibleDescription;   // each event with its severity: "Tornado Warning, extreme; Flood Watch, severe"
    QString toolTip;                 // one alert a line: "Tornado Warning: <headline>", each line cut to 300
    Severity highest = Severity::Unknown;
    AlertIcon icon = AlertIcon::Information;
};
// All texts empty when there are no alerts.
AlertStrip ComposeAlertStrip(const std::vector<Alert> &active);

// One labelled part of the alert window.
struct AlertSection {
    QString label;         // "Severity", "Urgency", "Certainty", "Areas", "Onset", "Ends" or "Expires",
                           // "Sender", "Description", "Instruction"
    QString text;
    bool lines = false;    // several lines, kept as the service broke them (description, instruction)
};

struct AlertWindowText {
    QString title;         // "Weather alert: Flood Warning"
    QString heading;       // the headline, or the event when there is none
    std::vector<AlertSection> sections;   // those with something to say, in the order above
};

// The alert window's text: the severity, urgency and certainty each with its
// meaning ("Severe: significant threat to life or property"; "unknown" for
// an unknown or unlisted word), the areas, the onset and the end ("Tue, Oct
// 18 11:00 AM", in the reply's own offset, with `locale`'s names), the
// sender, the whole description and instruction. Every text goes through
// SafeText or SafeLines again, so an alert from anywhere shows safely.
AlertWindowText ComposeAlertWindow(const Alert &alert, const QLocale &locale);

// A desktop notification of an alert, as plain text.
struct AlertNotice {
    QString summary;       // the event
    QString body;          // the headline, then the instruction's first sentence on its own line
    unsigned char urgency = 0;   // 2 for Extreme and Severe, 1 for Moderate, 0 otherwise
};
AlertNotice ComposeNotice(const Alert &alert);

// `text` for a notification server that reads its body as markup: "&", "<"
// and ">" as entities, so that every character shows as written.
QString EscapedForMarkup(const QString &text);

#include "alerts/AlertText.h"

#include "common/Text.h"

#include <QSet>

namespace {

constexpr qsizetype kTipLineMost = 300;
constexpr qsizetype kSentenceMost = 300;

// The meaning of a word of the alert's scale, or "unknown" for a word the
// scale does not list.
QString Meaning(const QString &word, const std::initializer_list<std::pair<const char *, const char *>> &scale)
{
    for (const auto &[name, meaning] : scale)
        if (word.compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
            return QLatin1String(name) + QStringLiteral(": ") + QLatin1String(meaning);
    return QStringLiteral("unknown");
}

QString SeverityMeaning(Severity severity)
{
    return Meaning(SeverityWord(severity), {{"Extreme", "extraordinary threat to life or property"},
                                            {"Severe", "significant threat to life or property"},
                                            {"Moderate", "possible threat to life or property"},
                                            {"Minor", "minimal to no known threat to life or property"}});
}

QString UrgencyMeaning(const QString &urgency)
{
    return Meaning(urgency, {{"Immediate", "responsive action should be taken immediately"},
                             {"Expected", "responsive action should be taken soon (within the next hour)"},
                             {"Future", "responsive action should be taken in the near future"},
                             {"Past", "responsive action is no longer required"}});
}

QString CertaintyMeaning(const QString &certainty)
{
    return Meaning(certainty, {{"Observed", "determined to have occurred or to be ongoing"},
                               {"Likely", "likely (more than about 50 %)"},
                               {"Possible", "possible but not likely"},
                               {"Unlikely", "not expected to occur"}});
}

QString TimeText(const QDateTime &time, const QLocale &locale)
{
    return locale.toString(time, QStringLiteral("ddd, MMM d h:mm AP"));
}

// The instruction's first sentence, on one line: up to the first full stop,
// question or exclamation mark that ends a word.
QString FirstSentence(const QString &instruction)
{
    // Enough of the text for any sentence, before its spaces are collapsed.
    const QString text = SafeText(instruction.left(4 * kSentenceMost), 4 * kSentenceMost);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if ((c == u'.' || c == u'!' || c == u'?') && (i + 1 == text.size() || text.at(i + 1) == u' '))
            return SafeText(text.left(i + 1), kSentenceMost);
    }
    return SafeText(text, kSentenceMost);
}

} // namespace

AlertIcon IconOf(Severity severity)
{
    if (severity >= Severity::Severe)
        return AlertIcon::Critical;
    return severity == Severity::Moderate ? AlertIcon::Warning : AlertIcon::Information;
}

AlertStrip ComposeAlertStrip(const std::vector<Alert> &active)
{
    AlertStrip strip;
    QStringList events, described, tips;
    QSet<QString> named;
    for (const Alert &alert : active) {
        const QString event = SafeText(alert.event, kAlertNameMost);
        const QString headline = SafeText(alert.headline, kTipLineMost);
        tips << SafeText(headline.isEmpty() ? event : event + QStringLiteral(": ") + headline, kTipLineMost);
        strip.highest = std::max(strip.highest, alert.severity);
        // The same event for two areas (or two rivers) is one name in the strip.
        if (named.contains(event))
            continue;
        named.insert(event);
        events << event;
        described << event + QStringLiteral(", ") + SeverityWord(alert.severity).toLower();
    }
    strip.text = events.join(QStringLiteral(" \u00B7 "));
    strip.accessibleDescription = described.join(QStringLiteral("; "));
    strip.toolTip = tips.join(u'\n');
    strip.icon = IconOf(strip.highest);
    return strip;
}

AlertWindowText ComposeAlertWindow(const Alert &alert, const QLocale &locale)
{
    AlertWindowText window;
    const QString event = SafeText(alert.event, kAlertNameMost);
    window.title = QStringLiteral("Weather alert: ") + event;
    window.heading = SafeText(alert.headline, kAlertTextMost);
    if (window.heading.isEmpty())
        window.heading = event;
    const auto add = [&window](const char *label, const QString &text, bool lines = false) {
        if (!text.isEmpty())
            window.sections.push_back(AlertSection{QLatin1String(label), text, lines});
    };
    add("Severity", SeverityMeaning(alert.severity));
    add("Urgency", UrgencyMeaning(alert.urgency));
    add("Certainty", CertaintyMeaning(alert.certainty));
    add("Areas", SafeText(alert.areaDesc, kAlertTextMost));
    if (alert.onset.isValid())
        add("Onset", TimeText(alert.onset, locale));
    if (alert.ends.isValid())
        add("Ends", TimeText(alert.ends, locale));
    else if (alert.expires.isValid())
        add("Expires", TimeText(alert.expires, locale));
    add("Sender", SafeText(alert.sender, kAlertNameMost));
    add("Description", SafeLines(alert.description, kAlertTextMost), true);
    add("Instruction", SafeLines(alert.instruction, kAlertTextMost), true);
    return window;
}

AlertNotice ComposeNotice(const Alert &alert)
{
    AlertNotice notice;
    notice.summary = SafeText(alert.event, kAlertNameMost);
    notice.body = SafeText(alert.headline, kTipLineMost);
    const QString sentence = FirstSentence(alert.instruction);
    if (!sentence.isEmpty())
        notice.body += notice.body.isEmpty() ? sentence : u'\n' + sentence;
    notice.urgency = alert.severity >= Severity::Severe ? 2 : alert.severity == Severity::Moderate ? 1 : 0;
    return notice;
}

QString EscapedForMarkup(const QString &text)
{
    QString out;
    out.reserve(text.size() + text.size() / 8);
    for (const QChar c : text) {
        if (c == u'&')
            out += QStringLiteral("&amp;");
        else if (c == u'<')
            out += QStringLiteral("&lt;");
        else if (c == u'>')
            out += QStringLiteral("&gt;");
        else
            out += c;
    }
    return out;
}

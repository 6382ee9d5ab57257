// The forecast stages from reply text to what the window shows: extraction
// (XML load and both scans), composition, the moonrise row and the title.
//
// A second opinion on the load: Qt's stream reader checks well-formedness in
// full, so a reply that it refuses but the extraction took means the
// program's own checks let something through (e.g. a document type
// declaration whose internal subset made the check skip a bare "&").
#include "FuzzInput.h"

#include "common/RuntimeError.h"
#include "forecast/Display.h"

#include <QXmlStreamReader>

namespace {

// What the program does not promise to check is made neutral before the
// reader sees the reply (each character replaced by one, so that lines and
// columns stay):
//  - the XML declaration's own content (version, encoding, the case of
//    "xml"): the reply is already text when it is loaded, and nothing in the
//    declaration is read.
//  - which characters from U+0080 on a name may hold: the parser takes any
//    of them, the reader only letters and a few marks, and no value is
//    found by a name. Every such character becomes "x"; in text and
//    attribute values all of them are legal, so nothing else changes.
//  - colons in names: XML lets a name hold any number anywhere, the reader
//    only one between two parts, even without namespace processing. In every
//    run of name characters only a first colon between two others stays, the
//    rest become "x"; outside names that changes nothing that matters. The
//    reader takes no colon at all in a processing instruction's target;
//    those become "x" too (instructions carry no values).
//  - the declarations inside a document type declaration's internal subset:
//    the program reads none of them (an entity they declare is refused where
//    it is used). The subset's end is found here by the rules of XML, so a
//    reply whose own check ends the subset elsewhere still differs.

// The "]" that ends the internal subset opened at `open`, stepping over
// literals, comments and processing instructions; -1 when there is none.
qsizetype SubsetEnd(const QString &text, qsizetype open)
{
    const QStringView view(text);
    for (qsizetype i = open + 1; i < text.size(); ++i) {
        const QChar c = text.at(i);
        qsizetype next = i;
        if (c == u'"' || c == u'\'')
            next = text.indexOf(c, i + 1);
        else if (view.mid(i).startsWith(u"<!--"))
            next = text.indexOf(QStringLiteral("-->"), i + 4);
        else if (view.mid(i).startsWith(u"<?"))
            next = text.indexOf(QStringLiteral("?>"), i + 2);
        else if (c == u']')
            return i;
        if (next < 0)
            return -1;
        i = next;
    }
    return -1;
}

// The end (">") of the markup that starts at `at` ("<"), stepping over
// quoted values; -1 when there is none.
qsizetype TagEnd(const QString &text, qsizetype at)
{
    for (qsizetype i = at + 1; i >= 0 && i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'"' || c == u'\'')
            i = text.indexOf(c, i + 1);
        else if (c == u'>')
            return i;
    }
    return -1;
}

// Walks the reply's markup in order (declaration, comments, CDATA sections,
// processing instructions, the document type declaration, tags), so that
// what looks like markup inside another piece of markup is left alone.
void NeutralizeMarkup(QString &text)
{
    const QStringView view(text);
    qsizetype i = 0;
    if (view.startsWith(u"<?xml", Qt::CaseInsensitive)) {
        const qsizetype end = text.indexOf(QStringLiteral("?>"));
        if (end < 0)
            return;
        for (qsizetype k = 0; k < end + 2; ++k)
            text[k] = u' ';
        i = end + 2;
    }
    while ((i = text.indexOf(u'<', i)) >= 0) {
        const QStringView rest = view.mid(i);
        qsizetype end = -1;
        if (rest.startsWith(u"<!--")) {
            end = text.indexOf(QStringLiteral("-->"), i + 4);
            end = end < 0 ? -1 : end + 2;
        } else if (rest.startsWith(u"<![CDATA[")) {
            end = text.indexOf(QStringLiteral("]]>"), i + 9);
            end = end < 0 ? -1 : end + 2;
        } else if (rest.startsWith(u"<?")) {
            end = text.indexOf(QStringLiteral("?>"), i + 2);
            for (qsizetype k = i + 2; k < end; ++k)
                if (text.at(k) == u':')
                    text[k] = u'x';
            end = end < 0 ? -1 : end + 1;
        } else if (rest.startsWith(u"<!DOCTYPE")) {
            // The internal subset starts at the first "[" outside the
            // external identifier's literals.
            qsizetype k = i + 9;
            for (; k >= 0 && k < text.size() && text.at(k) != u'[' && text.at(k) != u'>'; ++k)
                if (text.at(k) == u'"' || text.at(k) == u'\'')
                    k = text.indexOf(text.at(k), k + 1);
            if (k < 0 || k >= text.size())
                return;
            if (text.at(k) == u'[') {
                const qsizetype close = SubsetEnd(text, k);
                if (close < 0)
                    return;
                for (qsizetype m = k + 1; m < close; ++m)
                    if (text.at(m) != u'\n' && text.at(m) != u'\r')
                        text[m] = u' ';
                k = close;
            }
            end = text.indexOf(u'>', k);
        } else {
            end = TagEnd(text, i);
        }
        if (end < 0)
            return;
        i = end + 1;
    }
}

bool IsNameCharacter(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9') || u == u'.'
        || u == u'-' || u == u'_' || u == u':';
}

QString WithoutUncheckedParts(const QString &reply)
{
    QString text = reply;
    text.detach(); // views of it must stay valid while characters change
    for (QChar &c : text)
        if (c.unicode() >= 0x80)
            c = u'x';
    for (qsizetype i = 0; i < text.size();) {
        if (!IsNameCharacter(text.at(i))) {
            ++i;
            continue;
        }
        qsizetype end = i;
        while (end < text.size() && IsNameCharacter(text.at(end)))
            ++end;
        bool kept = false;
        for (qsizetype k = i; k < end; ++k) {
            if (text.at(k) != u':')
                continue;
            if (!kept && k > i && k + 1 < end && text.at(k + 1) != u':')
                kept = true;
            else
                text[k] = u'x';
        }
        i = end;
    }
    NeutralizeMarkup(text);
    return text;
}

// The reader's verdict on the reply. It is already text, so its encoding
// declaration does not apply (the reader ignores it too). Returns the
// reader's error, empty when the reply is well-formed.
QString StreamReaderError(const QString &reply)
{
    QXmlStreamReader reader(WithoutUncheckedParts(reply));
    // XML alone, without the namespace rules: the program checks only that a
    // prefix is declared, while the reader would also refuse, say, a name
    // with two colons, which changes no value. The prefix check has its own
    // tests.
    reader.setNamespaceProcessing(false);
    while (!reader.atEnd())
        reader.readNext();
    if (!reader.hasError())
        return QString();
    return QStringLiteral("line %1 column %2: %3")
        .arg(reader.lineNumber())
        .arg(reader.columnNumber())
        .arg(reader.errorString());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString reply = fuzzinput::Text(data, size);
    const Result<ForecastExtraction> stages = ExtractForecastReply(reply);
    if (!stages && (stages.rule.isEmpty() || stages.reason.isEmpty()))
        fuzzinput::Fail("a refused or failed extraction without its rule and reason");
    if (!stages)
        return 0; // the window keeps what it had
    if (const QString error = StreamReaderError(reply); !error.isEmpty())
        fuzzinput::Fail("a reply that is not well-formed was loaded:", error);

    DisplayInputs inputs;
    inputs.almanacText = QStringLiteral("Sunrise:  6:01 AM\r\n");
    inputs.almanacTitle = QStringLiteral(" Moon Full 100%");
    inputs.nextFullMoon = MakeDate(2026, 12, 23, 17, 28);
    inputs.lastAlmanacTime = MakeDate(2026, 12, 6, 10, 0);
    inputs.lastForecastTime = inputs.lastAlmanacTime;
    inputs.timerEnabled = size % 2 == 0;
    const Result<ForecastView> composed =
        ComposeForecastView(stages.value, inputs, fuzzinput::Locale(static_cast<int>(size)));
    const ForecastView &view = composed.value;
    if (composed) {
        if (view.rows.size() != 8)
            fuzzinput::Fail("forecast rows", QString::number(view.rows.size()));
        if (view.timeRows.size() != (inputs.timerEnabled ? 2u : 1u))
            fuzzinput::Fail("time rows", QString::number(view.timeRows.size()));
        for (const ListRow &row : view.rows)
            if (row.subItems.size() != 4)
                fuzzinput::Fail("row columns", row.text);
    } else if (view.temperatureText.isEmpty()) {
        fuzzinput::Fail("a failed composition without its temperature");
    }
    const ListRow moonrise = MoonriseRow(stages.value.stationText);
    (void)moonrise;
    (void)ForecastTitle(view.temperatureText, inputs.almanacTitle);
    return 0;
}

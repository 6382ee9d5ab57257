#include "forecast/Extraction.h"

#include "forecast/NodeText.h"

#include "common/RuntimeError.h"
#include "common/Checked16.h"
#include "common/Text.h"
#include "forecast/WellFormed.h"

#include <pugixml.hpp>

#include <QByteArray>

#include <algorithm>

namespace {

// How the reply is arranged: which temperature series comes first and which
// 12-hour time layout names the rows.
struct ReplyShape {
    QString firstTempName;
    QString secondTempName;
    QString firstTempEnd;
    QString periodLayoutKey;
    bool nightFirst = false;
};

// A section bound that has not been found yet. It also caps the scan: no
// section takes a field at index 1000 or later unless its end was found.
constexpr int kNotFound = 1000;
// Rows 1-10 of the period table can hold names and chances; rows 1-7 the rest.
constexpr int kLastTableRow = 10;
constexpr int kLastShownRow = 7;

ReplyShape ShapeOf(const QString &reply, int16_t minimumAt, int16_t maximumAt)
{
    ReplyShape shape;
    if (minimumAt > maximumAt) {
        // The day's maximum comes first (or is missing): the forecast opens
        // with a day period.
        shape.firstTempName = QStringLiteral("Daily Maximum");
        shape.secondTempName = QStringLiteral("Daily Minimum");
        shape.firstTempEnd = QStringLiteral("minimum");
        shape.nightFirst = false;
    } else {
        shape.firstTempName = QStringLiteral("Daily Minimum");
        shape.secondTempName = QStringLiteral("Daily Maximum");
        shape.firstTempEnd = QStringLiteral("maximum");
        shape.nightFirst = true;
    }
    shape.periodLayoutKey = Contains(reply, QStringLiteral("k-p12h-n14")) ? QStringLiteral("k-p12h-n14")
                                                                          : QStringLiteral("k-p12h-n13");
    if (Contains(reply, QStringLiteral("k-p12h-n15")))
        shape.periodLayoutKey = QStringLiteral("k-p12h-n15");
    return shape;
}

// Field indexes, rows and phases are 16-bit numbers; every sum that feeds
// one is checked the same way.
int Add16(int value, int step, const char *what)
{
    return CheckedInt16(static_cast<long long>(value) + step, what);
}

// The next row of a column that holds at most ten rows.
int NextTableRow(int row, const char *column)
{
    const int next = row + 1;
    if (next > kLastTableRow)
        ThrowOutOfRange(QStringLiteral("row %1 of the %2 column").arg(next).arg(QString::fromLatin1(column)));
    return next;
}

// Fields of one flattened element. A list whose last index does not fit the
// 16-bit field index cannot be scanned; the separators are counted before
// the split, so a flood of them costs no list of millions of fields.
QStringList FieldsOf(const pugi::xml_node &element, const char *what)
{
    const std::string text = NodeTextUtf8(element);
    CheckedInt16(std::count(text.begin(), text.end(), '|'), what);
    return SplitText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())), QStringLiteral("|"));
}

// The short condition text for one worded forecast: its first sentence, or
// its first clause when a comma comes first; wind gusts are always kept.
QString ConditionSummary(const QString &text)
{
    int cut = InStr16(text, QStringLiteral("."));
    const int comma = InStr16(text, QStringLiteral(","));
    if (comma > 1 && comma < cut)
        cut = comma;
    QString summary = text.left(cut);
    const qsizetype gusts = text.indexOf(QStringLiteral("gusts"));
    if (gusts >= 0)
        summary = summary.replace(u'.', u',') + u' ' + text.mid(gusts);
    return summary;
}

// Scan of the forecast data element: period names, the two temperature
// series, the chance of precipitation and the worded forecast, found by their
// marker texts among the flattened values.
void ScanForecastData(const pugi::xml_node &element, const ReplyShape &shape, ForecastExtraction &out)
{
    const QStringList fields = FieldsOf(element, "last forecast field index");
    const int last = static_cast<int>(fields.size()) - 1;
    if (last <= 0)
        return;

    enum Section { Names, FirstTemps, SecondTemps, Chances, Texts, SectionCount };
    int start[SectionCount];
    int end[SectionCount];
    for (int s = 0; s < SectionCount; ++s) {
        start[s] = kNotFound;
        end[s] = kNotFound;
    }
    int row = 0;        // shared by all sections; every start marker resets it
    int pickPhase = 0;  // names (modulo 4) and worded forecasts (modulo 2)
    int chancePhase = 0;
    bool nightFirst = shape.nightFirst;
    bool chanceNightPending = false;
    bool textNightPending = false;
    PeriodTable &table = out.periods;

    const QString local = QStringLiteral("local");
    const QString hour = QStringLiteral("hour");
    const QString probability = QStringLiteral("Probability");
    const QString textForecast = QStringLiteral("Text Forecast");
    const QString neverEnds = QStringLiteral("zzzz");

    for (int i = 1; i <= last; ++i) {
        const QString &field = fields.at(i);
        const auto inside = [&](Section s) { return start[s] < i && i < end[s]; };

        // Period names: every second period of the 12-hour layout.
        if (Contains(field, shape.periodLayoutKey)) {
            start[Names] = i;
            row = 0;
            pickPhase = Add16(i, 1, "field index") % 4;
        }
        if (start[Names] < kNotFound && Contains(field, local))
            end[Names] = i;
        if (inside(Names) && i % 4 == pickPhase) {
            row = NextTableRow(row, "period name");
            table[row][0] = field;
            if (nightFirst) {
                // The opening night stands alone; from the next row on each
                // row starts at a day, two periods (four fields) apart.
                pickPhase = Add16(i, 2, "field index") % 4;
                chanceNightPending = true;
                textNightPending = true;
                nightFirst = false;
            }
        }

        // First temperature series.
        if (Contains(field, shape.firstTempName)) {
            start[FirstTemps] = i;
            row = 0;
        }
        if (start[FirstTemps] < kNotFound && Contains(field, shape.firstTempEnd))
            end[FirstTemps] = i;
        if (inside(FirstTemps)) {
            ++row;
            if (row <= kLastShownRow)
                table[row][1] = field;
        }

        // Second temperature series, ended by the precipitation type ("12 hour").
        if (Contains(field, shape.secondTempName)) {
            start[SecondTemps] = i;
            row = 0;
        }
        if (start[SecondTemps] < kNotFound && Contains(field, hour))
            end[SecondTemps] = i;
        if (inside(SecondTemps)) {
            ++row;
            if (row <= kLastShownRow)
                table[row][2] = field;
        }

        // Chance of precipitation: a day shows the larger of its own chance
        // and the following night's.
        if (Contains(field, probability)) {
            start[Chances] = i;
            row = 0;
            chancePhase = Add16(i, 1, "field index") % 2;
        }
        if (start[Chances] < kNotFound && Contains(field, shape.periodLayoutKey))
            end[Chances] = i;
        if (inside(Chances) && i % 2 == chancePhase) {
            row = NextTableRow(row, "chance of precipitation");
            QString chance = field;
            if (!chanceNightPending) {
                const QString &night =
                    FieldAt(fields, Add16(i, 1, "field index"), "forecast field after a chance");
                if (LeadingNumber(field) < LeadingNumber(night))
                    chance = night;
            }
            if (!chance.isEmpty())
                chance += u'%';
            table[row][3] = chance;
            if (chanceNightPending) {
                chancePhase = 1 - chancePhase;
                chanceNightPending = false;
            }
        }

        // Worded forecast: one text per 12-hour period.
        if (Contains(field, textForecast)) {
            start[Texts] = i;
            row = 0;
            pickPhase = Add16(i, 1, "field index") % 2;
        }
        if (start[Texts] < kNotFound && Contains(field, neverEnds))
            end[Texts] = i;
        if (inside(Texts) && i % 2 == pickPhase) {
            ++row;
            if (row <= kLastShownRow)
                table[row][4] = ConditionSummary(field);
            if (textNightPending) {
                pickPhase = Add16(i, 1, "field index") % 2;
                nightFirst = true;
                textNightPending = false;
            }
        }
    }
    out.nightFirst = nightFirst;
}

// Scan of the current-observations element: each value sits a fixed number
// of fields after its type text.
void ScanObservations(const pugi::xml_node &element, ForecastExtraction &out)
{
    const QStringList fields = FieldsOf(element, "last observation field index");
    const int last = static_cast<int>(fields.size()) - 1;
    if (last <= 0)
        return;

    const auto at = [&](int i, int offset) -> const QString & {
        return FieldAt(fields, Add16(i, offset, "field index"), "observation field");
    };
    bool firstLocation = true;
    for (int i = 1; i <= last; ++i) {
        const QString &field = fields.at(i);
        if (field == u"point1") {
            // The observation site is the first location; later mentions of
            // the same key belong to other elements.
            if (firstLocation)
                out.stationText = at(i, 2);
            firstLocation = false;
        } else if (field == u"apparent") {
            out.apparentTemp = at(i, 3);
        } else if (field == u"dew point") {
            out.dewPointText = at(i, 3);
        } else if (field == u"relative") {
            out.humidityText = at(i, 2);
        } else if (field == u"sustained") {
            out.windSpeedText = at(i, 3);
        } else if (field == u"barometer") {
            out.pressureText = at(i, 3);
        }
    }
}

// Parsed as a fragment so that what lies outside the root element stays in
// the document, where the tree check can refuse it.
constexpr unsigned kParseOptions =
    pugi::parse_default | pugi::parse_comments | pugi::parse_pi | pugi::parse_fragment;

// The extraction itself; a scan that meets a value out of its bounds stops
// it with the run-time error.
void Extract(const QString &reply, ExtractionResult &result)
{
    const int16_t minimumAt = InStr16(reply, QStringLiteral("Daily Minimum"));
    const int16_t maximumAt = InStr16(reply, QStringLiteral("Daily Maximum"));
    if (minimumAt == 0) {
        result.outcome = ForecastOutcome::NoForecast;
        return;
    }
    const ReplyShape shape = ShapeOf(reply, minimumAt, maximumAt);
    result.extraction.nightFirst = shape.nightFirst;

    if (!WellFormedText(reply)) {
        result.outcome = ForecastOutcome::NotLoaded;
        return;
    }
    // The reply is already text; its own encoding declaration no longer
    // applies, so the parser is told the encoding of the buffer it gets.
    // Parsed in place: the document lives in this buffer, not in a copy.
    QByteArray utf8 = reply.toUtf8();
    pugi::xml_document document;
    const pugi::xml_parse_result parsed =
        document.load_buffer_inplace(utf8.data(), static_cast<size_t>(utf8.size()), kParseOptions, pugi::encoding_utf8);
    if (!parsed || !WellFormedTree(document)) {
        result.outcome = ForecastOutcome::NotLoaded;
        return;
    }

    int childNumber = 0;
    for (const pugi::xml_node &child : document.document_element().children()) {
        childNumber = Add16(childNumber, 1, "root child number");
        if (child.type() != pugi::node_element)
            throw RuntimeError(QStringLiteral("Type mismatch: child %1 of the forecast document's root is not an element")
                                   .arg(childNumber));
        if (childNumber == 2)
            ScanForecastData(child, shape, result.extraction);
        else if (childNumber == 3)
            ScanObservations(child, result.extraction);
    }
    result.outcome = ForecastOutcome::Extracted;
}

} // namespace

ExtractionResult ExtractForecastReply(const QString &reply)
{
    ExtractionResult result;
    try {
        Extract(reply, result);
    } catch (const RuntimeError &error) {
        result.outcome = ForecastOutcome::Failed;
        result.failure = error.description();
    }
    return result;
}

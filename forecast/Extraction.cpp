#include "forecast/Extraction.h"

#include "forecast/NodeText.h"

#include "common/RuntimeError.h"
#include "common/Checked16.h"
#include "common/Text.h"
#include "forecast/WellFormed.h"

#include <pugixml.hpp>

#include <QUrl>

#include <QByteArray>

#include <algorithm>
#include <array>
#include <string_view>

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

} // namespace

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

namespace {

// The forecast data scan's running state, shared by its five sections.
struct DataScan {
    const QStringList &fields;
    PeriodTable &table;
    bool nightFirst;
    int row = 0;   // shared by all sections; every start marker resets it
    // Which fields a section takes: field index modulo its modulus equal to
    // its phase. Names (modulo 4) and worded forecasts (modulo 2) share one.
    int phase[2] = {0, 0};
    bool chanceNightPending = false;
    bool textNightPending = false;
};

enum PhaseSlot { kPickPhase = 0, kChancePhase = 1 };

// One section of the forecast data: the markers that open and close it, the
// fields it takes between them, and what it does with each.
struct Section {
    QString start;
    QString end;
    int modulus;    // 0: every field between the markers
    PhaseSlot phaseSlot;
    void (*take)(DataScan &scan, int i, const QString &field, int column);
    int column;
};

// Period names: every second period of the 12-hour layout. A night-first
// forecast's opening night stands alone; from the next row on each row
// starts at a day, two periods (four fields) apart.
void TakeName(DataScan &scan, int i, const QString &field, int column)
{
    scan.row = NextTableRow(scan.row, "period name");
    scan.table[scan.row][column] = field;
    if (scan.nightFirst) {
        scan.phase[kPickPhase] = Add16(i, 2, "field index") % 4;
        scan.chanceNightPending = true;
        scan.textNightPending = true;
        scan.nightFirst = false;
    }
}

void TakeTemperature(DataScan &scan, int, const QString &field, int column)
{
    ++scan.row;
    if (scan.row <= kLastShownRow)
        scan.table[scan.row][column] = field;
}

// A day shows the larger of its own chance and the following night's; a
// night-first forecast's opening night shows its own alone.
void TakeChance(DataScan &scan, int i, const QString &field, int column)
{
    scan.row = NextTableRow(scan.row, "chance of precipitation");
    QString chance = field;
    if (!scan.chanceNightPending) {
        const QString &night = FieldAt(scan.fields, Add16(i, 1, "field index"), "forecast field after a chance");
        if (LeadingNumber(field) < LeadingNumber(night))
            chance = night;
    }
    if (!chance.isEmpty())
        chance += u'%';
    scan.table[scan.row][column] = chance;
    if (scan.chanceNightPending) {
        scan.phase[kChancePhase] = 1 - scan.phase[kChancePhase];
        scan.chanceNightPending = false;
    }
}

void TakeText(DataScan &scan, int i, const QString &field, int column)
{
    ++scan.row;
    if (scan.row <= kLastShownRow)
        scan.table[scan.row][column] = ConditionSummary(field);
    if (scan.textNightPending) {
        scan.phase[kPickPhase] = Add16(i, 1, "field index") % 2;
        scan.nightFirst = true;
        scan.textNightPending = false;
    }
}

// The sections in the order they see each field. The second temperature
// series ends at the precipitation type ("12 hour"); the worded forecast's
// end marker never comes, so it runs to the last field.
std::array<Section, 5> SectionsOf(const ReplyShape &shape)
{
    return {{
        {shape.periodLayoutKey, QStringLiteral("local"), 4, kPickPhase, TakeName, 0},
        {shape.firstTempName, shape.firstTempEnd, 0, kPickPhase, TakeTemperature, 1},
        {shape.secondTempName, QStringLiteral("hour"), 0, kPickPhase, TakeTemperature, 2},
        {QStringLiteral("Probability"), shape.periodLayoutKey, 2, kChancePhase, TakeChance, 3},
        {QStringLiteral("Text Forecast"), QStringLiteral("zzzz"), 2, kPickPhase, TakeText, 4},
    }};
}

// Scan of the forecast data element: each field is shown to every section in
// turn, which notes its start and end markers and takes the fields between.
void ScanForecastData(const pugi::xml_node &element, const ReplyShape &shape, ForecastExtraction &out)
{
    const QStringList fields = FieldsOf(element, "last forecast field index");
    const int last = static_cast<int>(fields.size()) - 1;
    if (last <= 0)
        return;

    DataScan scan{fields, out.periods, shape.nightFirst};
    const std::array<Section, 5> sections = SectionsOf(shape);
    std::array<int, 5> start;
    std::array<int, 5> end;
    start.fill(kNotFound);
    end.fill(kNotFound);
    for (int i = 1; i <= last; ++i) {
        const QString &field = fields.at(i);
        for (size_t s = 0; s < sections.size(); ++s) {
            const Section &section = sections[s];
            if (Contains(field, section.start)) {
                start[s] = i;
                scan.row = 0;
                if (section.modulus != 0)
                    scan.phase[section.phaseSlot] = Add16(i, 1, "field index") % section.modulus;
            }
            if (start[s] < kNotFound && Contains(field, section.end))
                end[s] = i;
            const bool picked = section.modulus == 0 || i % section.modulus == scan.phase[section.phaseSlot];
            if (start[s] < i && i < end[s] && picked)
                section.take(scan, i, field, section.column);
        }
    }
    out.nightFirst = scan.nightFirst;
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

// What the window shows beside the table: the hazards, each row's whole
// worded forecast and when the reply was made. These are read from the
// document itself, not from the flattened fields.

constexpr qsizetype kHeadlineMost = 120;
constexpr qsizetype kUrlMost = 2048;
constexpr qsizetype kPeriodTextMost = 1000;
constexpr size_t kMostHazards = 100;
// Longer than any date and time with an offset: a longer text is no date.

QString Utf8(const char *text)
{
    return QString::fromUtf8(text);
}

// The period whose name list row `row` shows, counted from 0 in the 12-hour
// layout, as the name scan picks them: every second period from the first,
// or for a night-first reply the opening night alone and then every second
// period from the day after it.
int PeriodOfRow(int row, bool nightFirst)
{
    if (!nightFirst)
        return 2 * (row - 1);
    return row == 1 ? 0 : 2 * row - 3;
}

// Calls `visit` for every element below `top` in document order, walking by
// the parent and sibling links (no stack grows with the depth). The
// elements below one for which `visit` returns false are passed over.
template <typename Visit>
void EachElementBelow(const pugi::xml_node &top, Visit visit)
{
    pugi::xml_node node = top.first_child();
    while (node) {
        if (node.type() == pugi::node_element && visit(node) && node.first_child()) {
            node = node.first_child();
            continue;
        }
        while (node != top && !node.next_sibling())
            node = node.parent();
        if (node == top)
            return;
        node = node.next_sibling();
    }
}

void TakeHazard(const pugi::xml_node &hazard, std::vector<Hazard> &hazards)
{
    Hazard h{SafeText(Utf8(hazard.attribute("headline").value()), kHeadlineMost),
             SafeText(Utf8(hazard.child("hazardTextURL").text().get()), kUrlMost)};
    if (std::find(hazards.begin(), hazards.end(), h) == hazards.end())
        hazards.push_back(std::move(h));
}

// When each row's period begins: the start times of the time layout that
// the worded forecast names, in period order.
void TakePeriodStarts(const pugi::xml_node &data, const pugi::xml_node &wordedForecast, bool nightFirst,
                      ForecastExtraction &out)
{
    const std::string_view key = wordedForecast.attribute("time-layout").value();
    for (const pugi::xml_node &layout : data.children("time-layout")) {
        if (key.empty() || std::string_view(layout.child("layout-key").text().get()) != key)
            continue;
        std::vector<QDateTime> starts;
        for (const pugi::xml_node &start : layout.children("start-valid-time")) {
            if (starts.size() > size_t(2 * kLastShownRow))
                break;
            starts.push_back(ReadIssueTime(Utf8(start.text().get())));
        }
        for (int row = 1; row <= kLastShownRow; ++row)
            if (const size_t p = size_t(PeriodOfRow(row, nightFirst)); p < starts.size())
                out.periodStarts[size_t(row)] = starts[p];
        return;
    }
}

// The whole worded forecast of each row, from the <text> elements of the
// worded forecast in period order.
void TakePeriodTexts(const pugi::xml_node &wordedForecast, bool nightFirst, ForecastExtraction &out)
{
    const int lastPeriod = PeriodOfRow(kLastShownRow, nightFirst);
    std::array<const char *, 2 * kLastShownRow> texts{};
    int period = 0;
    for (const pugi::xml_node &text : wordedForecast.children("text")) {
        if (period > lastPeriod)
            break;
        texts[static_cast<size_t>(period++)] = text.text().get();
    }
    for (int row = 1; row <= kLastShownRow; ++row) {
        const int p = PeriodOfRow(row, nightFirst);
        if (p < period)
            out.periodTexts[static_cast<size_t>(row)] = SafeText(Utf8(texts[static_cast<size_t>(p)]), kPeriodTextMost);
    }
}

// Hazards and worded forecasts of the forecast data element. A hazard is a
// <hazard> in a <hazard-conditions> (each <hazards> element holds one); the
// worded forecast is the first <wordedForecast>.
void ReadForecastExtras(const pugi::xml_node &data, bool nightFirst, ForecastExtraction &out)
{
    bool worded = false;
    EachElementBelow(data, [&](const pugi::xml_node &element) {
        const std::string_view name = element.name();
        if (name == "hazard") {
            if (out.hazards.size() < kMostHazards && std::string_view(element.parent().name()) == "hazard-conditions")
                TakeHazard(element, out.hazards);
            return false;
        }
        if (name == "wordedForecast") {
            if (!worded) {
                TakePeriodTexts(element, nightFirst, out);
                TakePeriodStarts(data, element, nightFirst, out);
            }
            worded = true;
            return false;
        }
        return true;
    });
}

// When the reply was made: the head's creation date. Only a date and time
// with its offset (or "Z") tells the instant; anything else stays invalid.
QDateTime IssuedOf(const pugi::xml_node &root)
{
    return ReadIssueTime(Utf8(root.child("head").child("product").child("creation-date").text().get()));
}

// A refusal that keeps the reply from being read.
void Refuse(Result<ForecastExtraction> &result, QString rule, QString reason)
{
    result = Result<ForecastExtraction>::Failure(Outcome::NotLoaded, std::move(rule), std::move(reason));
}

// The extraction itself; a scan that meets a value out of its bounds stops
// it with the run-time error.
void Extract(const QString &reply, Result<ForecastExtraction> &result)
{
    const int16_t minimumAt = InStr16(reply, QStringLiteral("Daily Minimum"));
    const int16_t maximumAt = InStr16(reply, QStringLiteral("Daily Maximum"));
    if (minimumAt == 0) {
        result = Result<ForecastExtraction>::Failure(Outcome::Absent, QStringLiteral("no-forecast"),
                                                     QStringLiteral("the reply holds no forecast"));
        return;
    }
    const ReplyShape shape = ShapeOf(reply, minimumAt, maximumAt);
    result.value.nightFirst = shape.nightFirst;

    QByteArray utf8;
    pugi::xml_document document;
    if (WellFormedness loaded = LoadReply(reply, utf8, document); !loaded) {
        Refuse(result, std::move(loaded.rule), std::move(loaded.reason));
        return;
    }

    result.value.issued = IssuedOf(document.document_element());
    int childNumber = 0;
    for (const pugi::xml_node &child : document.document_element().children()) {
        childNumber = Add16(childNumber, 1, "root child number");
        if (child.type() != pugi::node_element)
            throw RuleError(QStringLiteral("type-mismatch"),
                            QStringLiteral("Type mismatch: child %1 of the forecast document's root is not an element")
                                .arg(childNumber));
        if (childNumber == 2) {
            ScanForecastData(child, shape, result.value);
            ReadForecastExtras(child, shape.nightFirst, result.value);
        } else if (childNumber == 3)
            ScanObservations(child, result.value);
    }
    result = Result<ForecastExtraction>::Of(std::move(result.value));
}

} // namespace

Result<ForecastExtraction> ExtractForecastReply(const QString &reply)
{
    Result<ForecastExtraction> result;
    try {
        Extract(reply, result);
    } catch (const RuntimeError &error) {
        return FailedBy(error, std::move(result.value));
    }
    return result;
}

bool OpenableHazardAddress(const QString &url)
{
    // The address must start with the service's own https origin and a
    // slash, so no user part, port or look-alike host can follow the name.
    static const QString origin = QStringLiteral("https://forecast.weather.gov/");
    return url.startsWith(origin) && QUrl(url, QUrl::StrictMode).isValid();
}

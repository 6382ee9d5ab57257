// The flattening of elements and the scanning rules, on small replies in the
// service's format written for each case.

#include "common/RuntimeError.h"
#include "common/CodePage.h"
#include "common/Text.h"
#include "forecast/ForecastQuery.h"
#include "forecast/NodeText.h"
#include "forecast/Extraction.h"
#include "support/TestFiles.h"

#include <pugixml.hpp>

#include <QTest>
#include <QTimeZone>

Q_DECLARE_METATYPE(Outcome)

namespace {

QStringList Flattened(const char *xml)
{
    pugi::xml_document document;
    const auto parsed = document.load_string(xml, pugi::parse_default | pugi::parse_comments | pugi::parse_pi);
    if (!parsed)
        qFatal("test XML does not parse: %s", xml);
    return SplitText(NodeText(document.document_element()), QStringLiteral("|"));
}

QString Values(const QStringList &values, const QString &nilForm = QStringLiteral("<value xsi:nil=\"true\"></value>"))
{
    QString out;
    for (const QString &v : values)
        out += v.isEmpty() ? nilForm : QStringLiteral("<value>%1</value>").arg(v);
    return out;
}

// A small forecast in the service's layout. Periods alternate day and night
// starting with `firstPeriod`; `maxima` and `minima` are the two series.
struct Forecast {
    QString key = QStringLiteral("k-p12h-n13-1");
    QStringList periods;
    QStringList maxima;
    QStringList minima;
    QStringList chances;
    QStringList texts;
    bool nightFirst = false;
    bool closingLayout = true; // a later time layout ends the period names
    QString hazards;           // <hazards> elements, after the chances

    QString dataElement() const
    {
        QString data = QStringLiteral("<data type=\"forecast\"><location><location-key>point1</location-key>"
                                      "<area-description>Test Town XX</area-description></location>"
                                      "<time-layout time-coordinate=\"local\" summarization=\"12hourly\">"
                                      "<layout-key>%1</layout-key>")
                           .arg(key);
        for (int p = 0; p < periods.size(); ++p)
            data += QStringLiteral("<start-valid-time period-name=\"%1\">2024-01-%2T06:00:00</start-valid-time>")
                        .arg(periods[p])
                        .arg(p + 10);
        data += QStringLiteral("</time-layout>");
        if (closingLayout)
            data += QStringLiteral("<time-layout time-coordinate=\"local\"><layout-key>k-p24h-n7-1</layout-key>"
                                   "</time-layout>");
        const QString maxElement =
            QStringLiteral("<temperature type=\"maximum\" units=\"Fahrenheit\" time-layout=\"k-p24h-n7-1\">"
                           "<name>Daily Maximum Temperature</name>%1</temperature>")
                .arg(Values(maxima));
        const QString minElement =
            QStringLiteral("<temperature type=\"minimum\" units=\"Fahrenheit\" time-layout=\"k-p24h-n7-2\">"
                           "<name>Daily Minimum Temperature</name>%1</temperature>")
                .arg(Values(minima));
        data += QStringLiteral("<parameters applicable-location=\"point1\">");
        data += nightFirst ? minElement + maxElement : maxElement + minElement;
        data += QStringLiteral("<probability-of-precipitation type=\"12 hour\" units=\"percent\" time-layout=\"%1\">"
                               "<name>12 Hourly Probability of Precipitation</name>%2</probability-of-precipitation>")
                    .arg(key, Values(chances));
        // As in the service's replies, an element of the 12-hour layout
        // stands between the chances and the hazards.
        if (!hazards.isEmpty())
            data += QStringLiteral("<conditions-icon type=\"forecast-NWS\" time-layout=\"%1\"><name>Conditions Icon</name>"
                                   "</conditions-icon>%2")
                        .arg(key, hazards);
        data += QStringLiteral("<wordedForecast time-layout=\"%1\" dataSource=\"x\"><name>Text Forecast</name>").arg(key);
        for (const QString &text : texts)
            data += QStringLiteral("<text>%1</text>").arg(text);
        data += QStringLiteral("</wordedForecast></parameters></data>");
        return data;
    }
};

QString Observations(const QString &parameters, const QString &station = QStringLiteral("Test Airport, XX"))
{
    return QStringLiteral("<data type=\"current observations\"><location><location-key>point1</location-key>"
                          "<point latitude=\"1\" longitude=\"2\"/><area-description>%1</area-description></location>"
                          "<parameters applicable-location=\"point1\">%2</parameters></data>")
        .arg(station, parameters);
}

const QString kStandardObservations = Observations(QStringLiteral(
    "<temperature type=\"apparent\" units=\"Fahrenheit\" time-layout=\"k\"><value>65</value></temperature>"
    "<temperature type=\"dew point\" units=\"Fahrenheit\" time-layout=\"k\"><value>40</value></temperature>"
    "<humidity type=\"relative\" time-layout=\"k\"><value>39</value></humidity>"
    "<wind-speed type=\"sustained\" units=\"knots\" time-layout=\"k\"><value>9</value></wind-speed>"
    "<pressure type=\"barometer\" units=\"inches of mercury\" time-layout=\"k\"><value>29.92</value></pressure>"));

QString Reply(const QString &children)
{
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<dwml version=\"1.0\" "
                          "xmlns:xsi=\"https://www.w3.org/2001/XMLSchema-instance\">"
                          "<head><product concise-name=\"dwmlByDay\"/></head>%1</dwml>")
        .arg(children);
}

ForecastExtraction Extracted(const QString &reply)
{
    const Result<ForecastExtraction> stages = ExtractForecastReply(reply);
    if (stages.outcome != Outcome::Done)
        qFatal("reply was not extracted: %s", qPrintable(stages.reason));
    return stages.value;
}

QStringList Column(const PeriodTable &table, int column, int rows = 7)
{
    QStringList cells;
    for (int r = 1; r <= rows; ++r)
        cells << table[r][column];
    return cells;
}

Forecast DayFirst()
{
    Forecast f;
    f.periods = QStringList{"Today", "Tonight", "Sunday", "Sunday Night", "Monday", "Monday Night"};
    f.maxima = QStringList{"70", "72", "74"};
    f.minima = QStringList{"50", "52", "54"};
    f.chances = QStringList{"", "", "", "", "", ""};
    f.texts = QStringList{"Sunny.", "Clear.", "Sunny.", "Clear.", "Sunny.", "Clear."};
    return f;
}

// One <hazards> element as the service writes it; `url` as XML text.
QString HazardElement(const QString &headline, const QString &url)
{
    return QStringLiteral("<hazards time-layout=\"\"><name>Watches, Warnings, and Advisories</name><hazard-conditions>"
                          "<hazard headline=\"%1\"><hazardTextURL>%2</hazardTextURL></hazard></hazard-conditions>"
                          "</hazards>")
        .arg(headline, url);
}

// The rule and the run-time error that stopped the extraction of a reply;
// both empty when it was not stopped.
struct Stopped {
    QString rule;
    QString error;
};

Stopped RuntimeErrorOf(const QString &reply)
{
    const Result<ForecastExtraction> result = ExtractForecastReply(reply);
    if (result.outcome != Outcome::Failed)
        return {};
    return {result.rule, result.reason};
}

// A forecast of eleven days: one period name more than the table's ten rows.
QString ElevenDayNames()
{
    Forecast f = DayFirst();
    f.periods.clear();
    for (int p = 1; p <= 22; ++p)
        f.periods << QStringLiteral("Period %1").arg(p);
    return Reply(f.dataElement());
}

} // namespace

class ForecastScans : public QObject {
    Q_OBJECT

private slots:
    void query()
    {
        QCOMPARE(ForecastQuery(kForecastOrigin, QStringLiteral(" 35.97"), QStringLiteral("-114.83 ")),
                 QStringLiteral("https://forecast.weather.gov/MapClick.php?lat= 35.97&lon=-114.83 "
                                "&unit=0&lg=english&FcstType=dwml"));
    }

    void nodeText_data()
    {
        QTest::addColumn<QString>("xml");
        QTest::addColumn<QStringList>("fields");
        QTest::newRow("text only") << "<e>x</e>" << QStringList{"x"};
        QTest::newRow("attributes and text") << "<e a=\"1\" b=\"2\">y</e>" << QStringList{"1", "2", "y"};
        QTest::newRow("attributes, no content") << "<e a=\"1\" b=\"2\"/>" << QStringList{};
        QTest::newRow("nested") << "<e a=\"1\"><c>x</c><d p=\"3\" q=\"4\"/><f g=\"2\">y</f></e>"
                                << QStringList{"1", "x", "", "2", "y"};
        QTest::newRow("text beside an element") << "<e>some text<c>z</c></e>" << QStringList{"z"};
        QTest::newRow("comment only") << "<e><!-- note --></e>" << QStringList{};
        QTest::newRow("comment only, attributes") << "<e a=\"1\" b=\"2\"><!-- note --></e>" << QStringList{"1", "2"};
        QTest::newRow("CDATA is not text") << "<e a=\"1\"><![CDATA[raw]]></e>" << QStringList{"1"};
        QTest::newRow("instruction skipped") << "<e><?pi x?><c>z</c></e>" << QStringList{"z"};
        QTest::newRow("bar inside a value") << "<e><c>left|right</c><d>n</d></e>" << QStringList{"left", "right", "n"};
        QTest::newRow("entities resolved") << "<e a=\"&lt;1&gt;\">a&amp;b</e>" << QStringList{"<1>", "a&b"};
    }

    void nodeText()
    {
        QFETCH(QString, xml);
        QFETCH(QStringList, fields);
        QCOMPARE(Flattened(xml.toUtf8().constData()), fields);
    }

    void replyClassification_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<Outcome>("outcome");
        QTest::addColumn<QString>("rule");
        QTest::addColumn<QString>("reason"); // checked when given
        const QString data = QStringLiteral("<data>Daily Minimum</data>");
        const auto notWellFormed = [](int line, int column) {
            return QStringLiteral("the reply is not well-formed XML (line %1, column %2)").arg(line).arg(column);
        };
        // Reply() puts 123 characters on its second line before the children.
        const int firstChild = 124;

        // Missing or lower-case marker: no forecast.
        QTest::newRow("empty") << QString() << Outcome::Absent << "no-forecast" << "the reply holds no forecast";
        QTest::newRow("lower-case marker") << Reply("<data>daily minimum and Daily Maximum</data>")
                                           << Outcome::Absent << "no-forecast" << "";
        // The marker present but no document.
        QTest::newRow("html") << "<html>Daily Minimum<p></html>" << Outcome::NotLoaded << "parse" << "";
        QTest::newRow("marker alone") << "Daily Minimum" << Outcome::NotLoaded << "text-outside-root"
                                      << notWellFormed(1, 1);
        // Two top-level elements, or text after the root, are not a document either.
        QTest::newRow("two roots") << Reply(data) + "<dwml/>" << Outcome::NotLoaded << "root-element" << "";
        QTest::newRow("trailing text") << Reply(data) + "trailing" << Outcome::NotLoaded << "text-outside-root" << "";
        // Text at the very end, which the parser itself drops unseen.
        QTest::newRow("text at the end") << Reply(data) + "\n:" << Outcome::NotLoaded << "text-outside-root"
                                         << notWellFormed(3, 1);
        QTest::newRow("text before") << "x" + Reply(data) << Outcome::NotLoaded << "text-outside-root"
                                     << notWellFormed(1, 1);
        // A UTF-8 byte-order mark read as Windows-1252 stands before the declaration.
        QTest::newRow("byte-order mark") << QStringLiteral("\u00EF\u00BB\u00BF") + Reply(data) << Outcome::NotLoaded
                                         << "text-outside-root" << notWellFormed(1, 1);
        // The parser's own refusal, placed in characters (the degree sign is
        // two bytes) on lines ended by CR LF: at the space after the "<".
        QTest::newRow("parse error")
            << "<?xml version=\"1.0\"?>\r\n<dwml>\r\n <data>Daily Minimum \u00B0< x/></data></dwml>"
            << Outcome::NotLoaded << "parse" << notWellFormed(3, 24);

        // Slips that a lenient parser would let through: none of these is a
        // document, so the window must not show them.
        QTest::newRow("bare ampersand") << Reply("<location><city>A & B</city></location>" + data)
                                        << Outcome::NotLoaded << "reference" << "";
        QTest::newRow("unknown entity") << Reply("<location><city>A &nbsp; B</city></location>" + data)
                                        << Outcome::NotLoaded << "reference" << "";
        QTest::newRow("undeclared prefix")
            << Reply("<location><value dwml:nil=\"true\"/></location>" + data) << Outcome::NotLoaded
            << "namespace-prefix"
            << QStringLiteral("the reply uses the undeclared namespace prefix \"dwml\" (line 2, column %1)")
                   .arg(firstChild + 10);
        QTest::newRow("repeated attribute")
            << Reply("<location a=\"1\" a=\"2\"/>" + data) << Outcome::NotLoaded << "repeated-attribute"
            << QStringLiteral("the reply repeats the attribute \"a\" in one element (line 2, column %1)")
                   .arg(firstChild);
        QTest::newRow("repeated among many")
            << Reply("<location b=\"\" c=\"\" d=\"\" e=\"\" f=\"\" g=\"\" h=\"\" i=\"\" j=\"\" e=\"\"/>" + data)
            << Outcome::NotLoaded << "repeated-attribute" << "";
        QTest::newRow("control character") << Reply("<location>A\x01B</location>" + data) << Outcome::NotLoaded
                                           << "character" << "";
        QTest::newRow("declaration not first") << "\n" + Reply(data) << Outcome::NotLoaded << "declaration-place"
                                               << notWellFormed(2, 1);
        QTest::newRow("< in a value") << Reply("<location a=\"x<y\"/>" + data) << Outcome::NotLoaded
                                      << "attribute-value" << "";
        QTest::newRow("& in a value") << Reply("<location a=\"A & B\"/>" + data) << Outcome::NotLoaded
                                      << "reference" << "";
        QTest::newRow("reference to a control") << Reply("<location>A &#1; B</location>" + data)
                                                << Outcome::NotLoaded << "reference" << "";
        QTest::newRow("reference to a surrogate") << Reply("<location>A &#xD800; B</location>" + data)
                                                  << Outcome::NotLoaded << "reference" << "";
        // Far past the last character, not wrapped round onto a space.
        QTest::newRow("reference past every character")
            << Reply("<location>A &#x10000000000000020; B</location>" + data) << Outcome::NotLoaded << "reference"
            << "";
        QTest::newRow("section end in text") << Reply("<location>A ]]> B</location>" + data)
                                             << Outcome::NotLoaded << "cdata-end" << "";
        QTest::newRow("declaration inside") << Reply("<location><?xml version=\"1.0\"?></location>" + data)
                                            << Outcome::NotLoaded << "declaration-place" << "";
        // The parser skips what follows the target "xml" unread.
        QTest::newRow("markup after a target") << Reply("<location><?xml<x/>?></location>" + data)
                                               << Outcome::NotLoaded << "instruction" << "";
        QTest::newRow("comment not closed") << Reply("<location><!-- not closed </location>" + data)
                                            << Outcome::NotLoaded << "comment" << "";
        QTest::newRow("-- in a comment") << Reply("<location><!-- a -- b --></location>" + data)
                                         << Outcome::NotLoaded << "comment" << "";
        QTest::newRow("comment ending --->") << Reply("<location><!-- a ---></location>" + data)
                                             << Outcome::NotLoaded << "comment" << "";
        // An apostrophe in a comment of the internal subset is no quote:
        // the bare "&" after it is still seen.
        QTest::newRow("apostrophe in the subset")
            << Reply("<location><city>A & B's</city><!-- ]> --></location>" + data)
                   .replace("<dwml", "<!DOCTYPE dwml [<!-- it's ours -->]>\n<dwml")
            << Outcome::NotLoaded << "reference" << "";
        // The bound on nesting, at the first start tag past it.
        QTest::newRow("nested too deep") << QStringLiteral("<n>").repeated(5000) + "Daily Minimum"
                                         << Outcome::NotLoaded << "nesting"
                                         << "the reply nests deeper than 4096 levels (line 1, column 12289)";

        // What may stand outside the root of a real reply still loads.
        QTest::newRow("references and line end")
            << Reply("<location><city>A &amp; B &#176;</city></location>" + data) + "\r\n" << Outcome::Done << ""
            << "";
        QTest::newRow("comment and doctype")
            << Reply(data).replace("<dwml", "<!-- made by hand -->\n<!DOCTYPE dwml>\n<dwml") << Outcome::Done << ""
            << "";
        QTest::newRow("internal subset")
            << Reply(data).replace("<dwml", "<!DOCTYPE dwml [<!-- it's \"ours\" --><?pi ']'?>]>\n<dwml")
            << Outcome::Done << "" << "";
        QTest::newRow("declared prefix")
            << Reply("<location xmlns:dwml=\"urn:x\"><value dwml:nil=\"true\"/></location>" + data) << Outcome::Done
            << "" << "";
        QTest::newRow("prefix declared later")
            << Reply("<location b=\"\" c=\"\" d=\"\" e=\"\" f=\"\" g=\"\" h=\"\" i=\"\" j=\"\" dwml:k=\"\" "
                     "xmlns:dwml=\"urn:x\"/>" + data)
            << Outcome::Done << "" << "";
        QTest::newRow("markup in values and sections")
            << Reply("<location a=\"x > y &quot;&#x263A;&apos;\"><![CDATA[A & B <]]><!-- A & B < --></location>"
                     + data)
            << Outcome::Done << "" << "";
        QTest::newRow("instruction and references")
            << Reply("<location><?xml-stylesheet href=\"a&b\"?>A &lt; B &gt; C</location>" + data) << Outcome::Done
            << "" << "";

        // Loads, then its scan stops.
        QTest::newRow("eleven day names") << ElevenDayNames() << Outcome::Failed << "subscript"
                                          << "Subscript out of range: row 11 of the period name column";
    }

    void replyClassification()
    {
        QFETCH(QString, reply);
        QFETCH(Outcome, outcome);
        QFETCH(QString, rule);
        QFETCH(QString, reason);
        const Result<ForecastExtraction> result = ExtractForecastReply(reply);
        QCOMPARE(result.outcome, outcome);
        QCOMPARE(result.rule, rule);
        if (!reason.isEmpty())
            QCOMPARE(result.reason, reason);
        // Every refusal says why; a reply that went through says nothing.
        QCOMPARE(result.reason.isEmpty(), outcome == Outcome::Done);
    }

    void temperatureOrderSetsNightFirst()
    {
        Forecast night = DayFirst();
        night.nightFirst = true;
        night.periods.prepend(QStringLiteral("Tonight"));
        QCOMPARE(Extracted(Reply(night.dataElement())).nightFirst, true);
        QCOMPARE(Extracted(Reply(DayFirst().dataElement())).nightFirst, false);

        // Without a maximum series the reply counts as day first, and the
        // minimum series becomes the second one.
        Forecast minimaOnly = DayFirst();
        minimaOnly.maxima.clear();
        QString reply = Reply(minimaOnly.dataElement()).replace("Daily Maximum", "Daily Highest");
        const ForecastExtraction e = Extracted(reply);
        QCOMPARE(e.nightFirst, false);
        QCOMPARE(Column(e.periods, 2, 3), (QStringList{"50", "52", "54"}));
        QCOMPARE(Column(e.periods, 1, 3), (QStringList{"", "", ""}));
    }

    void layoutKeyChoice()
    {
        // The forecast uses `key`; `elsewhere` stands in the reply's head only.
        // Names are found only when the key that the reply selects is the one
        // the forecast uses.
        const auto firstName = [](const QString &key, const QString &elsewhere) {
            Forecast f = DayFirst();
            f.key = key;
            return Extracted(Reply(f.dataElement()).replace("dwmlByDay", elsewhere)).periods[1][0];
        };
        QCOMPARE(firstName("k-p12h-n15-1", "k-p12h-n14-1"), QStringLiteral("Today")); // n15 over n14
        QCOMPARE(firstName("k-p12h-n14-1", "k-p12h-n13-1"), QStringLiteral("Today")); // n14 over n13
        QCOMPARE(firstName("k-p12h-n13-1", "dwmlByDay"), QStringLiteral("Today"));    // n13 otherwise
    }

    void chanceOfDayAndNight()
    {
        Forecast f = DayFirst();
        f.periods << "Tuesday" << "Tuesday Night";
        f.texts << "Sunny." << "Clear.";
        f.chances = QStringList{"20", "60", "60", "20", "", "30", "", ""};
        QCOMPARE(Column(Extracted(Reply(f.dataElement())).periods, 3, 5),
                 (QStringList{"60%", "60%", "30%", "", ""}));

        // A night-first forecast shows the opening night's chance alone.
        f.nightFirst = true;
        f.periods.prepend("Tonight");
        f.texts.prepend("Clear.");
        f.chances = QStringList{"20", "10", "60", "5", "5", "", "", "", ""};
        QCOMPARE(Column(Extracted(Reply(f.dataElement())).periods, 3, 5),
                 (QStringList{"20%", "60%", "5%", "", ""}));
    }

    void conditionSummaries_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("summary");
        QTest::addColumn<QString>("whole"); // the row's whole worded forecast
        QTest::newRow("comma at 6 before the full stop") << "Sunny, with a high near 70. Calm wind." << "Sunny,"
                                                         << "Sunny, with a high near 70. Calm wind.";
        QTest::newRow("full stop first") << "Patchy fog. Otherwise, sunny." << "Patchy fog."
                                         << "Patchy fog. Otherwise, sunny.";
        QTest::newRow("comma first in the text") << ",Sunny. Warm." << ",Sunny." << ",Sunny. Warm.";
        QTest::newRow("no full stop") << "Sunny, with a high near 70" << "" << "Sunny, with a high near 70";
        QTest::newRow("gusts") << "Windy. West wind 20 mph, with gusts as high as 40 mph. "
                               << "Windy, gusts as high as 40 mph. "
                               << "Windy. West wind 20 mph, with gusts as high as 40 mph.";
        QTest::newRow("gusts after a clause") << "Breezy, with gusts to 30 mph." << "Breezy, gusts to 30 mph."
                                              << "Breezy, with gusts to 30 mph.";
        QTest::newRow("a single gust") << "Sunny. Winds could gust as high as 30 mph." << "Sunny."
                                       << "Sunny. Winds could gust as high as 30 mph.";
        QTest::newRow("line breaks and runs of spaces")
            << "Rain likely.\n  Cloudy,\twith a low around 40. " << "Rain likely."
            << "Rain likely. Cloudy, with a low around 40.";
        // 1,499 characters; the cut at 1,000 falls just after a space.
        QTest::newRow("a thousand characters at most") << QStringLiteral("Rain ").repeated(300) << ""
                                                        << QStringLiteral("Rain ").repeated(200).chopped(1);
    }

    void conditionSummaries()
    {
        QFETCH(QString, text);
        QFETCH(QString, summary);
        QFETCH(QString, whole);
        Forecast f = DayFirst();
        f.texts[0] = text;
        const ForecastExtraction e = Extracted(Reply(f.dataElement()));
        QCOMPARE(e.periods[1][4], summary);
        QCOMPARE(e.periodTexts[1], whole);
    }

    void hazards_data()
    {
        QTest::addColumn<QString>("markup");
        QTest::addColumn<QStringList>("hazards"); // headline, url, headline, url...
        const QString heat = QStringLiteral("https://forecast.weather.gov/showsigwx.php?warnzone=CAZ050&amp;product1=Heat");
        const QString heatUrl = QStringLiteral("https://forecast.weather.gov/showsigwx.php?warnzone=CAZ050&product1=Heat");
        QTest::newRow("none") << QString() << QStringList{};
        QTest::newRow("two, in the reply's order")
            << HazardElement("Heat Advisory", heat) + HazardElement("Wind Advisory", "https://w.gov/wind")
            << QStringList{"Heat Advisory", heatUrl, "Wind Advisory", "https://w.gov/wind"};
        QTest::newRow("an exact duplicate left out")
            << HazardElement("Heat Advisory", heat) + HazardElement("Heat Advisory", heat)
                   + HazardElement("Heat Advisory", "https://w.gov/other")
            << QStringList{"Heat Advisory", heatUrl, "Heat Advisory", "https://w.gov/other"};
        QTest::newRow("a 300-character headline") << HazardElement(QString(300, u'W'), "")
                                                  << QStringList{QString(120, u'W'), ""};
        QTest::newRow("markup kept as characters")
            << HazardElement("&lt;b>x&lt;/b>", "") + HazardElement("&lt;img src=x>", "")
            << QStringList{"<b>x</b>", "", "<img src=x>", ""};
        QTest::newRow("controls and a line break")
            << HazardElement(" Flood&#13;&#10;Watch &#x9B;&#x202E;now&#x7F;&#x85;", "\n  https://w.gov/f\t\n")
            << QStringList{"Flood Watch now", "https://w.gov/f"};
        // Whether an address may be opened is the window's to decide.
        QTest::newRow("any address kept as given")
            << HazardElement("Outlook", "http://forecast.weather.gov/a?b=1&amp;c=2")
                   + HazardElement("Statement", "https://example.com/x y")
                   + "<hazards><hazard-conditions><hazard headline=\"No address\"/></hazard-conditions></hazards>"
            << QStringList{"Outlook", "http://forecast.weather.gov/a?b=1&c=2", "Statement", "https://example.com/x y",
                           "No address", ""};
        QString many;
        QStringList first;
        for (int n = 1; n <= 101; ++n) {
            many += HazardElement(QStringLiteral("Advisory %1").arg(n), "");
            if (n <= 100)
                first << QStringLiteral("Advisory %1").arg(n) << QString();
        }
        QTest::newRow("a hundred at most") << many << first;
    }

    void hazards()
    {
        QFETCH(QString, markup);
        QFETCH(QStringList, hazards);
        Forecast f = DayFirst();
        f.hazards = markup;
        QStringList found;
        for (const Hazard &hazard : Extracted(Reply(f.dataElement())).hazards)
            found << hazard.headline << hazard.url;
        QCOMPARE(found, hazards);
    }

    void issued_data()
    {
        QTest::addColumn<QString>("creation");   // null: no creation date at all
        QTest::addColumn<QDateTime>("issued");
        QTest::addColumn<int>("offset");         // seconds east of UTC
        QTest::newRow("missing") << QString() << QDateTime() << 0;
        QTest::newRow("garbled") << "2026-13-45T11:07:56-07:00" << QDateTime() << 0;
        QTest::newRow("words") << "yesterday" << QDateTime() << 0;
        // The instant is unknown without an offset.
        QTest::newRow("no offset") << "2026-03-17T11:07:56" << QDateTime() << 0;
        QTest::newRow("offset, spaces around") << "\n 2026-03-17T11:07:56-07:00 "
                                               << QDateTime(QDate(2026, 3, 17), QTime(18, 7, 56), QTimeZone::utc())
                                               << -25200;
        QTest::newRow("UTC") << "2013-08-12T03:47:26Z"
                             << QDateTime(QDate(2013, 8, 12), QTime(3, 47, 26), QTimeZone::utc()) << 0;
    }

    void issued()
    {
        QFETCH(QString, creation);
        QFETCH(QDateTime, issued);
        QFETCH(int, offset);
        QString reply = Reply(DayFirst().dataElement());
        if (!creation.isNull())
            reply.replace("<product concise-name=\"dwmlByDay\"/>",
                          "<product><creation-date refresh-frequency='PT1H'>" + creation
                              + "</creation-date></product>");
        const QDateTime got = Extracted(reply).issued;
        QCOMPARE(got.isValid(), issued.isValid());
        QCOMPARE(got, issued);
        QCOMPARE(got.offsetFromUtc(), offset);
    }

    void nightFirstRows()
    {
        const ForecastExtraction e =
            Extracted(FromCp1252(testsupport::SuiteFile(QStringLiteral("forecast/replies/night-first-short.xml"))));
        QVERIFY(e.nightFirst);
        QCOMPARE(Column(e.periods, 0, 4), (QStringList{"Tonight", "Monday", "Tuesday", ""}));
        QCOMPARE(Column(e.periods, 1, 4), (QStringList{"40", "42", "44", ""}));
        QCOMPARE(Column(e.periods, 2, 4), (QStringList{"60", "62", "", ""}));
        QCOMPARE(Column(e.periods, 3, 4), (QStringList{"10%", "30%", "50%", ""}));
        QCOMPARE(Column(e.periods, 4, 4), (QStringList{"Clear,", "Sunny.", "Windy, gusts to 40 mph.", ""}));
        // The opening night, then the days: the fourth row's day has no text.
        QCOMPARE((QStringList{e.periodTexts[1], e.periodTexts[2], e.periodTexts[3], e.periodTexts[4]}),
                 (QStringList{"Clear, cold. Low around 40.", "Sunny. High near 60.",
                              "Windy. West wind 20 mph with gusts to 40 mph.", ""}));
        QCOMPARE(e.stationText, QStringLiteral("Test Mesa Airport, XX"));
        QCOMPARE(e.pressureText, QStringLiteral("30.05"));
    }

    // Without a worded forecast a night-first reply ends the scan day first.
    void nightFirstWithoutWordedForecast()
    {
        Forecast f = DayFirst();
        f.nightFirst = true;
        f.periods.prepend("Tonight");
        f.chances << "";
        QString reply = Reply(f.dataElement());
        reply.replace("Text Forecast", "Text Outlook");
        QCOMPARE(Extracted(reply).nightFirst, false);
    }

    void lastTimeLayoutRunsIntoEleventhRow()
    {
        // The 12-hour layout is the last one: nothing ends the period names,
        // so every fourth field after it is taken as a name.
        QString icons;
        for (int n = 0; n < 40; ++n)
            icons += QStringLiteral("<icon-link>icon%1.png</icon-link>").arg(n);
        const QString data = QStringLiteral(
            "<data type=\"forecast\"><parameters applicable-location=\"point1\">"
            "<temperature type=\"maximum\"><name>Daily Maximum Temperature</name>%1</temperature>"
            "<temperature type=\"minimum\"><name>Daily Minimum Temperature</name>%2</temperature>"
            "<probability-of-precipitation type=\"12 hour\" time-layout=\"k-p24h\">"
            "<name>12 Hourly Probability of Precipitation</name>%3</probability-of-precipitation></parameters>"
            "<time-layout time-coordinate=\"local\"><layout-key>k-p12h-n13-1</layout-key>"
            "<start-valid-time period-name=\"Today\">t</start-valid-time>"
            "<start-valid-time period-name=\"Tonight\">t</start-valid-time>"
            "<start-valid-time period-name=\"Sunday\">t</start-valid-time>"
            "<start-valid-time period-name=\"Sunday Night\">t</start-valid-time>"
            "<start-valid-time period-name=\"Monday\">t</start-valid-time>"
            "<start-valid-time period-name=\"Monday Night\">t</start-valid-time></time-layout>"
            "<conditions-icon type=\"forecast-NWS\" time-layout=\"k-p24h-n7-1\"><name>Conditions Icon</name>%4"
            "</conditions-icon></data>")
                                 .arg(Values({"70", "72"}), Values({"50", "52"}), Values({"10", "20"}), icons);
        const Stopped stopped = RuntimeErrorOf(Reply(data));
        QCOMPARE(stopped.rule, QStringLiteral("subscript"));
        QVERIFY2(stopped.error.startsWith("Subscript out of range") && stopped.error.contains("period name"),
                 qPrintable(stopped.error));

        // With a later layout the same reply scans cleanly.
        QString closed = data;
        closed.replace("<conditions-icon", "<time-layout time-coordinate=\"local\"><layout-key>k-p24h-n7-2</layout-key>"
                                           "</time-layout><conditions-icon");
        const ForecastExtraction e = Extracted(Reply(closed));
        QCOMPARE(Column(e.periods, 0, 4), (QStringList{"Today", "Sunday", "Monday", ""}));
    }

    void chanceLookAheadPastTheEnd()
    {
        // The last field of the document is a day's chance with no night after it.
        const QString reply = Reply(QStringLiteral(
            "<data type=\"forecast\"><temperature type=\"minimum\"><name>Daily Minimum Temperature</name></temperature>"
            "<probability-of-precipitation type=\"12 hour\"><name>12 Hourly Probability of Precipitation</name>"
            "<value>10</value><value>20</value><value>30</value></probability-of-precipitation></data>"));
        const Stopped stopped = RuntimeErrorOf(reply);
        QCOMPARE(stopped.rule, QStringLiteral("subscript"));
        QVERIFY(stopped.error.startsWith("Subscript out of range"));
    }

    void observations()
    {
        // A second location does not replace the observation site.
        QString second = kStandardObservations;
        second.replace("<parameters", "<location><location-key>point1</location-key><point latitude=\"3\"/>"
                                      "<area-description>Elsewhere</area-description></location><parameters");
        ForecastExtraction e = Extracted(Reply(DayFirst().dataElement() + second));
        QCOMPARE((QStringList{e.stationText, e.apparentTemp, e.dewPointText, e.humidityText, e.windSpeedText,
                              e.pressureText}),
                 (QStringList{"Test Airport, XX", "65", "40", "39", "9", "29.92"}));

        // No third root child: every observation stays empty, the forecast is still read.
        e = Extracted(Reply(DayFirst().dataElement()));
        QVERIFY(e.stationText.isEmpty() && e.apparentTemp.isEmpty() && e.dewPointText.isEmpty()
                && e.humidityText.isEmpty() && e.windSpeedText.isEmpty() && e.pressureText.isEmpty());
        QCOMPARE(e.periods[1][0], QStringLiteral("Today"));

        // A value expected past the last field.
        const QString truncated = Observations("<pressure type=\"barometer\"><value>29.9</value></pressure>");
        const Stopped stopped = RuntimeErrorOf(Reply(DayFirst().dataElement() + truncated));
        QCOMPARE(stopped.rule, QStringLiteral("subscript"));
        QVERIFY(stopped.error.startsWith("Subscript out of range"));
    }

    void fewerThanSevenPeriods()
    {
        Forecast f = DayFirst();
        f.periods = QStringList{"Today", "Tonight", "Sunday"};
        f.chances = QStringList{"10", "", "40"};
        f.texts = QStringList{"Sunny.", "Clear.", "Rain."};
        const ForecastExtraction e = Extracted(Reply(f.dataElement() + kStandardObservations));
        QCOMPARE(Column(e.periods, 0), (QStringList{"Today", "Sunday", "", "", "", "", ""}));
        QCOMPARE(Column(e.periods, 3), (QStringList{"10%", "40%", "", "", "", "", ""}));
        QCOMPARE(Column(e.periods, 4), (QStringList{"Sunny.", "Rain.", "", "", "", "", ""}));
    }

    void rootChildren()
    {
        // Children after the third are passed over but must still be elements.
        const QString base = DayFirst().dataElement() + kStandardObservations;
        QCOMPARE(Extracted(Reply(base + "<extra>Daily Maximum</extra>")).apparentTemp, QStringLiteral("65"));
        for (const QString &reply : {Reply(base + "<!-- trailing note -->"), Reply("<?note x?>" + base)}) {
            const Stopped stopped = RuntimeErrorOf(reply);
            QCOMPARE(stopped.rule, QStringLiteral("type-mismatch"));
            QVERIFY(stopped.error.startsWith("Type mismatch"));
        }
    }

    void declaredEncodingIsIgnored()
    {
        // The reply arrives as text; its ISO-8859-1 declaration must not make
        // the parser decode the characters a second time.
        const QByteArray bytes = Reply(DayFirst().dataElement()
                                       + Observations(QString(), QStringLiteral("Ca\u00F1on City \u00B0")))
                                     .toLatin1();
        QCOMPARE(Extracted(FromCp1252(bytes)).stationText, QStringLiteral("Ca\u00F1on City \u00B0"));
    }

    void sixteenBitLimits()
    {
        // "Daily Minimum" beyond character 32,767.
        const QString padding = QStringLiteral("<!--%1--></head>").arg(QString(33000, u'x'));
        Stopped stopped = RuntimeErrorOf(Reply(DayFirst().dataElement()).replace("</head>", padding));
        QCOMPARE(stopped.rule, QStringLiteral("overflow"));
        QVERIFY(stopped.error.startsWith("Overflow"));
        // Just inside the limit it is found.
        const QString reply = Reply(DayFirst().dataElement());
        const QString near =
            QStringLiteral("<!--%1--></head>").arg(QString(32700 - reply.indexOf("Daily Minimum"), u'x'));
        QString nearReply = reply;
        nearReply.replace("</head>", near);
        QCOMPARE(nearReply.indexOf("Daily Minimum") + 1, 32708);
        QCOMPARE(ExtractForecastReply(nearReply).outcome, Outcome::Done);

        // More fields than a 16-bit index can count.
        QString many = "<data type=\"forecast\"><name>Daily Minimum</name>";
        for (int n = 0; n < 32768; ++n)
            many += "<v>1</v>";
        many += "</data>";
        stopped = RuntimeErrorOf(Reply(many));
        QCOMPARE(stopped.rule, QStringLiteral("overflow"));
        QVERIFY(stopped.error.startsWith("Overflow"));
    }

    void deepNesting()
    {
        // Text at every level: the flattening copies each value once, so a
        // few thousand levels cost no more than their length.
        const auto deep = [](int levels) {
            return QStringLiteral("<data type=\"forecast\"><name>Daily Minimum</name>%1x%2</data>")
                .arg(QStringLiteral("<n>t").repeated(levels), QString("</n>").repeated(levels));
        };
        const Result<ForecastExtraction> within = ExtractForecastReply(Reply(deep(4000)));
        QCOMPARE(within.outcome, Outcome::Done);
        QCOMPARE(within.value.apparentTemp, QString());
        // Beyond the nesting bound the reply does not load at all.
        const Result<ForecastExtraction> beyond = ExtractForecastReply(Reply(deep(200000)));
        QCOMPARE(beyond.outcome, Outcome::NotLoaded);
        QCOMPARE(beyond.rule, QStringLiteral("nesting"));

        // The flattening itself keeps no stack for the depth.
        const QByteArray chain = QByteArray("<n a=\"1\">t").repeated(200000) + "x" + QByteArray("</n>").repeated(200000);
        pugi::xml_document document;
        QVERIFY(document.load_buffer(chain.constData(), size_t(chain.size())));
        // Each level gives its attribute; the innermost adds its text.
        const QStringList fields = SplitText(NodeText(document.document_element()), QStringLiteral("|"));
        QCOMPARE(fields.size(), 200001);
        QCOMPARE(fields.first(), QStringLiteral("1"));
        QCOMPARE(fields.last(), QStringLiteral("tx"));
    }

    void manyElements()
    {
        // A reply of more elements and attributes than any forecast holds
        // does not load; one just within the bound does.
        const QString start = "<data type=\"forecast\"><name>Daily Minimum</name>";
        const auto attributes = [](int count) {
            QString tag = QStringLiteral("<v");
            for (int k = 0; k < count; ++k)
                tag += QStringLiteral(" a%1=''").arg(k);
            return tag + QStringLiteral("/>");
        };
        const struct {
            QString markup;
            Outcome outcome;
            const char *rule;
        } rows[] = {
            {QStringLiteral("<v/>").repeated(100001), Outcome::NotLoaded, "node-count"},
            {attributes(100001), Outcome::NotLoaded, "node-count"},
            {QStringLiteral("<v a='1'/>").repeated(50001), Outcome::NotLoaded, "node-count"},
            // Loads, then its scan stops: 49,000 fields pass the 16-bit index.
            {QStringLiteral("<v a='1'/>").repeated(49000), Outcome::Failed, "overflow"},
        };
        for (const auto &row : rows) {
            const Result<ForecastExtraction> result = ExtractForecastReply(Reply(start + row.markup + "</data>"));
            QCOMPARE(result.outcome, row.outcome);
            QCOMPARE(result.rule, QString::fromLatin1(row.rule));
            // The reason names the bound.
            if (row.outcome == Outcome::NotLoaded)
                QVERIFY2(result.reason.startsWith("the reply holds more than 100000 elements, attributes, comments "
                                                  "and sections (line 2, column "),
                         qPrintable(result.reason));
        }
    }
};

QTEST_GUILESS_MAIN(ForecastScans)
#include "tst_forecast_scans.moc"

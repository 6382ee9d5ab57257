// How the cost of each text stage grows with hostile inputs. For every shape
// (generated here, never read from a file) the input is built at 1, 4 and 16
// times a base size of 1 MiB and run through its stage, from the reply text
// or file to what the window would show (bench/scaling_stages.cpp).
//
// Each case runs in a forked child: the child builds the input, resets its
// peak resident size, notes its resident size, runs the stage up to three
// times (fewer when a run is slow) and reports each time. The parent kills a
// child that has not finished after the cap (30 s), reports "> 30 s" and
// skips the larger sizes of that shape. Peak extra memory is the child's
// peak resident size (ru_maxrss from wait4) minus its size before the stage.
//
// Targets printed beside each shape: time per byte flat (x16 time at most 20
// times the x1 time), the 16 MiB case under 1 s (the hourly shapes under
// 0.5 s), peak extra memory at 16 MiB under 10 times the input. Figures, not a pass/fail test: exit status 0.
//
//     selvorra_scaling_bench [--cap SECONDS] [--only TEXT]
//       --only runs the shapes whose name contains TEXT.

#include "ScalingStages.h"

#include <QByteArray>
#include <QDir>
#include <QDateTime>
#include <QFile>
#include <QString>
#include <QTimeZone>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr size_t kMiB = 1024 * 1024;
constexpr size_t kBase = kMiB;
constexpr int kScales[] = {1, 4, 16};
constexpr int kMaxRuns = 3;
constexpr double kRunBudgetSeconds = 3.0; // no further run once this much was spent
double capSeconds = 30.0;

// ---------------------------------------------------------------------------
// Inputs

// `unit` repeated as often as it fits whole into `bytes` bytes.
std::string Repeat(const std::string &unit, size_t bytes)
{
    std::string out;
    out.reserve(bytes);
    while (out.size() + unit.size() <= bytes)
        out += unit;
    return out;
}

// A DWML forecast reply in the layout the forecast service sends, small and
// complete. `text` becomes the first worded forecast, `extra` the last child
// of the forecast data element, `hazards` the <hazards> elements, which
// stand after an element of the 12-hour layout as in the service's replies.
std::string ForecastReply(const std::string &text, const std::string &extra, const std::string &hazards = {})
{
    std::string r;
    r.reserve(text.size() + extra.size() + hazards.size() + 4096);
    r += "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
         "<dwml version=\"1.0\" xmlns:xsd=\"https://www.w3.org/2001/XMLSchema\" "
         "xmlns:xsi=\"https://www.w3.org/2001/XMLSchema-instance\">\n"
         "<head><product concise-name=\"dwmlByDay\" operational-mode=\"developmental\"/></head>\n"
         "<data type=\"forecast\">\n"
         "<location><location-key>point1</location-key><area-description>Mesa XX</area-description></location>\n"
         "<time-layout time-coordinate=\"local\" summarization=\"12hourly\"><layout-key>k-p12h-n13-1</layout-key>\n";
    const char *names[] = {"Today", "Tonight", "Monday", "Monday Night", "Tuesday", "Tuesday Night",
                           "Wednesday", "Wednesday Night", "Thursday", "Thursday Night", "Friday",
                           "Friday Night", "Saturday"};
    for (const char *name : names)
        r += std::string("<start-valid-time period-name=\"") + name + "\">2026-12-07T06:00:00-07:00</start-valid-time>\n";
    r += "</time-layout>\n"
         "<time-layout time-coordinate=\"local\" summarization=\"24hourly\"><layout-key>k-p24h-n7-1</layout-key>"
         "<start-valid-time>2026-12-07T06:00:00-07:00</start-valid-time></time-layout>\n"
         "<parameters applicable-location=\"point1\">\n"
         "<temperature type=\"maximum\" units=\"Fahrenheit\" time-layout=\"k-p24h-n7-1\"><name>Daily Maximum Temperature</name>"
         "<value>60</value><value>61</value><value>62</value><value>63</value><value>64</value><value>65</value><value>66</value></temperature>\n"
         "<temperature type=\"minimum\" units=\"Fahrenheit\" time-layout=\"k-p24h-n6-2\"><name>Daily Minimum Temperature</name>"
         "<value>40</value><value>41</value><value>42</value><value>43</value><value>44</value><value>45</value></temperature>\n"
         "<probability-of-precipitation type=\"12 hour\" units=\"percent\" time-layout=\"k-p12h-n13-1\">"
         "<name>12 Hourly Probability of Precipitation</name>";
    for (int i = 0; i < 13; ++i)
        r += "<value>" + std::to_string(i * 7 % 100) + "</value>";
    r += "</probability-of-precipitation>\n";
    if (!hazards.empty())
        r += "<conditions-icon type=\"forecast-NWS\" time-layout=\"k-p12h-n13-1\"><name>Conditions Icon</name>"
             "<icon-link>https://forecast.weather.gov/newimages/medium/few.png</icon-link></conditions-icon>\n"
             + hazards;
    r += "<wordedForecast time-layout=\"k-p12h-n13-1\" dataSource=\"bench\"><name>Text Forecast</name>\n<text>";
    r += text;
    r += "</text>\n";
    for (int i = 1; i < 13; ++i)
        r += "<text>Sunny, with a high near 60. Light wind.</text>\n";
    r += "</wordedForecast>\n</parameters>\n";
    r += extra;
    r += "</data>\n"
         "<data type=\"current observations\">\n"
         "<location><location-key>point1</location-key><point latitude=\"35.0\" longitude=\"-106.6\"/>"
         "<area-description>Mesa Airport, XX</area-description></location>\n"
         "<parameters applicable-location=\"point1\">\n"
         "<temperature type=\"apparent\" units=\"Fahrenheit\" time-layout=\"k-p1h-n1-1\"><value>38</value></temperature>\n"
         "<temperature type=\"dew point\" units=\"Fahrenheit\" time-layout=\"k-p1h-n1-1\"><value>20</value></temperature>\n"
         "<humidity type=\"relative\" time-layout=\"k-p1h-n1-1\"><value>48</value></humidity>\n"
         "<wind-speed type=\"sustained\" units=\"knots\" time-layout=\"k-p1h-n1-1\"><value>7</value></wind-speed>\n"
         "<pressure type=\"barometer\" units=\"inches of mercury\" time-layout=\"k-p1h-n1-1\"><value>30.05</value></pressure>\n"
         "</parameters>\n</data>\n</dwml>\n";
    return r;
}

// Room left for the hostile part when the whole reply is to be `bytes` long.
size_t Room(size_t bytes)
{
    const size_t frame = ForecastReply(std::string(), std::string()).size();
    return bytes > frame ? bytes - frame : 0;
}

// Nested elements below the forecast data element, each level holding a
// value with text and the next level: 256 * scale - 1 levels in all (4095
// at 16 MiB, the deepest the flattening takes), the text filling the size.
std::string DeepNesting(size_t bytes)
{
    const size_t levels = bytes / kBase * 256 - 1;
    const size_t layers = levels - 1; // the innermost level is a value alone
    const std::string open = "<layer><value>", close = "</value>", end = "</layer>";
    const size_t perLevel = Room(bytes) / levels;
    const std::string text = Repeat("snow and rain ", perLevel > 30 ? perLevel - 30 : 1);
    std::string extra;
    extra.reserve(bytes);
    for (size_t i = 0; i < layers; ++i)
        extra += open + text + close;
    extra += "<value>" + text + "</value>";
    for (size_t i = 0; i < layers; ++i)
        extra += end;
    return ForecastReply("Sunny.", extra);
}

std::string EmptyElements(size_t bytes)
{
    return ForecastReply("Sunny.", "<values>" + Repeat("<v/>", Room(bytes) - 17) + "</values>");
}

// One element with distinct attributes until the size is reached.
std::string ManyAttributes(size_t bytes)
{
    const size_t room = Room(bytes) - 40;
    std::string extra = "<values><value";
    char name[32];
    for (unsigned i = 0; extra.size() < room; ++i) {
        std::snprintf(name, sizeof name, " a%x=\"1\"", i);
        extra += name;
    }
    extra += ">9</value></values>";
    return ForecastReply("Sunny.", extra);
}

// A worded forecast that is one line of words, with no full stop or comma.
std::string LongLine(size_t bytes)
{
    return ForecastReply(Repeat("rain and snow showers likely ", Room(bytes)), "");
}

std::string PipeFlood(size_t bytes)
{
    return ForecastReply(Repeat("|", Room(bytes)), "");
}

// One <hazards> element as the service writes it.
std::string HazardElement(const std::string &headline, const std::string &url)
{
    return "<hazards time-layout=\"\"><name>Watches, Warnings, and Advisories</name><hazard-conditions><hazard headline=\""
        + headline + "\"><hazardTextURL>" + url + "</hazardTextURL></hazard></hazard-conditions></hazards>\n";
}

// A hundred distinct hazards, each headline and address long enough that
// together they fill the size.
std::string HundredHazards(size_t bytes)
{
    constexpr size_t kCount = 100;
    const size_t each = (Room(bytes) - 300) / kCount - HazardElement("", "").size();
    std::string hazards;
    hazards.reserve(bytes);
    for (size_t n = 0; n < kCount; ++n) {
        const std::string number = std::to_string(n) + " ";
        hazards += HazardElement(number + Repeat("Excessive Heat Warning ", each / 2 - number.size()),
                                 "https://forecast.weather.gov/showsigwx.php?warnzone=CAZ0" + number
                                     + Repeat("&amp;product1=Excessive+Heat+Warning", each / 2 - 64));
    }
    return ForecastReply("Sunny.", "", hazards);
}

// One hazard whose headline is the whole size.
std::string LongHeadline(size_t bytes)
{
    const std::string url = "https://forecast.weather.gov/showsigwx.php?warnzone=CAZ050&amp;product1=Heat+Advisory";
    const size_t room = Room(bytes) - 300 - HazardElement("", url).size();
    return ForecastReply("Sunny.", "", HazardElement(Repeat("Heat Advisory in effect ", room), url));
}

// A forecast reply of the service's JSON interface: `periods` is the inside
// of the periods list, `extra` more members of the properties.
std::string ApiReply(const std::string &periods, const std::string &extra)
{
    return "{\n    \"type\": \"Feature\",\n    \"properties\": {\n        \"units\": \"us\",\n" + extra
        + "        \"updateTime\": \"2026-12-07T06:41:37+00:00\",\n        \"periods\": [\n" + periods + "\n        ]\n    }\n}";
}

std::string ApiPeriod(int number, const std::string &detailed)
{
    const bool day = number % 2 == 1;
    return "            {\n                \"number\": " + std::to_string(number) + ",\n                \"name\": \""
        + (day ? "Monday" : "Monday Night") + "\",\n                \"isDaytime\": " + (day ? "true" : "false")
        + ",\n                \"temperature\": " + (day ? "61" : "42")
        + ",\n                \"temperatureUnit\": \"F\",\n                \"probabilityOfPrecipitation\": "
          "{\"unitCode\": \"wmoUnit:percent\", \"value\": 30},\n                \"detailedForecast\": \""
        + detailed + "\"\n            }";
}

// As many periods as the size holds: past the bound on their number.
std::string ApiManyPeriods(size_t bytes)
{
    std::string periods;
    periods.reserve(bytes);
    for (int n = 1; periods.size() + 400 < bytes; ++n)
        periods += (n > 1 ? ",\n" : "") + ApiPeriod(n, "Sunny, with a high near 61.");
    return ApiReply(periods, "");
}

// The most periods read, each with a worded forecast of a thousandth of the size.
std::string ApiLongTexts(size_t bytes)
{
    const std::string text = Repeat("Rain and snow showers likely, with gusts as high as 40 mph. ", (bytes - 400000) / 1000);
    std::string periods;
    periods.reserve(bytes + 500000);
    for (int n = 1; n <= 1000; ++n)
        periods += (n > 1 ? ",\n" : "") + ApiPeriod(n, text);
    return ApiReply(periods, "");
}

// One worded forecast that is the whole size.
std::string ApiLongText(size_t bytes)
{
    return ApiReply(ApiPeriod(1, Repeat("rain and snow showers likely ", bytes - 600)), "");
}

// Arrays nested just within the bound on nesting, again and again, beside the periods.
std::string ApiDeepArrays(size_t bytes)
{
    const std::string nest = std::string(60, '[') + "1" + std::string(60, ']');
    std::string extra = "        \"extra\": [";
    extra.reserve(bytes);
    while (extra.size() + nest.size() + 2000 < bytes)
        extra += nest + ",";
    extra += "0],\n";
    return ApiReply(ApiPeriod(1, "Sunny."), extra);
}

// An alerts reply of the service's JSON interface listing these features.
std::string AlertsReply(const std::string &features)
{
    return "{\n    \"type\": \"FeatureCollection\",\n    \"features\": [\n" + features
        + "\n    ],\n    \"title\": \"current watches, warnings, and advisories\",\n"
          "    \"updated\": \"2026-12-08T11:00:00+00:00\"\n}";
}

// One alert as the service sends it, written compactly, with `description` as its description.
std::string AlertFeature(int number, const std::string &description)
{
    const std::string n = std::to_string(number);
    const std::string id = "https://api.weather.gov/alerts/urn:oid:2.49.0.1.840.0." + n + ".001.1";
    return "{\"id\": \"" + id + "\", \"type\": \"Feature\", \"geometry\": {\"type\": \"Polygon\", \"coordinates\": "
           "[[[-81.39, 28.9], [-81.5, 29.08], [-81.42, 29.1], [-81.39, 28.9]]]}, \"properties\": {\"@id\": \"" + id
        + "\", \"areaDesc\": \"Lake, FL; Volusia, FL\", \"references\": [], \"sent\": \"2026-12-08T05:15:00-05:00\", "
          "\"onset\": \"2026-12-08T05:15:00-05:00\", \"expires\": \"2026-12-09T11:00:00-05:00\", \"ends\": null, "
          "\"status\": \"Actual\", \"messageType\": \"Alert\", \"severity\": \"" + (number % 3 ? "Severe" : "Moderate")
        + "\", \"certainty\": \"Observed\", \"urgency\": \"Immediate\", \"event\": \"Flood Warning " + n
        + "\", \"senderName\": \"NWS Melbourne FL\", "
          "\"headline\": \"Flood Warning issued December 8 at 5:15AM EST by NWS Melbourne FL\", \"description\": \""
        + description + "\", \"instruction\": \"Turn around, don't drown when encountering flooded roads.\", "
          "\"parameters\": {\"VTEC\": [\"/O.NEW.KMLB.FL.W." + std::to_string(1000 + number % 9000)
        + ".261208T1015Z-000000T0000Z/\"]}}}";
}

// A thousand alerts filling the size, each with a description of a thousandth of it.
std::string ThousandAlerts(size_t bytes)
{
    const size_t frame = 1000 * (AlertFeature(1000, "").size() + 2) + AlertsReply("").size();
    const std::string description =
        Repeat("* WHAT...Major flooding is occurring.\\n\\n", bytes > frame ? (bytes - frame) / 1000 : 0);
    std::string features;
    features.reserve(bytes);
    for (int n = 1; n <= 1000; ++n)
        features += (n > 1 ? ",\n" : "") + AlertFeature(n, description);
    return AlertsReply(features);
}

// One alert whose description is the whole size, in lines as the service breaks them.
std::string AlertLongDescription(size_t bytes)
{
    return AlertsReply(AlertFeature(1, Repeat("major flooding occurs to many structures\\n", bytes - 3000)));
}

// A digital forecast of the forecast page: `layout` inside its hourly time
// layout, `series` inside its parameters.
std::string DigitalReply(const std::string &layout, const std::string &series)
{
    return "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<dwml version=\"1.0\" "
           "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">\n<head><product><creation-date "
           "refresh-frequency='PT1H'>2026-04-08T00:11:21-07:00</creation-date></product></head>\n<data>\n"
           "<time-layout time-coordinate=\"local\" summarization=\"none\"><layout-key>k-p1h-n1-0</layout-key>\n"
        + layout + "</time-layout><parameters applicable-location='point1'>\n" + series
        + "</parameters>\n</data>\n</dwml>\n";
}

// Hour `h` counted from midnight of 8 April 2026 in Pacific daylight time.
std::string HourTime(int h)
{
    static const QDateTime midnight(QDate(2026, 4, 8), QTime(0, 0), QTimeZone(-7 * 3600));
    return midnight.addSecs(h * 3600LL).toString(Qt::ISODate).toStdString();
}

// The start and end of `count` hours, each time padded inside its element
// by `pad` spaces.
std::string HourLayout(int count, size_t pad = 0)
{
    const std::string spaces(pad, ' ');
    std::string layout;
    for (int h = 0; h < count; ++h)
        layout += "<start-valid-time>" + spaces + HourTime(h) + "</start-valid-time>\n"
            + "<end-valid-time>" + HourTime(h + 1) + "</end-valid-time>\n";
    return layout;
}

std::string HourlySeries(const char *element, const char *type, const std::string &values)
{
    return std::string("<") + element + " type=\"" + type + "\" time-layout=\"k-p1h-n1-0\">" + values + "</" + element
        + ">\n";
}

// As many hours as the size holds: 10,000 to the MiB.
std::string HourlyManyHours(size_t bytes)
{
    const size_t each = HourLayout(1).size();
    return DigitalReply(HourLayout(int((bytes - 600) / each)), "");
}

// A week of hours whose first weather value's type is the whole size.
std::string HourlyLongWeather(size_t bytes)
{
    const std::string open = "<weather time-layout=\"k-p1h-n1-0\"><weather-conditions><value coverage=\"chance\" "
                             "weather-type=\"";
    const std::string close = "\"/></weather-conditions></weather>\n";
    const std::string layout = HourLayout(168);
    const std::string temperatures = HourlySeries("temperature", "hourly", Repeat("<value>57</value>", 168 * 17));
    const size_t room = bytes - layout.size() - temperatures.size() - open.size() - close.size() - 600;
    return DigitalReply(layout, temperatures + open + Repeat("thunderstorms and rain ", room) + close);
}

// A week of hours and ten series of 1 to 10 parts of the size, some shorter
// than the week, most far longer; each value padded so that the reply stays
// within the bound on elements and is read.
std::string HourlyUnevenSeries(size_t bytes)
{
    const std::string layout = HourLayout(168);
    const std::string value = "<value>57" + std::string(240, ' ') + "</value>";
    const size_t values = (bytes - layout.size() - 2000) / value.size();
    const std::pair<const char *, const char *> series[] = {
        {"temperature", "hourly"}, {"temperature", "dew point"}, {"temperature", "wind chill"},
        {"probability-of-precipitation", "floating"}, {"hourly-qpf", "floating"}, {"wind-speed", "sustained"},
        {"wind-speed", "gust"}, {"direction", "wind"}, {"cloud-amount", "total"}, {"humidity", "relative"}};
    std::string parameters;
    parameters.reserve(bytes);
    for (size_t k = 0; k < std::size(series); ++k)
        parameters +=
            HourlySeries(series[k].first, series[k].second, Repeat(value, values * (k + 1) / 55 * value.size()));
    return DigitalReply(layout, parameters);
}

// The most hours read, each start padded to fill the size, the last going
// back to the first.
std::string HourlyBackwards(size_t bytes)
{
    const int hours = 200;
    const size_t pad = (bytes - 2000) / hours - HourLayout(1).size();
    const std::string spaces(pad, ' ');
    std::string layout = HourLayout(hours - 1, pad);
    layout += "<start-valid-time>" + spaces + HourTime(0) + "</start-valid-time>\n";
    return DigitalReply(layout, "");
}

// A sun/moon reply in the layout of the Naval Observatory's one-day reply.
// `label` is the label's value, `moonEntries` goes before the moon's rise.
std::string SunMoonReply(const std::string &label, const std::string &moonEntries)
{
    std::string r;
    r.reserve(label.size() + moonEntries.size() + 2048);
    r += "{\n  \"apiversion\": \"4.0.1\", \n  \"geometry\": {\n    \"coordinates\": [\n      -114.836, \n"
         "      35.9656\n    ], \n    \"type\": \"Point\"\n  }, \n  \"properties\": {\n    \"data\": {\n"
         "      \"closestphase\": {\n        \"day\": 8, \n        \"month\": 12, \n        \"phase\": \"First Quarter\", \n"
         "        \"time\": \"17:22\", \n        \"year\": 2026\n      }, \n"
         "      \"curphase\": \"Waxing Crescent\", \n      \"day\": 7, \n      \"day_of_week\": \"Monday\", \n"
         "      \"fracillum\": \"38%\", \n      \"isdst\": false, \n      \"label\": ";
    r += label;
    r += ", \n      \"month\": 12, \n      \"moondata\": [\n";
    r += moonEntries;
    r += "        {\n          \"phen\": \"Rise\", \n          \"time\": \"11:02\"\n        }, \n"
         "        {\n          \"phen\": \"Upper Transit\", \n          \"time\": \"16:40\"\n        }, \n"
         "        {\n          \"phen\": \"Set\", \n          \"time\": \"22:19\"\n        }\n      ], \n"
         "      \"sundata\": [\n"
         "        {\n          \"phen\": \"Begin Civil Twilight\", \n          \"time\": \"06:08\"\n        }, \n"
         "        {\n          \"phen\": \"Rise\", \n          \"time\": \"06:36\"\n        }, \n"
         "        {\n          \"phen\": \"Upper Transit\", \n          \"time\": \"11:34\"\n        }, \n"
         "        {\n          \"phen\": \"Set\", \n          \"time\": \"16:31\"\n        }, \n"
         "        {\n          \"phen\": \"End Civil Twilight\", \n          \"time\": \"16:59\"\n        }\n      ], \n"
         "      \"tz\": -8.0, \n      \"year\": 2026\n    }\n  }, \n  \"type\": \"Feature\"\n}\n";
    return r;
}

size_t SunMoonRoom(size_t bytes)
{
    const size_t frame = SunMoonReply("null", std::string()).size();
    return bytes > frame ? bytes - frame : 0;
}

std::string CommaFlood(size_t bytes)
{
    return SunMoonReply("null" + Repeat(",", SunMoonRoom(bytes)), "");
}

std::string SunMoonLongLine(size_t bytes)
{
    return SunMoonReply("\"" + Repeat("full moon over the mesa ", SunMoonRoom(bytes) - 2) + "\"", "");
}

// Moon entries with a set and a transit time each, and phase and
// illumination pieces, before the moon's rise.
std::string MarkerPieces(size_t bytes)
{
    return SunMoonReply("null",
                        Repeat("        {\n          \"phen\": \"Set\", \n          \"time\": \"14:54\"\n        }, \n"
                               "        {\n          \"phen\": \"Upper Transit\", \n          \"time\": \"08:54\"\n        }, \n"
                               "        \"curphase\": \"Waxing Gibbous\", \n        \"fracillum\": \"62%\", \n",
                               SunMoonRoom(bytes)));
}

std::string SettingsLongLine(size_t bytes)
{
    const std::string head = "35.9656,-114.836,tz=-8 ", tail = ",auto update=false\r\nBoulder City\r\n";
    return head + Repeat("and more words ", bytes - head.size() - tail.size()) + tail;
}

std::string SettingsCommas(size_t bytes)
{
    const std::string head = "35.9656,-114.836,tz=-8", tail = "auto update=true\r\nBoulder City\r\n";
    return head + Repeat(",", bytes - head.size() - tail.size()) + tail;
}

const std::string kTableHeader = "Full moons, US Pacific time\r\n2024-01-25 09:54\r\n";

std::string TableLongLine(size_t bytes)
{
    return kTableHeader + Repeat("fullmoon", bytes - kTableHeader.size() - 2) + "\r\n";
}

std::string TableSpacedLine(size_t bytes)
{
    return kTableHeader + Repeat("full moon ", bytes - kTableHeader.size() - 2) + "\r\n";
}

std::string TableManyLines(size_t bytes)
{
    return kTableHeader + Repeat("2000-01-21 04:40\r\n", bytes - kTableHeader.size());
}

// ---------------------------------------------------------------------------
// Cases

enum class Input { Reply, File };

struct Shape {
    const char *name;
    Input input;
    std::function<std::string(size_t)> make;
    std::function<QString(const QString &)> stage;
    double secondsAt16 = 1.0;   // the target for the 16 MiB case
};

std::vector<Shape> Shapes()
{
    using namespace scaling;
    return {
        {"forecast: deep nesting, text at every level", Input::Reply, DeepNesting, ForecastStage},
        {"forecast: empty elements (<v/>)", Input::Reply, EmptyElements, ForecastStage},
        {"forecast: attributes on one element", Input::Reply, ManyAttributes, ForecastStage},
        {"forecast: one long line of text", Input::Reply, LongLine, ForecastStage},
        {"forecast: flood of \"|\"", Input::Reply, PipeFlood, ForecastStage},
        {"forecast: a hundred hazards", Input::Reply, HundredHazards, ForecastStage},
        {"forecast: one hazard headline of 1 MiB", Input::Reply, LongHeadline, ForecastStage},
        {"api forecast: periods past the bound", Input::Reply, ApiManyPeriods, ApiForecastStage},
        {"api forecast: 1000 periods, long texts", Input::Reply, ApiLongTexts, ApiForecastStage},
        {"api forecast: one worded forecast", Input::Reply, ApiLongText, ApiForecastStage},
        {"api forecast: arrays nested 60 deep", Input::Reply, ApiDeepArrays, ApiForecastStage},
        {"alerts: a thousand alerts", Input::Reply, ThousandAlerts, AlertsStage},
        {"alerts: one 1 MiB description", Input::Reply, AlertLongDescription, AlertsStage},
        {"hourly: 10,000 hours", Input::Reply, HourlyManyHours, HourlyStage, 0.5},
        {"hourly: one 1 MiB weather value", Input::Reply, HourlyLongWeather, HourlyStage, 0.5},
        {"hourly: series of different lengths", Input::Reply, HourlyUnevenSeries, HourlyStage, 0.5},
        {"hourly: time layout going backwards", Input::Reply, HourlyBackwards, HourlyStage, 0.5},
        {"sun/moon: flood of commas", Input::Reply, CommaFlood, SunMoonStage},
        {"sun/moon: one long line, no commas", Input::Reply, SunMoonLongLine, SunMoonStage},
        {"sun/moon: many marker pieces", Input::Reply, MarkerPieces, SunMoonStage},
        {"tomorrow: flood of commas", Input::Reply, CommaFlood, TomorrowStage},
        {"tomorrow: one long line, no commas", Input::Reply, SunMoonLongLine, TomorrowStage},
        {"tomorrow: many marker pieces", Input::Reply, MarkerPieces, TomorrowStage},
        {"settings file: one long line", Input::File, SettingsLongLine, SettingsStage},
        {"settings file: flood of commas", Input::File, SettingsCommas, SettingsStage},
        {"full-moon table: one long line", Input::File, TableLongLine, FullMoonStage},
        {"full-moon table: long line, many spaces", Input::File, TableSpacedLine, FullMoonStage},
        {"full-moon table: many date lines", Input::File, TableManyLines, FullMoonStage},
    };
}

struct Measurement {
    size_t bytes = 0;
    std::vector<double> seconds; // one per finished run
    long baselineKiB = 0;
    long peakKiB = 0;      // ru_maxrss, or the high-water mark when killed
    bool capped = false;
    bool failed = false;   // the child died on its own
    std::string outcome;

    double Median() const
    {
        std::vector<double> s = seconds;
        std::sort(s.begin(), s.end());
        return s.empty() ? 0.0 : s[s.size() / 2];
    }
    long ExtraKiB() const { return std::max(0L, peakKiB - baselineKiB); }
};

long StatusKiB(const char *file, const char *field)
{
    FILE *f = std::fopen(file, "r");
    if (!f)
        return 0;
    char line[256];
    long kib = 0;
    const size_t n = std::strlen(field);
    while (std::fgets(line, sizeof line, f))
        if (std::strncmp(line, field, n) == 0)
            kib = std::atol(line + n);
    std::fclose(f);
    return kib;
}

void Send(int fd, const std::string &message)
{
    const std::string line = message + "\n";
    if (write(fd, line.data(), line.size()) < 0)
        _exit(3);
}

// In the child: build the input, then time the stage.
[[noreturn]] void RunChild(const Shape &shape, size_t bytes, const QString &dir, int fd)
{
    QString reply;
    QString path;
    {
        std::string text = shape.make(bytes);
        Send(fd, "bytes " + std::to_string(text.size()));
        if (shape.input == Input::Reply) {
            // What the download hands on: one character per byte.
            reply = QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
        } else {
            path = dir + QStringLiteral("/input.txt");
            FILE *f = std::fopen(QFile::encodeName(path).constData(), "wb");
            if (!f || std::fwrite(text.data(), 1, text.size(), f) != text.size() || std::fclose(f) != 0)
                _exit(4);
        }
    }
    // Only what the stage itself needs counts: forget the peak of building
    // the input.
    if (int f = open("/proc/self/clear_refs", O_WRONLY); f >= 0) {
        if (write(f, "5", 1) < 0)
            _exit(5);
        close(f);
    }
    Send(fd, "rss " + std::to_string(StatusKiB("/proc/self/status", "VmRSS:")));
    const QString &argument = shape.input == Input::Reply ? reply : path;
    double spent = 0;
    QString outcome;
    for (int run = 0; run < kMaxRuns && spent < kRunBudgetSeconds; ++run) {
        const auto start = std::chrono::steady_clock::now();
        outcome = shape.stage(argument);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        spent += seconds;
        char text[64];
        std::snprintf(text, sizeof text, "run %.9f", seconds);
        Send(fd, text);
    }
    Send(fd, "outcome " + outcome.simplified().toStdString());
    _exit(0);
}

void Parse(const std::string &line, Measurement &result)
{
    if (line.rfind("bytes ", 0) == 0)
        result.bytes = std::stoull(line.substr(6));
    else if (line.rfind("rss ", 0) == 0)
        result.baselineKiB = std::stol(line.substr(4));
    else if (line.rfind("run ", 0) == 0)
        result.seconds.push_back(std::stod(line.substr(4)));
    else if (line.rfind("outcome ", 0) == 0)
        result.outcome = line.substr(8);
}

// Hands every whole line in `pending` to Parse and keeps the rest; true
// when one of them said the stage is about to start.
bool TakeLines(std::string &pending, Measurement &result)
{
    bool stageStarts = false;
    size_t eol;
    while ((eol = pending.find('\n')) != std::string::npos) {
        Parse(pending.substr(0, eol), result);
        stageStarts = stageStarts || pending.rfind("rss ", 0) == 0;
        pending.erase(0, eol + 1);
    }
    return stageStarts;
}

// Reads the child's lines until it ends, or kills it once its stage has run
// longer than the cap; `usage` is then the child's.
void WatchChild(pid_t pid, int fd, Measurement &result, int &status, rusage &usage)
{
    std::string pending;
    bool started = false; // the stage is running once the size before it came
    auto stageStart = std::chrono::steady_clock::now();
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 20) > 0) {
            char buffer[4096];
            const ssize_t n = read(fd, buffer, sizeof buffer);
            if (n > 0) {
                pending.append(buffer, static_cast<size_t>(n));
                if (TakeLines(pending, result)) {
                    started = true;
                    stageStart = std::chrono::steady_clock::now();
                }
            }
        }
        if (wait4(pid, &status, WNOHANG, &usage) == pid)
            break;
        if (started && std::chrono::duration<double>(std::chrono::steady_clock::now() - stageStart).count() > capSeconds) {
            char file[64];
            std::snprintf(file, sizeof file, "/proc/%d/status", static_cast<int>(pid));
            result.peakKiB = StatusKiB(file, "VmHWM:");
            kill(pid, SIGKILL);
            wait4(pid, &status, 0, &usage);
            result.capped = true;
            break;
        }
    }
    // Whatever the child wrote before it ended.
    char buffer[4096];
    ssize_t n;
    while ((n = read(fd, buffer, sizeof buffer)) > 0)
        pending.append(buffer, static_cast<size_t>(n));
    TakeLines(pending, result);
}

Measurement RunCase(const Shape &shape, size_t bytes, const QString &dir)
{
    Measurement result;
    int fds[2];
    if (pipe(fds) != 0) {
        result.failed = true;
        return result;
    }
    std::fflush(stdout);
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        RunChild(shape, bytes, dir, fds[1]);
    }
    close(fds[1]);
    int status = 0;
    rusage usage{};
    WatchChild(pid, fds[0], result, status, usage);
    close(fds[0]);
    if (!result.capped) {
        result.peakKiB = usage.ru_maxrss;
        result.failed = !WIFEXITED(status) || WEXITSTATUS(status) != 0 || result.seconds.empty();
    }
    // A capped case counts its finished runs only when every planned run finished.
    if (result.capped && !result.seconds.empty())
        result.outcome += " (killed after a finished run)";
    return result;
}

std::string Mib(long kib)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MiB", static_cast<double>(kib) / 1024.0);
    return text;
}

std::string TimeText(const Measurement &r)
{
    char text[32];
    if (r.capped && r.seconds.empty())
        std::snprintf(text, sizeof text, "> %.0f s", capSeconds);
    else if (r.failed)
        std::snprintf(text, sizeof text, "failed");
    else
        std::snprintf(text, sizeof text, "%.3f s", r.Median());
    return text;
}

} // namespace

// The three targets for one shape, from its measurements at x1, x4, x16.
void PrintVerdict(const std::vector<Measurement> &results, double secondsAt16)
{
    const Measurement &first = results.front();
    const Measurement &last = results.back();
    const bool complete = results.size() == std::size(kScales) && !last.capped && !last.failed;
    std::string ratio, within, memory;
    char text[96];
    if (first.capped || first.failed || first.seconds.empty()) {
        ratio = "x16/x1 time: -";
    } else if (complete) {
        const double q = last.Median() / first.Median();
        std::snprintf(text, sizeof text, "x16/x1 time %.1f (%s)", q, q <= 20 ? "holds" : "FAILS");
        ratio = text;
    } else {
        std::snprintf(text, sizeof text, "x16/x1 time > %.0f (FAILS)", capSeconds / first.Median());
        ratio = text;
    }
    if (complete) {
        std::snprintf(text, sizeof text, "16 MiB in %.3f s, target %.1f s (%s)", last.Median(), secondsAt16,
                      last.Median() < secondsAt16 ? "holds" : "FAILS");
        within = text;
        const double times = static_cast<double>(last.ExtraKiB()) * 1024.0 / static_cast<double>(last.bytes);
        std::snprintf(text, sizeof text, "peak extra %s = %.1f x input (%s)", Mib(last.ExtraKiB()).c_str(), times,
                      times < 10 ? "holds" : "FAILS");
        memory = text;
    } else {
        within = "16 MiB not reached in the cap (FAILS)";
        memory = "peak extra at 16 MiB: not measured";
    }
    std::printf("%44s -> %s; %s; %s\n", "", ratio.c_str(), within.c_str(), memory.c_str());
    std::fflush(stdout);
}

int main(int argc, char **argv)
{
    std::string only;
    for (int a = 1; a < argc; ++a) {
        if (std::strcmp(argv[a], "--cap") == 0 && a + 1 < argc)
            capSeconds = std::atof(argv[++a]);
        else if (std::strcmp(argv[a], "--only") == 0 && a + 1 < argc)
            only = argv[++a];
        else {
            std::fprintf(stderr, "usage: %s [--cap SECONDS] [--only TEXT]\n", argv[0]);
            return 2;
        }
    }
    std::signal(SIGPIPE, SIG_IGN);
    char dirTemplate[] = "/tmp/selvorra-scaling-XXXXXX";
    if (!mkdtemp(dirTemplate)) {
        std::perror("mkdtemp");
        return 1;
    }
    const QString dir = QString::fromLocal8Bit(dirTemplate);

    std::printf("Scaling with hostile inputs: base %zu MiB, x1 x4 x16, median of up to %d runs, cap %.0f s per case\n",
                kBase / kMiB, kMaxRuns, capSeconds);
    std::printf("targets: x16 time <= 20 x the x1 time; 16 MiB under 1 s (hourly: 0.5 s); peak extra memory at 16 MiB "
                "under 10 x the input\n\n");
    std::printf("%-44s %4s %10s %10s %9s %4s %12s  %s\n", "shape", "size", "bytes", "time", "ns/byte", "runs",
                "peak extra", "outcome");

    for (const Shape &shape : Shapes()) {
        if (!only.empty() && std::string(shape.name).find(only) == std::string::npos)
            continue;
        std::vector<Measurement> results;
        for (const int scale : kScales) {
            const Measurement r = RunCase(shape, kBase * static_cast<size_t>(scale), dir);
            results.push_back(r);
            const double nsPerByte = r.bytes && !r.seconds.empty() ? r.Median() * 1e9 / static_cast<double>(r.bytes) : 0;
            char nsText[32] = "-";
            if (!r.capped && !r.failed)
                std::snprintf(nsText, sizeof nsText, "%.1f", nsPerByte);
            std::printf("%-44s %3dx %10zu %10s %9s %4zu %s%11s  %s\n", results.size() == 1 ? shape.name : "", scale,
                        r.bytes, TimeText(r).c_str(), nsText, r.seconds.size(), r.capped ? ">=" : "  ",
                        Mib(r.ExtraKiB()).c_str(), r.outcome.c_str());
            std::fflush(stdout);
            if (r.capped || r.failed)
                break;
        }

        PrintVerdict(results, shape.secondsAt16);
    }
    QDir(dir).removeRecursively();
    return 0;
}

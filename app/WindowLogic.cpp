#include "WindowLogic.h"

#include "ComputedAlmanac.h"

#include "common/CodePage.h"
#include "common/RuntimeError.h"
#include "common/TextFile.h"
#include "startup/ReplyCache.h"

#include <QDir>

#include <cmath>
#include <QCursor>
#include <QGuiApplication>
#include <QLocale>
#include <QTimer>
#include <QUrl>

namespace {

const QString kStartupFailureSuffix =
    QStringLiteral(".  Text file format is Lat, Long, Auto update=true or false");
const QString kStartupFailureTitle = QStringLiteral("Error loading ") + kSettingsFileName;
const QString kNewLocation = QStringLiteral("Your new location will be updated.");
const QString kNotYet = QStringLiteral("(not yet)");

// What the cache keeps at most (the most a download takes), and how old a
// kept forecast may be to be shown at start-up.
const qint64 kMostInCache = net::DownloadOptions().maxBodyBytes;
constexpr qint64 kKeptForecastSeconds = 48 * 3600;

// A refresh is due when its count has reached its threshold, or when the
// count is negative: the clock was set back behind the stored time (a
// daylight-saving change, a corrected clock), and waiting for the old time
// to come round again could take hours or days.
bool Due(long long count, long long threshold)
{
    return count >= threshold || count < 0;
}

// After a failure: due once the wait for this many failures has passed.
bool RetryDue(const RetryState &retry, DateValue now)
{
    return Due(MinuteBoundaries(retry.lastAttempt, now), RetryWaitMinutes(retry.failures));
}


// The wait cursor while a refresh waits on the network, put back when the
// refresh ends however it ends, or earlier by release() (before a message box,
// which should not show a busy pointer).
class BusyCursor {
public:
    // Only where there is a screen: the logic also runs without one.
    BusyCursor() : active_(qobject_cast<QGuiApplication *>(QCoreApplication::instance()) != nullptr)
    {
        if (active_)
            QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    }
    ~BusyCursor() { release(); }
    BusyCursor(const BusyCursor &) = delete;
    BusyCursor &operator=(const BusyCursor &) = delete;

    void release()
    {
        if (active_) {
            active_ = false;
            QGuiApplication::restoreOverrideCursor();
        }
    }

private:
    bool active_;
};

} // namespace

int RetryWaitMinutes(int failures)
{
    if (failures <= 0)
        return 0;
    if (failures > 5)
        return 30;
    return 1 << (failures - 1);
}

QString NoForecastText(const Fetched &fetched)
{
    const net::DownloadReport &report = fetched.report;
    if (report.failure != net::Failure::None)
        return QStringLiteral("The forecast could not be downloaded: %1.").arg(net::DescribeFailure(report));
    if (report.httpStatus >= 400) {
        const QString status = QStringLiteral("HTTP %1 %2").arg(report.httpStatus).arg(report.reason).trimmed();
        return QStringLiteral("The forecast service at %1 answered with an error: %2.").arg(report.host, status);
    }
    // A successful answer with nothing in it is not a place without forecast.
    if (fetched.body.isEmpty() && report.httpStatus > 0)
        return QStringLiteral("The forecast service at %1 answered with no content (HTTP %2).")
            .arg(report.host)
            .arg(report.httpStatus);
    return kNoForecastMessage;
}

WindowLogic::WindowLogic(Platform &platform, ServiceOrigins origins, Drawer draw)
    : platform_(platform), origins_(std::move(origins)), draw_(std::move(draw))
{
}

void WindowLogic::Draw(bool repaint)
{
    if (draw_ && !closed_)
        draw_(view_, repaint);
}

void WindowLogic::Run(Command command, const std::function<void()> &handler)
{
    if (closed_)
        return;
    if (running_) {
        // A tick catches up by itself; a click joins the queue unless the
        // same command is running or already waiting.
        if (command == Command::Tick || *running_ == command)
            return;
        for (const auto &waiting : waiting_)
            if (waiting.first == command)
                return;
        waiting_.emplace_back(command, handler);
        return;
    }
    running_ = command;
    try {
        handler();
    } catch (...) {
        running_.reset();
        throw;
    }
    running_.reset();
    if (!waiting_.empty() && !closed_)
        QTimer::singleShot(0, this, &WindowLogic::RunWaiting);
}

void WindowLogic::RunWaiting()
{
    if (running_ || waiting_.empty() || closed_)
        return;
    const auto next = waiting_.front();
    waiting_.erase(waiting_.begin());
    Run(next.first, next.second);
}

void WindowLogic::Load()
{
    Run(Command::Load, [this] { StartupSequence(); });
}

void WindowLogic::Tick()
{
    Run(Command::Tick, [this] { TickHandler(); });
}

void WindowLogic::UpdateClicked()
{
    Run(Command::Update, [this] {
        // The refresh reports its own failures: nothing reaches this handler.
        state_.LastForecastTime = platform_.Now();
        RefreshForecast();
    });
}

void WindowLogic::LocationClicked()
{
    Run(Command::Location, [this] { LocationHandler(); });
}

void WindowLogic::Closed()
{
    // Whatever handler waits ends at once and takes no further step; nothing
    // waiting runs, and the window is never shown again.
    closed_ = true;
    waiting_.clear();
    platform_.Quit();
}

FilePlaces WindowLogic::Places()
{
    return ChooseFilePlaces(platform_.ProgramDirectory(), platform_.ProgramDirectoryWritable(),
                            platform_.UserConfigDirectory());
}

QString WindowLogic::PlaceKey() const
{
    return state_.Latitude + QLatin1Char(',') + state_.Longitude + QLatin1Char(',') + state_.QueryExtra;
}

void WindowLogic::StartupSequence()
{
    if (closed_)
        return;
    try {
        view_.shown = true;
        Draw();
        state_.LastForecastTime = platform_.Now();
        state_.LastAlmanacTime = state_.LastForecastTime;

        bool autoUpdate = view_.timerOn;
        const FilePlaces places = Places();
        ReadSettingsFile(places.settingsToRead, state_, autoUpdate);
        // Nothing here switches automatic updates back on.
        if (!autoUpdate) {
            view_.timerOn = false;
            Draw();
        }

        const DateValue cutoff = DatePart(platform_.Now()) - 5;
        LookupNextFullMoon(places.table, cutoff, state_);

        // Before anything is fetched: the last good replies for this place.
        ShowKept();
        if (closed_)
            return;
        RefreshAlmanac();
        if (closed_)
            return;

        view_.columns = true;
        Draw();

        platform_.LetEventsRun();
        if (closed_)
            return;
        RefreshForecast();
        if (closed_)
            return;
        Draw(true);
    } catch (const RuntimeError &error) {
        if (!closed_)
            platform_.ShowMessage(error.description() + kStartupFailureSuffix, kStartupFailureTitle);
    }
}

bool WindowLogic::AlmanacDue(DateValue now) const
{
    if (almanacRetry_.failures > 0)
        return RetryDue(almanacRetry_, now) || Due(DayBoundaries(almanacRetry_.lastAttempt, now), 1);
    return Due(HourBoundaries(state_.LastAlmanacTime, now), 8) || Due(DayBoundaries(state_.LastAlmanacTime, now), 1);
}

bool WindowLogic::ForecastDue(DateValue now) const
{
    if (forecastRetry_.failures > 0)
        return RetryDue(forecastRetry_, now);
    return Due(MinuteBoundaries(state_.LastForecastTime, now), 30);
}

void WindowLogic::TickHandler()
{
    if (closed_)
        return;
    if (AlmanacDue(platform_.Now())) {
        state_.LastAlmanacTime = platform_.Now();
        RefreshAlmanac();
        if (closed_)
            return;
        platform_.Pause(5000);
        if (closed_)
            return;
    }
    if (ForecastDue(platform_.Now())) {
        state_.LastForecastTime = platform_.Now();
        RefreshForecast();
    }
}

void WindowLogic::LocationHandler()
{
    const FilePlaces places = Places();
    const QString path = places.settings;
    if (!PrepareSettingsFile(places) || closed_)
        return;
    const QString noEditor = QStringLiteral("No text editor could be started for %1.\n"
                                            "Edit that file with any text editor, then close this message.")
                                 .arg(path);
    bool editing = platform_.OpenInEditor(path);
    if (closed_)
        return;
    if (editing && !platform_.ShowMessageWhileEditing(kNewLocation))
        editing = false;   // the editor failed while the box was up
    if (closed_)
        return;
    if (!editing) {
        platform_.ShowMessage(noEditor, QString());
        if (closed_)
            return;
        platform_.ShowMessage(kNewLocation, QString());
        if (closed_)
            return;
    }
    view_.columns = false;
    view_.rows.clear();
    // The place may be another: its warnings, refresh times and retries
    // start over with it.
    view_.hazards.clear();
    almanacSuccess_.reset();
    forecastRetry_ = RetryState();
    almanacRetry_ = RetryState();
    Draw();
    StartupSequence();
}

bool WindowLogic::PrepareSettingsFile(const FilePlaces &places)
{
    const QString &path = places.settings;
    // Only a missing file is created, and never through a link or over a
    // pipe; anything else that is not a file stops the command with its name.
    const PathKind kind = InspectPath(path);
    if (kind == PathKind::File)
        return true;
    if (kind != PathKind::Missing) {
        platform_.ShowMessage(QStringLiteral("The settings file cannot be edited: %1 %2.").arg(path, PathKindText(kind)),
                              QStringLiteral("Error opening ") + kSettingsFileName);
        return false;
    }
    try {
        if (!places.userDirectory.isEmpty() && !QDir().mkpath(places.userDirectory))
            throw RuntimeError(QStringLiteral("Cannot create the folder %1").arg(places.userDirectory));
        CreateTextFile(path, NewSettingsContent(places));
    } catch (const RuntimeError &error) {
        platform_.ShowMessage(QStringLiteral("The settings file could not be created.\n%1").arg(error.description()),
                              QStringLiteral("Error creating ") + kSettingsFileName);
        return false;
    }
    return true;
}

void WindowLogic::ShowAlmanac(const AlmanacTexts &texts, bool computed)
{
    AlmanacComposition composition = ComposeAlmanac(texts);
    if (computed)
        MarkComputed(composition);
    state_.AlmanacText = composition.text;
    state_.AlmanacTitle = composition.title;
    // An illumination beyond 16 bits keeps the picture the window had.
    if (const Result<int> image = MoonImageNumber(texts.illuminationText, texts.phaseWord)) {
        view_.icon = image.value;
        Draw();
    }
}

void WindowLogic::AlmanacFailed(DateValue attempt)
{
    ++almanacRetry_.failures;
    almanacRetry_.lastAttempt = attempt;
    ShowComputedAlmanac(attempt);
}

void WindowLogic::ShowComputedAlmanac(DateValue now)
{
    // Values the observatory gave for this place and date stay; otherwise
    // (nothing yet, another day, another place) the window shows the values
    // computed here, marked as such.
    const AlmanacOrigin today{PlaceKey(), DatePart(now)};
    if (almanacOrigin_ == today)
        return;
    if (const std::optional<AlmanacTexts> computed = ComputedAlmanacTexts(state_, now)) {
        ShowAlmanac(*computed, true);
        almanacOrigin_ = today;
    }
}

void WindowLogic::ShowComputedMoonrise(DateValue now)
{
    // Likewise tomorrow's moonrise: the observatory's time for the date stays.
    const AlmanacOrigin tomorrow{PlaceKey(), DatePart(now) + 1};
    if (moonriseOrigin_ == tomorrow)
        return;
    if (const std::optional<QString> computed = ComputedMoonriseTomorrow(state_, now)) {
        state_.MoonriseTomorrowText = *computed;
        moonriseOrigin_ = tomorrow;
    }
}

bool WindowLogic::RefreshAlmanac()
{
    BusyCursor busy;
    const DateValue attempt = platform_.Now();
    const Fetched fetched = platform_.DownloadUrl(
        AlmanacQuery(origins_.almanac, state_.Latitude, state_.Longitude, state_.QueryExtra, attempt), 0);
    if (closed_)
        return false;
    // Nothing fetched (offline, a failing host), an error page, or a reply
    // that could not be read: what the window shows stays, or is computed.
    const bool answered = !fetched.body.isEmpty() && fetched.report.httpStatus < 400;
    const Result<AlmanacTexts> scan = answered ? ScanAlmanacReply(fetched.body) : Result<AlmanacTexts>{};
    if (!answered || !scan) {
        AlmanacFailed(attempt);
        return false;
    }
    ShowAlmanac(scan.value, false);
    almanacOrigin_ = AlmanacOrigin{PlaceKey(), DatePart(attempt)};
    almanacRetry_ = RetryState();
    almanacSuccess_ = attempt;
    Keep(QStringLiteral("almanac"), DatedKey(attempt), fetched.body);
    return true;
}

void WindowLogic::FetchTomorrowMoonrise()
{
    BusyCursor busy;
    const DateValue now = platform_.Now();
    const Fetched fetched = platform_.DownloadUrl(
        TomorrowQuery(origins_.almanac, state_.Latitude, state_.Longitude, state_.QueryExtra, now), 0);
    if (closed_)
        return;
    // The moonrise row keeps the last time found.
    const bool answered = fetched.report.httpStatus < 400;
    const Result<QString> moonrise = answered ? ScanTomorrowMoonrise(fetched.body) : Result<QString>{};
    if (answered && moonrise && !moonrise.value.isEmpty()) {
        state_.MoonriseTomorrowText = moonrise.value;
        moonriseOrigin_ = AlmanacOrigin{PlaceKey(), DatePart(now) + 1};
        Keep(QStringLiteral("tomorrow"), DatedKey(DatePart(now) + 1), fetched.body);
        return;
    }
    ShowComputedMoonrise(now);
}

bool OpenableWarningAddress(const QString &url)
{
    // The address must start with the service's own https origin and a
    // slash, so no user part, port or look-alike host can follow the name.
    static const QString origin = QStringLiteral("https://forecast.weather.gov/");
    return url.startsWith(origin) && QUrl(url, QUrl::StrictMode).isValid();
}

void WindowLogic::WarningActivated(int index)
{
    Run(Command::Warning, [this, index] {
        if (index < 0 || index >= int(view_.hazards.size()))
            return;
        const Hazard hazard = view_.hazards[size_t(index)];
        const QString shown = hazard.url.left(200);
        if (hazard.url.isEmpty()) {
            platform_.ShowMessage(QStringLiteral("The weather service gave no page for \"%1\".").arg(hazard.headline),
                                  QString());
        } else if (!OpenableWarningAddress(hazard.url)) {
            platform_.ShowMessage(QStringLiteral("The page of \"%1\" is not opened: %2 is not an address of "
                                                 "https://forecast.weather.gov/.")
                                      .arg(hazard.headline, shown),
                                  QString());
        } else if (!platform_.OpenUrl(hazard.url) && !closed_) {
            platform_.ShowMessage(QStringLiteral("No web browser could be started for %1.").arg(shown), QString());
        }
    });
}

QString WindowLogic::ShowForecast(const ForecastExtraction &extraction, DateValue shownTime, const QDateTime &fetchedUtc,
                                  bool live, QString &temperatureText)
{
    DisplayInputs inputs;
    inputs.almanacText = state_.AlmanacText;
    inputs.almanacTitle = state_.AlmanacTitle;
    inputs.nextFullMoon = state_.NextFullMoon;
    inputs.lastAlmanacTime = almanacSuccess_;
    inputs.lastForecastTime = shownTime;
    inputs.today = DatePart(platform_.Now());
    inputs.timerEnabled = view_.timerOn;
    inputs.forecastSource = forecastSource_;
    inputs.forecastFetchedUtc = fetchedUtc;
    const Result<ForecastView> view = ComposeForecastView(extraction, inputs);
    temperatureText = view.value.temperatureText;
    view_.label = view.value.labelText;
    view_.text1 = view.value.text1;
    if (!view)
        return view.reason;
    view_.columns = true;
    view_.rows = view.value.rows;
    view_.hazards = extraction.hazards;
    Draw();
    if (live) {
        FetchTomorrowMoonrise();
        if (closed_)
            return QString();
    }
    view_.rows.push_back(MoonriseRow(state_.MoonriseTomorrowText));
    view_.rows.insert(view_.rows.end(), view.value.timeRows.begin(), view.value.timeRows.end());
    return QString();
}

bool WindowLogic::RefreshForecast()
{
    BusyCursor busy;
    const DateValue attempt = state_.LastForecastTime;
    QString temperatureText;
    const Fetched fetched =
        platform_.DownloadUrl(ForecastQuery(origins_.forecast, state_.Latitude, state_.Longitude), 0);
    if (closed_)
        return false;
    Result<ForecastExtraction> read = ExtractForecastReply(fetched.body);
    forecastSource_.clear();
    if (read.outcome == Outcome::Absent) {
        // The page gave none: the service's JSON API is asked for the place.
        const Result<ForecastExtraction> second = ForecastFromApi();
        if (closed_)
            return false;
        if (!second) {
            busy.release();
            ++forecastRetry_.failures;
            forecastRetry_.lastAttempt = platform_.Now();
            platform_.ShowFailure(Service::Forecast,
                                  NoForecastText(fetched)
                                      + QStringLiteral(" The second source, %1, gave none either: %2.")
                                            .arg(QUrl(origins_.api).host(), second.reason));
            return false;
        }
        read = second;
        forecastSource_ = QUrl(origins_.api).host();
    }
    const QString unread =
        read ? ShowForecast(read.value, attempt, platform_.NowUtc(), true, temperatureText) : read.reason;
    if (closed_)
        return false;
    // A reply that did not load or whose scan failed changes only the title.
    view_.title = ForecastTitle(temperatureText, state_.AlmanacTitle);
    Draw(true);
    if (unread.isEmpty()) {
        forecastRetry_ = RetryState();
        platform_.CloseFailure(Service::Forecast);
        if (forecastSource_.isEmpty())
            Keep(QStringLiteral("forecast"), PlaceKey(), fetched.body);
    } else {
        ++forecastRetry_.failures;
        forecastRetry_.lastAttempt = platform_.Now();
        busy.release();
        const QString host = fetched.report.host.isEmpty() ? QUrl(origins_.forecast).host() : fetched.report.host;
        platform_.ShowFailure(Service::Forecast,
                              QStringLiteral("The forecast from %1 could not be read: %2.").arg(host, unread));
    }
    platform_.LetEventsRun();
    return unread.isEmpty();
}

namespace {

// What one request to the API came to, in words: the download's failure,
// the service's own words for its error, its error status, or what the
// reading of the reply said.
template <typename T>
QString ApiFailure(const Fetched &fetched, const Result<T> &read)
{
    if (fetched.report.failure != net::Failure::None)
        return net::DescribeFailure(fetched.report);
    const QString problem = ApiProblemText(fetched.body);
    if (!problem.isEmpty())
        return problem;
    if (fetched.report.httpStatus >= 400)
        return QStringLiteral("it answered with an error: HTTP %1 %2").arg(fetched.report.httpStatus).arg(fetched.report.reason).trimmed();
    return read.reason;
}

template <typename T>
Result<ForecastExtraction> ApiFailed(const Fetched &fetched, const Result<T> &read)
{
    return Result<ForecastExtraction>::Failure(read ? Outcome::Absent : read.outcome,
                                               read ? QStringLiteral("api") : read.rule, ApiFailure(fetched, read));
}

// A kept points reply or station is used for a week: a place's grid and
// stations change rarely, and each saves the service two requests.
constexpr qint64 kKeptPointSeconds = 7 * 86400;

} // namespace

Result<ForecastExtraction> WindowLogic::ForecastFromApi()
{
    const std::optional<QString> path = ApiPointsPath(state_.Latitude, state_.Longitude);
    if (!path) {
        return Result<ForecastExtraction>::Failure(Outcome::NotLoaded, QStringLiteral("place"),
                                                   QStringLiteral("the settings name no point it knows"));
    }
    const QString folder = platform_.UserCacheDirectory();
    const QDateTime nowUtc = platform_.NowUtc();
    const auto young = [&](const std::optional<CachedReply> &kept) {
        return kept && qAbs(kept->fetchedUtc.secsTo(nowUtc)) <= kKeptPointSeconds;
    };
    const QString place = PlaceKey();

    // Where the place's forecast and stations are: kept, or asked.
    const std::optional<CachedReply> keptPoint = LoadCachedReply(folder, QStringLiteral("points"), place, kMostInCache);
    Result<ApiPoint> point = young(keptPoint) ? ReadApiPoint(keptPoint->body, origins_.api) : Result<ApiPoint>{};
    if (!young(keptPoint) || !point) {
        const Fetched fetched = platform_.DownloadApi(origins_.api + *path);
        if (closed_)
            return {};
        point = ReadApiPoint(fetched.body, origins_.api);
        if (!point || fetched.report.httpStatus >= 400)
            return ApiFailed(fetched, point);
        Keep(QStringLiteral("points"), place, fetched.body);
    }

    const Fetched forecastFetched = platform_.DownloadApi(point.value.forecastUrl);
    if (closed_)
        return {};
    Result<ForecastExtraction> forecast = MapApiForecast(forecastFetched.body);
    if (!forecast || forecastFetched.report.httpStatus >= 400)
        return ApiFailed(forecastFetched, forecast);

    // The first station, kept with the points; its latest observation is the
    // current conditions. Without them the forecast still shows.
    ApiStation station;
    const std::optional<CachedReply> keptStation = LoadCachedReply(folder, QStringLiteral("station"), place, kMostInCache);
    if (young(keptStation) && keptStation->body.count(QLatin1Char('\n')) == 1) {
        station.id = keptStation->body.section(QLatin1Char('\n'), 0, 0);
        station.name = keptStation->body.section(QLatin1Char('\n'), 1, 1);
    } else {
        const Fetched fetched = platform_.DownloadApi(point.value.stationsUrl);
        if (closed_)
            return {};
        const Result<ApiStation> first = ReadFirstStation(fetched.body);
        if (first && fetched.report.httpStatus < 400) {
            station = first.value;
            Keep(QStringLiteral("station"), place, station.id + QLatin1Char('\n') + station.name);
        }
    }
    if (!station.id.isEmpty()) {
        const Fetched fetched = platform_.DownloadApi(origins_.api + ApiLatestObservationPath(station));
        if (closed_)
            return {};
        const Result<ForecastExtraction> observed = MapApiObservation(fetched.body, station, forecast.value);
        if (observed && fetched.report.httpStatus < 400)
            forecast.value = observed.value;
    }
    return forecast;
}

QString WindowLogic::DatedKey(DateValue date) const
{
    return PlaceKey() + QLatin1Char('|') + FormatIsoDate(date);
}

void WindowLogic::Keep(const QString &name, const QString &key, const QString &body)
{
    // A cache that cannot be written costs nothing but the cache.
    StoreCachedReply(platform_.UserCacheDirectory(), name, key, platform_.NowUtc(), body, kMostInCache);
}

void WindowLogic::ShowKept()
{
    const QString folder = platform_.UserCacheDirectory();
    const DateValue now = platform_.Now();
    const QDateTime nowUtc = platform_.NowUtc();
    // The cache keeps UTC; the window shows local time.
    const DateValue shift = std::round((now - DateFromQDateTime(nowUtc)) * 1440.0) / 1440.0;
    const auto local = [&](const CachedReply &kept) { return DateFromQDateTime(kept.fetchedUtc) + shift; };
    const QString place = PlaceKey();

    // Sun and moon: the observatory's reply for today, else the values computed here.
    const std::optional<CachedReply> almanac = LoadCachedReply(folder, QStringLiteral("almanac"), DatedKey(now), kMostInCache);
    const Result<AlmanacTexts> scan = almanac ? ScanAlmanacReply(almanac->body) : Result<AlmanacTexts>{};
    if (almanac && scan) {
        ShowAlmanac(scan.value, false);
        almanacOrigin_ = AlmanacOrigin{place, DatePart(now)};
        almanacSuccess_ = local(*almanac);
    } else {
        ShowComputedAlmanac(now);
    }
    const std::optional<CachedReply> tomorrow =
        LoadCachedReply(folder, QStringLiteral("tomorrow"), DatedKey(DatePart(now) + 1), kMostInCache);
    const Result<QString> moonrise = tomorrow ? ScanTomorrowMoonrise(tomorrow->body) : Result<QString>{};
    if (tomorrow && moonrise && !moonrise.value.isEmpty()) {
        state_.MoonriseTomorrowText = moonrise.value;
        moonriseOrigin_ = AlmanacOrigin{place, DatePart(now) + 1};
    } else {
        ShowComputedMoonrise(now);
    }

    // The forecast, when it is at most two days old.
    const std::optional<CachedReply> forecast = LoadCachedReply(folder, QStringLiteral("forecast"), place, kMostInCache);
    if (!forecast || qAbs(forecast->fetchedUtc.secsTo(nowUtc)) > kKeptForecastSeconds)
        return;
    const Result<ForecastExtraction> read = ExtractForecastReply(forecast->body);
    QString temperatureText;
    if (!read || !ShowForecast(read.value, local(*forecast), forecast->fetchedUtc, false, temperatureText).isEmpty())
        return;
    view_.title = ForecastTitle(temperatureText, state_.AlmanacTitle);
    // Painted while the first download waits, not before it starts.
    Draw();
}

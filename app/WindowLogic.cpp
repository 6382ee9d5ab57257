#include "WindowLogic.h"

#include "almanac/AlmanacSource.h"
#include "almanac/ComputedSky.h"
#include "common/RuntimeError.h"
#include "common/TextFile.h"
#include "forecast/ForecastSource.h"

#include <QDir>
#include <QUrl>

#include <cmath>

namespace {

const QString kStartupFailureSuffix =
    QStringLiteral(".  Text file format is Lat, Long, Auto update=true or false");
const QString kStartupFailureTitle = QStringLiteral("Error loading ") + kSettingsFileName;
const QString kNewLocation = QStringLiteral("Your new location will be updated.");

} // namespace

QString NoForecastText(const net::Fetched &fetched)
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
    : platform_(platform), origins_(std::move(origins)), draw_(std::move(draw)), alerts_(platform_, origins_.alerts),
      hourly_(platform_, origins_.forecast, origins_.api)
{
    // "Show" on a notification: the main window forward, the alert's own window open.
    platform_.OnNotificationShown([this](uint id) {
        if (const std::optional<Alert> alert = alerts_.AlertOfNotification(id, platform_.Now()); alert && showAlert_)
            showAlert_(*alert);
    });
}

void WindowLogic::SetWindows(std::function<void(const Alert &)> showAlert, HourlyWatch::Shower showHours)
{
    showAlert_ = std::move(showAlert);
    hourly_.SetShower(std::move(showHours));
}

void WindowLogic::Draw(bool repaint)
{
    model_.alerts = alerts_.ShownAt(platform_.Now());
    model_.Compose(platform_.Now());
    if (draw_ && !closed_)
        draw_(model_.view, repaint);
}

// --- the four events -----------------------------------------------------------

void WindowLogic::Run(Command command, const std::function<void()> &handler)
{
    queue_.Run(int(command), command == Command::Tick, handler);
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
        model_.state.LastForecastTime = platform_.Now();
        RefreshForecast();
        // With automatic updates off, the alerts are asked only now and at start-up.
        AfterForecast(true, true);
    });
}

void WindowLogic::LocationClicked()
{
    Run(Command::Location, [this] { LocationHandler(); });
}

void WindowLogic::WarningActivated(int index)
{
    Run(Command::Warning, [this, index] { ShowWarning(index); });
}

void WindowLogic::HoursClicked(std::optional<int> row)
{
    Run(Command::Hours, [this, row] {
        const std::optional<QDateTime> start =
            row && *row >= 0 && *row < 7 ? std::optional<QDateTime>(model_.forecast.starts[size_t(*row + 1)]) : std::nullopt;
        hourly_.Open(model_.PlaceNow(), start && start->isValid() ? start : std::nullopt, Download());
    });
}

void WindowLogic::Closed()
{
    // Whatever handler waits ends at once and takes no further step; nothing
    // waiting runs, and the window is never shown again.
    closed_ = true;
    queue_.Close();
    platform_.Quit();
}

// --- the handlers --------------------------------------------------------------

void WindowLogic::StartupSequence()
{
    if (closed_)
        return;
    try {
        model_.view.shown = true;
        Draw();
        model_.state.LastForecastTime = platform_.Now();
        model_.state.LastAlmanacTime = model_.state.LastForecastTime;

        bool autoUpdate = model_.view.timerOn;
        const FilePlaces places = ChooseFilePlaces(platform_.ProgramDirectory(), platform_.ProgramDirectoryWritable(),
                                                   platform_.UserConfigDirectory());
        ReadSettingsFile(places.settingsToRead, model_.state, autoUpdate);
        // Nothing here switches automatic updates back on.
        if (!autoUpdate) {
            model_.view.timerOn = false;
            Draw();
        }
        LookupNextFullMoon(places.table, DatePart(platform_.Now()) - 5, model_.state);
        alerts_.Start(model_.PlaceNow(), platform_.Now());

        // Before anything is fetched: the last good replies for this place.
        ShowKept();
        if (closed_)
            return;
        RefreshAlmanac();
        if (closed_)
            return;
        model_.view.columns = true;
        Draw();
        platform_.LetEventsRun();
        if (closed_)
            return;
        RefreshForecast();
        if (closed_)
            return;
        Draw(true);
        // The alerts once the window is populated, never before.
        AfterForecast(false, true);
    } catch (const RuntimeError &error) {
        if (!closed_)
            platform_.ShowMessage(error.description() + kStartupFailureSuffix, kStartupFailureTitle);
    }
}

void WindowLogic::TickHandler()
{
    // A refresh runs when its schedule finds it due, its time stored first.
    const auto refreshIfDue = [this](const Schedule &schedule, DateValue &lastTry, bool (WindowLogic::*refresh)()) {
        if (closed_ || !schedule.Due(lastTry, platform_.Now()))
            return false;
        lastTry = platform_.Now();
        (this->*refresh)();
        return true;
    };
    if (refreshIfDue(almanacSchedule_, model_.state.LastAlmanacTime, &WindowLogic::RefreshAlmanac) && !closed_)
        platform_.Pause(5000);
    // The refresh-time rows carry their date once a new day has begun, and
    // an alert leaves the strip at its end.
    AfterForecast(refreshIfDue(forecastSchedule_, model_.state.LastForecastTime, &WindowLogic::RefreshForecast), false);
}

void WindowLogic::AfterForecast(bool refreshed, bool askAlerts)
{
    // The hours follow the forecast while their window is open.
    if (refreshed && !closed_)
        hourly_.Refresh(model_.PlaceNow(), Download());
    if (!closed_)
        alerts_.Check(Download(), platform_.Now(), askAlerts);
    if (!closed_)
        Draw();
}

void WindowLogic::LocationHandler()
{
    const FilePlaces places = ChooseFilePlaces(platform_.ProgramDirectory(), platform_.ProgramDirectoryWritable(),
                                               platform_.UserConfigDirectory());
    if (const std::optional<SettingsFileProblem> problem = PrepareSettingsFile(places)) {
        platform_.ShowMessage(problem->text, problem->title);
        return;
    }
    bool editing = platform_.OpenInEditor(places.settings);
    if (closed_)
        return;
    if (editing && !platform_.ShowMessageWhileEditing(kNewLocation))
        editing = false;   // the editor failed while the box was up
    if (closed_)
        return;
    if (!editing) {
        platform_.ShowMessage(QStringLiteral("No text editor could be started for %1.\n"
                                             "Edit that file with any text editor, then close this message.")
                                  .arg(places.settings),
                              QString());
        if (closed_)
            return;
        platform_.ShowMessage(kNewLocation, QString());
        if (closed_)
            return;
    }
    // The place may be another: its forecast rows, warnings, refresh times
    // and retries start over with it.
    model_.StartOver();
    forecastSchedule_ = Schedule(Schedule::Kind::Forecast);
    almanacSchedule_ = Schedule(Schedule::Kind::Almanac);
    Draw();
    StartupSequence();
}

void WindowLogic::ShowWarning(int index)
{
    const std::vector<Hazard> &hazards = model_.view.warnings.hazards;
    if (index < 0 || index >= int(hazards.size()))
        return;
    const Hazard hazard = hazards[size_t(index)];
    const QString shown = hazard.url.left(200);
    if (hazard.url.isEmpty()) {
        platform_.ShowMessage(QStringLiteral("The weather service gave no page for \"%1\".").arg(hazard.headline),
                              QString());
    } else if (!OpenableHazardAddress(hazard.url)) {
        platform_.ShowMessage(QStringLiteral("The page of \"%1\" is not opened: %2 is not an address of "
                                             "https://forecast.weather.gov/.")
                                  .arg(hazard.headline, shown),
                              QString());
    } else if (!platform_.OpenUrl(hazard.url) && !closed_) {
        platform_.ShowMessage(QStringLiteral("No web browser could be started for %1.").arg(shown), QString());
    }
}

// --- the refreshes -------------------------------------------------------------

KeptReplies WindowLogic::Kept() const
{
    return KeptReplies(platform_.UserCacheDirectory(), model_.PlaceNow());
}

net::Download WindowLogic::Download()
{
    // Once the window has closed, a fetch that returns counts as cancelled,
    // so no chain asks its next source.
    return [this](const net::Request &request) {
        net::Fetched fetched = platform_.Download(request);
        return closed_ ? net::Fetched{QString(), net::DownloadReport{net::Failure::Cancelled}} : fetched;
    };
}

bool WindowLogic::RefreshAlmanac()
{
    BusyPointer busy(platform_);
    const DateValue attempt = platform_.Now();
    const ChainOutcome<AlmanacTexts> outcome = FetchAlmanac({model_.PlaceNow(), origins_.almanac, attempt}, Download());
    if (closed_)
        return false;
    const bool observatory = outcome.value && outcome.source != kComputedSource;
    if (observatory) {
        model_.ShowAlmanac(outcome.value.value, false, attempt);
        almanacSchedule_.Succeeded();
        model_.almanacSuccess = attempt;
        Kept().KeepAll(outcome.keep, platform_.NowUtc(), DatePart(attempt));
    } else {
        // Nothing usable from the observatory: what the window shows stays,
        // or is computed here.
        almanacSchedule_.Failed(attempt);
        model_.ShowComputedSky(attempt);
    }
    Draw();
    return observatory;
}

void WindowLogic::FetchTomorrowMoonrise()
{
    BusyPointer busy(platform_);
    const DateValue tomorrow = DatePart(platform_.Now()) + 1;
    const ChainOutcome<QString> outcome = FetchMoonrise({model_.PlaceNow(), origins_.almanac, tomorrow}, Download());
    if (closed_)
        return;
    const bool observatory = outcome.value && outcome.source != kComputedSource;
    // The moonrise row keeps the observatory's time for the date.
    if (observatory || (outcome.value && !model_.ObservatoryMoonrise(tomorrow)))
        model_.ShowMoonrise(outcome.value.value, !observatory, tomorrow);
    Kept().KeepAll(outcome.keep, platform_.NowUtc(), tomorrow);
    Draw();
}

bool WindowLogic::RefreshForecast()
{
    BusyPointer busy(platform_);
    const DateValue attempt = model_.state.LastForecastTime;
    const QDateTime nowUtc = platform_.NowUtc();
    const KeptReplies kept = Kept();
    const ChainOutcome<ForecastExtraction> outcome =
        FetchForecast({{model_.PlaceNow(), origins_.forecast, origins_.api, kept.Body(kKeepPoints, nowUtc)},
                       kept.Body(kKeepStation, nowUtc)},
                      Download());
    if (closed_)
        return false;
    const QString source = outcome.failed.empty() ? QString() : outcome.source;
    const QString unread = outcome.value ? model_.ShowForecast(outcome.value.value, attempt, nowUtc, source) : QString();
    const bool shown = outcome.value && unread.isEmpty();
    // The page's forecast is kept once it has been shown.
    for (const KeepBody &reply : outcome.keep)
        if (reply.name != kKeepForecast || (shown && source.isEmpty()))
            kept.Keep(reply.name, reply.body, nowUtc);
    if (shown) {
        Draw();
        FetchTomorrowMoonrise();
        if (closed_)
            return false;
        forecastSchedule_.Succeeded();
        platform_.CloseFailure(Service::Forecast);
    } else {
        forecastSchedule_.Failed(platform_.Now());
        busy.Release();
        ReportForecastFailure(outcome, unread);
    }
    Draw(true);
    platform_.LetEventsRun();
    return shown;
}

void WindowLogic::ReportForecastFailure(const ChainOutcome<ForecastExtraction> &outcome, const QString &unread)
{
    const QString readFailure = QStringLiteral("The forecast from %1 could not be read: %2.");
    if (outcome.value) {
        platform_.ShowFailure(Service::Forecast, readFailure.arg(QUrl(origins_.forecast).host(), unread));
        return;
    }
    const Attempt &page = outcome.failed.front();
    if (page.outcome != Outcome::Absent) {
        // A reply that names a forecast but could not be read changes only
        // the title's temperature.
        model_.forecast.temperature.clear();
        const QString host = page.fetched.report.host.isEmpty() ? page.source : page.fetched.report.host;
        platform_.ShowFailure(Service::Forecast, readFailure.arg(host, page.reason));
        return;
    }
    QString text = NoForecastText(page.fetched);
    if (outcome.failed.size() > 1)
        text += QStringLiteral(" The second source, %1, gave none either: %2.")
                    .arg(outcome.failed[1].source, outcome.failed[1].reason);
    platform_.ShowFailure(Service::Forecast, text);
}

// --- the kept replies ----------------------------------------------------------

void WindowLogic::ShowKept()
{
    const KeptReplies kept = Kept();
    const DateValue now = platform_.Now();
    const QDateTime nowUtc = platform_.NowUtc();
    // The cache keeps UTC; the window shows local time.
    const DateValue shift = std::round((now - DateFromQDateTime(nowUtc)) * 1440.0) / 1440.0;
    const auto local = [&](const CachedReply &reply) { return DateFromQDateTime(reply.fetchedUtc) + shift; };
    // Sun and moon: the observatory's reply for today, else the values computed here.
    const std::optional<CachedReply> almanac = kept.Load(kKeepAlmanac, nowUtc, DatePart(now));
    const Result<AlmanacTexts> texts = almanac ? ReadAlmanac(almanac->body) : Result<AlmanacTexts>{};
    if (texts) {
        model_.ShowAlmanac(texts.value, false, now);
        model_.almanacSuccess = local(*almanac);
    } else {
        model_.ShowComputedSky(now);
    }
    const std::optional<CachedReply> tomorrow = kept.Load(kKeepTomorrow, nowUtc, DatePart(now) + 1);
    const Result<QString> moonrise = tomorrow ? ReadMoonrise(tomorrow->body) : Result<QString>{};
    if (moonrise)
        model_.ShowMoonrise(moonrise.value, false, DatePart(now) + 1);
    // The forecast, when it is young enough.
    const std::optional<CachedReply> forecast = kept.Load(kKeepForecast, nowUtc);
    const Result<ForecastExtraction> read = forecast ? ExtractForecastReply(forecast->body) : Result<ForecastExtraction>{};
    if (read)
        model_.ShowForecast(read.value, local(*forecast), forecast->fetchedUtc, QString());
    // Painted while the first download waits, not before it starts.
    Draw();
}

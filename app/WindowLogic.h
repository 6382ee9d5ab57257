#pragma once

#include "Platform.h"

#include "almanac/Almanac.h"
#include "forecast/ApiForecast.h"
#include "forecast/Display.h"
#include "forecast/ForecastQuery.h"
#include "startup/FormState.h"
#include "startup/StartupFiles.h"

#include <QObject>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

// Where the two services live. Tests point both at a loopback server; users
// never change them.
struct ServiceOrigins {
    QString forecast = kForecastOrigin;
    QString almanac = kAlmanacOrigin;
    // The weather service's JSON API, the second source of the forecast.
    QString api = QStringLiteral("https://api.weather.gov");
};

// Everything the window shows, as plain data: the window draws exactly this.
struct WindowView {
    bool shown = false;
    QString title = QStringLiteral("Selvorra Boulder City");
    int icon = 0;                 // picture of the image list; 0 for the sun
    QString label;                // the temperature label
    QString text1;                // the text box, CR LF line ends
    bool columns = false;         // the list's five columns are there
    std::vector<ListRow> rows;
    bool timerOn = true;
    std::vector<Hazard> hazards;  // the warnings strip; empty: no strip
    bool operator==(const WindowView &) const = default;
};

// Whether a warning's address may be opened: https://forecast.weather.gov/ only.
bool OpenableWarningAddress(const QString &url);

// A refresh that failed is tried again after a growing wait, counted from
// its last try; the first success clears it.
struct RetryState {
    int failures = 0;            // failed tries since the last success
    DateValue lastAttempt = 0;
};

// Minutes to wait after `failures` failed tries in a row: 1, 2, 4, 8, 16,
// then 30 for as long as the service stays away.
int RetryWaitMinutes(int failures);

// What a forecast refresh that got no forecast says: the download's failure,
// the service's error status, an empty answer, or that the place has none.
QString NoForecastText(const Fetched &fetched);

// What sun/moon values on show were made for: the place (its three
// settings texts) and the local date.
struct AlmanacOrigin {
    QString place;
    DateValue date = 0;
    bool operator==(const AlmanacOrigin &) const = default;
};

// The window's logic without widgets: the start-up, the refresh schedule,
// the refreshes, the two commands and the wording of every message. It owns
// the form state and reaches the world through the platform; whenever what
// the window shows changes, it hands the new view to `draw`.
class WindowLogic : public QObject {
    Q_OBJECT

public:
    // `repaint`: paint at once (the refresh's closing step), not later.
    using Drawer = std::function<void(const WindowView &view, bool repaint)>;

    WindowLogic(Platform &platform, ServiceOrigins origins, Drawer draw);

    // The four events. None of them ever runs inside another: a tick that
    // arrives while one runs does nothing, and a click waits until the
    // running one has returned, unless the same command is already running
    // or waiting, when it is dropped. After Closed() nothing runs any more.
    void Load();
    void Tick();
    void UpdateClicked();
    void LocationClicked();
    // The warning `index` of the strip was activated: its page opens in the
    // browser when its address is the weather service's, else a message says why.
    void WarningActivated(int index);
    void Closed();

    // The refreshes; each handles its own failures and says whether it
    // went through.
    bool RefreshAlmanac();
    bool RefreshForecast();
    void FetchTomorrowMoonrise();

    const FormState &State() const { return state_; }
    const WindowView &View() const { return view_; }
    bool Busy() const { return running_.has_value(); }

private:
    enum class Command { Load, Tick, Update, Location, Warning };
    void Run(Command command, const std::function<void()> &handler);
    void RunWaiting();

    void StartupSequence();
    void TickHandler();
    void LocationHandler();
    FilePlaces Places();
    bool PrepareSettingsFile(const FilePlaces &places);

    bool AlmanacDue(DateValue now) const;
    bool ForecastDue(DateValue now) const;
    void AlmanacFailed(DateValue attempt);
    // The values computed here for today, or tomorrow's moonrise, unless the
    // observatory's (or the computed) values for that place and date are on show.
    void ShowComputedAlmanac(DateValue now);
    void ShowComputedMoonrise(DateValue now);
    void ShowAlmanac(const AlmanacTexts &texts, bool computed);
    // Shows an extracted forecast (with tomorrow's moonrise fetched when
    // `live`); the reason when its composition stopped, else empty.
    QString ShowForecast(const ForecastExtraction &extraction, DateValue shownTime, const QDateTime &fetchedUtc,
                         bool live, QString &temperatureText);
    // The forecast from the JSON API, for when the page gives none; the
    // reason in words when it gives none either.
    Result<ForecastExtraction> ForecastFromApi();
    // The last good replies: kept after each success, shown at start-up.
    void Keep(const QString &name, const QString &key, const QString &body);
    void ShowKept();
    QString PlaceKey() const;
    QString DatedKey(DateValue date) const;
    void Draw(bool repaint = false);

    Platform &platform_;
    ServiceOrigins origins_;
    Drawer draw_;
    FormState state_;
    WindowView view_;
    bool closed_ = false;
    std::optional<Command> running_;
    std::vector<std::pair<Command, std::function<void()>>> waiting_;
    RetryState forecastRetry_;
    RetryState almanacRetry_;
    // The last sun/moon refresh that went through (what its time row shows).
    std::optional<DateValue> almanacSuccess_;
    // What today's sun and moon and tomorrow's moonrise on show were made for.
    std::optional<AlmanacOrigin> almanacOrigin_;
    std::optional<AlmanacOrigin> moonriseOrigin_;
    // Where the forecast being shown came from: empty for the forecast page,
    // the API's host otherwise.
    QString forecastSource_;
};

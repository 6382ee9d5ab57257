#pragma once

#include "AlertWatch.h"
#include "CommandQueue.h"
#include "HourlyWatch.h"
#include "Platform.h"
#include "WindowModel.h"

#include "almanac/Almanac.h"
#include "cache/KeptReplies.h"
#include "common/Place.h"
#include "common/SourceChain.h"
#include "forecast/ForecastQuery.h"
#include "schedule/Schedule.h"
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
    // The same service's active alerts (tests give them a host of their own).
    QString alerts = QStringLiteral("https://api.weather.gov");
};

// What a forecast refresh that got no forecast from the page says: the
// download's failure, the service's error status, an empty answer, or that
// the place has none.
QString NoForecastText(const net::Fetched &fetched);

// The window's logic without widgets: the four events, the order of a
// refresh's steps (sun and moon, the pause, the forecast, tomorrow's
// moonrise) and the wording of every message. The sources are asked through
// their chains; the logic applies each chain's outcome to the form state and
// the view, and whenever what the window shows changes, it hands the new
// view to `draw`. It reaches the world through the platform only.
class WindowLogic : public QObject {
    Q_OBJECT

public:
    // `repaint`: paint at once (the refresh's closing step), not later.
    using Drawer = std::function<void(const WindowView &view, bool repaint)>;

    WindowLogic(Platform &platform, ServiceOrigins origins, Drawer draw);
    // The program's other windows: an alert's (a notification's "Show"),
    // and the hourly forecast's.
    void SetWindows(std::function<void(const Alert &alert)> showAlert, HourlyWatch::Shower showHours);

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
    // The hourly window opens, at the period of forecast row `row` when given;
    // it has closed.
    void HoursClicked(std::optional<int> row = std::nullopt);
    void HoursClosed() { hourly_.Closed(); }
    void Closed();

    // The refreshes; each handles its own failures and says whether its
    // first source went through.
    bool RefreshAlmanac();
    bool RefreshForecast();
    void FetchTomorrowMoonrise();

    const FormState &State() const { return model_.state; }
    const WindowView &View() const { return model_.view; }
    bool Busy() const { return queue_.Busy(); }

private:
    enum class Command { Load, Tick, Update, Location, Warning, Hours };
    void Run(Command command, const std::function<void()> &handler);

    void StartupSequence();
    void TickHandler();
    // After a forecast refresh (`refreshed`) or none: the hours, when their
    // window is open; the alerts, when due (`askAlerts`: now); the view.
    void AfterForecast(bool refreshed, bool askAlerts);
    void LocationHandler();
    void ShowWarning(int index);

    // The forecast's failure box: what each source came to, or why the
    // forecast it gave could not be read (`unread`).
    void ReportForecastFailure(const ChainOutcome<ForecastExtraction> &outcome, const QString &unread);
    void ShowKept();

    KeptReplies Kept() const;
    net::Download Download();
    void Draw(bool repaint = false);

    Platform &platform_;
    ServiceOrigins origins_;
    Drawer draw_;
    WindowModel model_;
    bool closed_ = false;
    CommandQueue queue_;
    Schedule forecastSchedule_{Schedule::Kind::Forecast};
    Schedule almanacSchedule_{Schedule::Kind::Almanac};
    AlertWatch alerts_;
    HourlyWatch hourly_;
    std::function<void(const Alert &)> showAlert_;
};

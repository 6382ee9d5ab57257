#pragma once

#include "startup/FormState.h"
#include "pictures/Pictures.h"
#include "Platform.h"
#include "startup/StartupFiles.h"

#include "almanac/Almanac.h"
#include "forecast/Display.h"
#include "forecast/ForecastQuery.h"

#include <QString>
#include <QWidget>

#include <functional>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTimer;
class QTreeWidget;

// Where the two services live. Tests point both at a loopback server; users
// never change them.
struct ServiceOrigins {
    QString forecast = kForecastOrigin;
    QString almanac = kAlmanacOrigin;
};

// The program's one window: the forecast list, the text box with the sun,
// moon and current conditions, the temperature label, the two buttons, the
// refresh timer and the moon pictures. It owns the form state and reaches
// the world only through the platform.
class Form1 : public QWidget {
    Q_OBJECT

public:
    explicit Form1(Platform &platform, ServiceOrigins origins = {}, QWidget *parent = nullptr);

    // The four event handlers. None of them ever runs inside another: a tick
    // that arrives while one runs does nothing, and a click waits until the
    // running handler has returned.
    void Form_Load();
    void Timer1_Timer();
    void Update_Click();
    void Location_Click();

    // The refreshes; each handles its own failures.
    void RefreshAlmanac();
    void RefreshForecast();
    void FetchTomorrowMoonrise();

    const FormState &State() const { return state_; }
    // The text box's text as the program composed it (CR LF line ends).
    const QString &Text1Text() const { return text1Text_; }
    // The picture of ImageList1 that is the window's icon; 0 for the sun.
    int IconIndex() const { return iconIndex_; }
    bool Busy() const { return busy_ > 0; }

    QTreeWidget *lvwEmployees;
    QPlainTextEdit *Text1;
    QLabel *Label1;
    QPushButton *Update;
    QPushButton *Location;
    QTimer *Timer1;
    ImageList ImageList1;

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The controls at their places, as the window is created.
    void CreateControls();
    void CreateList();
    void DescribeForScreenReaders();
    FilePlaces Places();
    // Creates the settings file (and the user's folder for it) when nothing
    // is there; false, after a message naming the path, when it cannot be edited.
    bool PrepareSettingsFile(const FilePlaces &places);
    void StartupSequence();
    // The start-up's one message box: what failed reading the two files,
    // with a reminder of the settings line's format.
    void ShowErrorLoadingSettings(const QString &description);
    void SetText1(const QString &text);
    void SetTemperature(const QString &labelText);
    void AddColumn(const QString &text, int width);
    void ClearColumns();
    void AddRow(const ListRow &row);
    // Runs a handler unless another one is running; clicks that arrive
    // meanwhile are kept and run afterwards.
    void RunHandler(const std::function<void()> &handler, bool deferIfBusy);
    void RunDeferredClicks();

    Platform &platform_;
    ServiceOrigins origins_;
    FormState state_;
    QString text1Text_;
    int iconIndex_ = 0;
    int columnCount_ = 0;
    int busy_ = 0;
    bool closed_ = false;
    std::vector<std::function<void()>> deferred_;
};

#pragma once

#include "Platform.h"
#include "WindowLogic.h"

#include "pictures/Pictures.h"

#include <QString>
#include <QWidget>

#include <memory>
#include <optional>


class AlertWindow;
class HourlyWindow;
struct HourlyContent;
class QLabel;
class QToolButton;
class QPlainTextEdit;
class QPushButton;
class QTimer;
class QTreeWidget;

// The program's one window: the forecast list, the text box with the sun,
// moon and current conditions, the temperature label, the two buttons, the
// refresh timer and the moon pictures. It draws what its window logic
// decides, and hands the logic the timer's ticks, the clicks and the close.
class Form1 : public QWidget {
    Q_OBJECT

public:
    explicit Form1(Platform &platform, ServiceOrigins origins = {}, QWidget *parent = nullptr);
    ~Form1() override;

    // The four event handlers, handed to the window logic (which runs none
    // of them inside another).
    void Form_Load() { logic_.Load(); }
    void Timer1_Timer() { logic_.Tick(); }
    void Update_Click() { logic_.UpdateClicked(); }
    void Location_Click() { logic_.LocationClicked(); }
    // A warning of the strip activated (a click with one, the menu with several).
    void Warning_Activated(int index) { logic_.WarningActivated(index); }

    // The refreshes; each handles its own failures.
    void RefreshAlmanac() { logic_.RefreshAlmanac(); }
    void RefreshForecast() { logic_.RefreshForecast(); }
    void FetchTomorrowMoonrise() { logic_.FetchTomorrowMoonrise(); }

    const WindowLogic &Logic() const { return logic_; }
    const FormState &State() const { return logic_.State(); }
    // The text box's text as the program composed it (CR LF line ends).
    const QString &Text1Text() const { return drawn_.text1; }
    // The picture of ImageList1 that is the window's icon; 0 for the sun.
    int IconIndex() const { return drawn_.icon; }
    bool Busy() const { return logic_.Busy(); }
    // Puts a view on the screen (the logic's, or a test's), touching only
    // what changed.
    void Draw(const WindowView &view, bool repaintNow = false);

    QTreeWidget *lvwEmployees;
    QPlainTextEdit *Text1;
    QLabel *Label1;
    QPushButton *Update;
    QPushButton *Location;
    // Opens the hourly forecast's window.
    QPushButton *Hours;
    // The weather service's warnings, above the list; hidden when there are none.
    QToolButton *Warnings;
    QTimer *Timer1;
    ImageList ImageList1;

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The controls at their places, as the window is created.
    void CreateControls();
    void CreateList();
    void CreateButtons();
    void DescribeForScreenReaders();
    void SetText1(const QString &text);
    void SetTemperature(const QString &labelText);
    void SetColumns(bool present);
    void SetRows(const std::vector<ListRow> &rows);
    void SetWarnings(const WarningsStrip &strip);
    void WarningsClicked();
    // The other windows: an alert's, with this one brought forward; the hours'.
    void ShowAlert(const Alert &alert);
    void ShowHours(const HourlyContent &content, const std::optional<QDateTime> &scrollTo);

    Platform &platform_;
    WindowLogic logic_;
    WindowView drawn_;
    bool everDrawn_ = false;
    std::unique_ptr<AlertWindow> alertWindow_;
    std::unique_ptr<HourlyWindow> hourlyWindow_;
};

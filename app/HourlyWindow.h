#pragma once

#include "app/HourlyChart.h"
#include "forecast/Hourly.h"

#include <QWidget>

class QLabel;
class QStandardItemModel;
class QTableView;

// What the hourly window shows: the hours, where and when they came from,
// the nights at the place and "now".
struct HourlyContent {
    HourlyForecast forecast;
    DateValue fetched = 0;        // local wall-clock time of the download
    bool kept = false;            // kept from an earlier run, shown offline
    std::vector<NightSpan> nights;   // NightSpans() for the place over the hours
    QDateTime nowUtc;
    QString problem;              // without hours: what the window says instead
    bool opening = false;         // the window opens (or comes forward) with it; else a refresh
};

// The window "Hourly forecast": the chart above, the table of every hour
// below ("Hourly table", one row per hour from the current hour on), and a
// line saying where the hours came from. One per program: Open() shows it
// or brings it forward.
class HourlyWindow : public QWidget {
    Q_OBJECT

public:
    explicit HourlyWindow(QWidget *parent = nullptr);

    void Show(const HourlyContent &content);
    // Scrolls the chart to the hour holding `time` and selects its row: a
    // forecast row of the main window opens the window at its period.
    void ScrollToTime(const QDateTime &time);
    // Shows the window, or brings it forward when it is already open.
    void Open();

    HourlyChart *Chart() const { return chart_; }
    QTableView *Table() const { return table_; }
    QLabel *SourceLine() const { return source_; }

private:
    void SelectRow(int row);

    HourlyChart *chart_;
    QTableView *table_;
    QStandardItemModel *model_;
    QLabel *source_;
};

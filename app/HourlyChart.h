#pragma once

#include "forecast/Hourly.h"

#include <QDateTime>
#include <QFont>
#include <QRect>
#include <QWidget>

#include <vector>

// The hourly chart: the temperature and dew point as lines, the chance of
// rain as bars with the hour's amount above, night shaded, "now" and the
// day boundaries marked, 48 hours wide. The table beside it carries every
// value for screen readers; the chart is for the eye.

// A night at the place: from sunset to the next sunrise, [sunset, sunrise),
// in UTC. A night already under way at the span's start begins there, one
// not over at its end ends there.
struct NightSpan {
    QDateTime sunset;
    QDateTime sunrise;
    bool operator==(const NightSpan &) const = default;
};

// The nights between `fromUtc` and `toUtc` at the place (degrees, north and
// east positive), by the Sun's rise and set as the sky library computes
// them. Polar night is one night over the whole span, polar day none.
std::vector<NightSpan> NightSpans(double latitude, double longitude, const QDateTime &fromUtc,
                                  const QDateTime &toUtc);

class HourlyChart : public QWidget {
    Q_OBJECT

public:
    static constexpr int kShownHours = 48;

    explicit HourlyChart(QWidget *parent = nullptr);

    // The hours from the current hour at `nowUtc` on, the nights to shade
    // and "now"; the first hour shown and the focus hour stay on the hours
    // they were, while those are still there.
    void SetData(const HourlyForecast &forecast, std::vector<NightSpan> nights, const QDateTime &nowUtc);

    // The hour holding `time` (or the first after it) made the focus hour and
    // the first one shown, as far as 48 hours still fit.
    void ScrollToTime(const QDateTime &time);
    // Makes hour `index` the focus hour, scrolling it into view.
    void SetFocusHour(int index);

    const std::vector<HourValues> &Hours() const { return hours_; }
    int FirstShownHour() const { return first_; }
    int FocusHour() const { return focus_; }   // -1: none
    // Where the hours are drawn: 48 hours from its left edge to its right.
    QRect PlotRect() const;

    QSize sizeHint() const override;

signals:
    void FocusHourChanged(int index);

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    void ScrollTo(int first);
    int HourAt(int x) const;
    double XOf(const QDateTime &time) const;
    double YOf(double fahrenheit, const QRect &plot) const;
    int EndShown() const;
    void PaintNights(QPainter &painter, const QRect &plot) const;
    void PaintGrid(QPainter &painter, const QRect &plot) const;
    void PaintRain(QPainter &painter, const QRect &plot) const;
    void PaintLine(QPainter &painter, const QRect &plot, std::optional<double> HourValues::*field,
                   const QPen &pen) const;
    void PaintMarks(QPainter &painter, const QRect &plot) const;
    void PaintLegend(QPainter &painter, const QRect &plot) const;
    void PaintFocus(QPainter &painter, const QRect &plot) const;

    std::vector<HourValues> hours_;
    std::vector<NightSpan> nights_;
    QDateTime now_;
    int first_ = 0;
    int focus_ = -1;
    double lowest_ = 40;    // the temperature scale, °F
    double highest_ = 90;
    QFont small_;
};

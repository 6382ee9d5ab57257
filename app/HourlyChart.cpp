#include "app/HourlyChart.h"
#include "app/ShownText.h"

#include "sky/Sky.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace {

constexpr double kUnixEpochJulianDay = 2440587.5;
constexpr double kMsecsPerDay = 86400000.0;
// Near a pole the last sunrise or sunset may lie half a year back.
constexpr double kLongestLookBackDays = 512;

double JulianDay(const QDateTime &time)
{
    return kUnixEpochJulianDay + static_cast<double>(time.toMSecsSinceEpoch()) / kMsecsPerDay;
}

QDateTime FromJulianDay(double jd)
{
    return QDateTime::fromMSecsSinceEpoch(std::llround((jd - kUnixEpochJulianDay) * kMsecsPerDay), Qt::UTC);
}

// Whether the Sun is down at `jd`: the last rise or set before it says,
// looked for a day back, then two, four... without looking at a day twice.
bool NightAt(double latitude, double longitude, double jd)
{
    double newer = jd;
    for (double back = 1; back <= kLongestLookBackDays; back *= 2) {
        const std::vector<sky::Event> before =
            sky::RiseSetBetween(sky::Body::Sun, latitude, longitude, jd - back, newer);
        if (!before.empty())
            return !before.back().rise;
        newer = jd - back;
    }
    return false;
}

// The layout: a strip for the focus hour's values, a row for the day names,
// the plot, a row of hour labels and the legend.
constexpr int kStripHeight = 20;
constexpr int kDayRowHeight = 16;
constexpr int kHourRowHeight = 16;
constexpr int kLegendHeight = 18;
constexpr int kSideMargin = 40;
constexpr double kHourSecs = 3600;
constexpr int kWheelStepHours = 3;

const QColor kNightColor(30, 40, 90, 50);
const QColor kRainColor(60, 120, 220, 110);
const QColor kAmountColor(20, 60, 150);
const QColor kTemperatureColor(200, 40, 40);
const QColor kDewPointColor(30, 140, 70);
const QColor kNowColor(230, 130, 0);
const QColor kFocusColor(0, 0, 0, 28);

// The temperature scale, in tens of degrees, with room for at least two.
std::pair<double, double> ScaleOf(const std::vector<HourValues> &hours)
{
    double lowest = 1e9, highest = -1e9;
    for (const HourValues &h : hours)
        for (const std::optional<double> &t : {h.temperature, h.dewPoint})
            if (t) {
                lowest = std::min(lowest, *t);
                highest = std::max(highest, *t);
            }
    if (lowest > highest)
        return {40, 90};
    lowest = std::floor(lowest / 10) * 10;
    highest = std::max(std::ceil(highest / 10) * 10, lowest + 20);
    return {lowest, highest};
}

// The hour of the day on the hour's own clock.
int LocalHour(const QDateTime &time)
{
    return time.time().hour();
}

} // namespace

std::vector<NightSpan> NightSpans(double latitude, double longitude, const QDateTime &fromUtc, const QDateTime &toUtc)
{
    std::vector<NightSpan> nights;
    if (!fromUtc.isValid() || !toUtc.isValid() || !(fromUtc < toUtc))
        return nights;
    const double from = JulianDay(fromUtc);
    QDateTime sunset = NightAt(latitude, longitude, from) ? fromUtc.toUTC() : QDateTime();
    for (const sky::Event &event : sky::RiseSetBetween(sky::Body::Sun, latitude, longitude, from, JulianDay(toUtc))) {
        if (!event.rise && !sunset.isValid()) {
            sunset = FromJulianDay(event.jdUt);
        } else if (event.rise && sunset.isValid()) {
            nights.push_back({sunset, FromJulianDay(event.jdUt)});
            sunset = QDateTime();
        }
    }
    if (sunset.isValid())
        nights.push_back({sunset, toUtc.toUTC()});
    return nights;
}

HourlyChart::HourlyChart(QWidget *parent) : QWidget(parent)
{
    setAccessibleName(QStringLiteral("Hourly chart"));
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setAutoFillBackground(false);
    small_ = font();
    small_.setPixelSize(10);
}

QSize HourlyChart::sizeHint() const
{
    return {900, 300};
}

void HourlyChart::SetData(const HourlyForecast &forecast, std::vector<NightSpan> nights, const QDateTime &nowUtc)
{
    // A refresh keeps the hours the user was looking at, where they are still there.
    const QDateTime firstShown = hours_.empty() ? QDateTime() : hours_[size_t(first_)].start;
    const QDateTime focused = focus_ < 0 ? QDateTime() : hours_[size_t(focus_)].start;
    const size_t first = FirstCurrentHour(forecast, nowUtc);
    hours_.assign(forecast.hours.begin() + static_cast<std::ptrdiff_t>(first), forecast.hours.end());
    if (hours_.size() > size_t(kMostTableRows))
        hours_.resize(kMostTableRows);
    nights_ = std::move(nights);
    now_ = nowUtc;
    std::tie(lowest_, highest_) = ScaleOf(hours_);
    const auto indexOf = [this](const QDateTime &start) {
        const auto hour = std::find_if(hours_.begin(), hours_.end(), [&](const HourValues &h) { return h.start == start; });
        return start.isValid() && hour != hours_.end() ? int(hour - hours_.begin()) : -1;
    };
    first_ = 0;
    ScrollTo(indexOf(firstShown));
    focus_ = indexOf(focused);
    setAccessibleDescription(shown::Cut(HourlySummary(forecast, nowUtc, locale())));
    update();
}

QRect HourlyChart::PlotRect() const
{
    const int top = kStripHeight + kDayRowHeight;
    return {kSideMargin, top, std::max(1, width() - 2 * kSideMargin),
            std::max(1, height() - top - kHourRowHeight - kLegendHeight)};
}

double HourlyChart::XOf(const QDateTime &time) const
{
    const QRect plot = PlotRect();
    if (hours_.empty())
        return plot.left();
    const double hours = static_cast<double>(hours_[size_t(first_)].start.msecsTo(time)) / (kHourSecs * 1000);
    return plot.left() + hours * plot.width() / kShownHours;
}

int HourlyChart::HourAt(int x) const
{
    const QRect plot = PlotRect();
    if (hours_.empty() || x < plot.left() || x > plot.right())
        return -1;
    const double hours = double(x - plot.left()) * kShownHours / plot.width();
    const QDateTime time = hours_[size_t(first_)].start.addMSecs(std::llround(hours * kHourSecs * 1000));
    for (size_t i = size_t(first_); i < hours_.size(); ++i)
        if (hours_[i].start <= time && time < hours_[i].end)
            return int(i);
    return -1;
}

void HourlyChart::ScrollTo(int first)
{
    const int most = std::max(0, int(hours_.size()) - kShownHours);
    first = std::clamp(first, 0, most);
    if (first != first_) {
        first_ = first;
        update();
    }
}

void HourlyChart::SetFocusHour(int index)
{
    if (hours_.empty())
        return;
    index = std::clamp(index, 0, int(hours_.size()) - 1);
    if (index < first_)
        ScrollTo(index);
    else if (index >= first_ + kShownHours)
        ScrollTo(index - kShownHours + 1);
    if (index == focus_)
        return;
    focus_ = index;
    update();
    emit FocusHourChanged(index);
}

void HourlyChart::ScrollToTime(const QDateTime &time)
{
    if (hours_.empty())
        return;
    const auto hour = std::find_if(hours_.begin(), hours_.end(), [&](const HourValues &h) { return time < h.end; });
    const int index = hour == hours_.end() ? int(hours_.size()) - 1 : int(hour - hours_.begin());
    ScrollTo(index);
    SetFocusHour(index);
}

void HourlyChart::keyPressEvent(QKeyEvent *event)
{
    const int from = focus_ < 0 ? first_ : focus_;
    switch (event->key()) {
    case Qt::Key_Left: SetFocusHour(focus_ < 0 ? from : from - 1); break;
    case Qt::Key_Right: SetFocusHour(focus_ < 0 ? from : from + 1); break;
    case Qt::Key_PageUp: SetFocusHour(from - 24); break;
    case Qt::Key_PageDown: SetFocusHour(from + 24); break;
    case Qt::Key_Home: SetFocusHour(0); break;
    case Qt::Key_End: SetFocusHour(int(hours_.size()) - 1); break;
    default: QWidget::keyPressEvent(event); return;
    }
    event->accept();
}

void HourlyChart::wheelEvent(QWheelEvent *event)
{
    const QPoint delta = event->angleDelta();
    const int steps = (delta.y() != 0 ? delta.y() : delta.x()) / 120;
    if (steps == 0) {
        event->ignore();
        return;
    }
    ScrollTo(first_ - steps * kWheelStepHours);
    event->accept();
}

void HourlyChart::mouseMoveEvent(QMouseEvent *event)
{
    const int hour = HourAt(qRound(event->position().x()));
    if (hour >= 0)
        SetFocusHour(hour);
}

double HourlyChart::YOf(double fahrenheit, const QRect &plot) const
{
    return plot.bottom() + 1 - (fahrenheit - lowest_) / (highest_ - lowest_) * plot.height();
}

// One past the last hour shown.
int HourlyChart::EndShown() const
{
    return std::min(int(hours_.size()), first_ + kShownHours);
}

void HourlyChart::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().base());
    painter.setFont(small_);
    const QRect plot = PlotRect();
    if (hours_.empty()) {
        painter.setPen(palette().text().color());
        painter.drawText(plot, Qt::AlignCenter, QStringLiteral("No hourly forecast"));
        return;
    }
    painter.save();
    painter.setClipRect(plot);
    PaintNights(painter, plot);
    PaintGrid(painter, plot);
    PaintRain(painter, plot);
    painter.setRenderHint(QPainter::Antialiasing);
    PaintLine(painter, plot, &HourValues::dewPoint, QPen(kDewPointColor, 1.2));
    PaintLine(painter, plot, &HourValues::temperature, QPen(kTemperatureColor, 2.4));
    painter.restore();
    PaintMarks(painter, plot);
    PaintLegend(painter, plot);
    PaintFocus(painter, plot);
}

void HourlyChart::PaintNights(QPainter &painter, const QRect &plot) const
{
    for (const NightSpan &night : nights_) {
        const double from = std::max<double>(plot.left(), XOf(night.sunset));
        const double to = std::min<double>(plot.right() + 1, XOf(night.sunrise));
        if (to > from)
            painter.fillRect(QRectF(from, plot.top(), to - from, plot.height()), kNightColor);
    }
}

// Every 10 °F across the plot, labelled on the left; the chance of rain on the right.
void HourlyChart::PaintGrid(QPainter &painter, const QRect &plot) const
{
    painter.setPen(palette().midlight().color());
    for (double t = lowest_; t <= highest_; t += 10)
        painter.drawLine(QPointF(plot.left(), YOf(t, plot)), QPointF(plot.right(), YOf(t, plot)));
    painter.setClipping(false);
    painter.setPen(palette().text().color());
    const int half = painter.fontMetrics().height() / 2;
    for (double t = lowest_; t <= highest_; t += 10)
        painter.drawText(QRectF(0, YOf(t, plot) - half, kSideMargin - 4, 2 * half), Qt::AlignRight | Qt::AlignVCenter,
                         QString::number(t, 'f', 0) + QChar(0xB0));
    for (const int percent : {0, 50, 100})
        painter.drawText(QRectF(plot.right() + 4, plot.bottom() + 1 - percent * plot.height() / 100.0 - half,
                                kSideMargin - 4, 2 * half),
                         Qt::AlignLeft | Qt::AlignVCenter, QString::number(percent) + u'%');
    painter.setClipRect(plot);
}

// The chance of rain as bars; the hour's amount above its bar, turned to
// fit an hour's width, or inside the bar's top where the plot ends.
void HourlyChart::PaintRain(QPainter &painter, const QRect &plot) const
{
    const QFontMetricsF metrics(small_);
    for (int i = first_; i < EndShown(); ++i) {
        const HourValues &h = hours_[size_t(i)];
        const double left = XOf(h.start) + 1, right = XOf(h.end) - 1;
        const double top = plot.bottom() + 1 - h.rainChance.value_or(0) / 100 * plot.height();
        if (h.rainChance && *h.rainChance > 0)
            painter.fillRect(QRectF(left, top, right - left, plot.bottom() + 1 - top), kRainColor);
        if (!h.rainAmount || AmountFigure(*h.rainAmount) == u"0.00")
            continue;
        const QString figure = AmountFigure(*h.rainAmount);
        double base = top - 3;
        if (base - metrics.horizontalAdvance(figure) < plot.top())
            base = top + 3 + metrics.horizontalAdvance(figure);
        painter.save();
        painter.setPen(kAmountColor);
        painter.translate((left + right) / 2 + metrics.ascent() / 2 - 1, base);
        painter.rotate(-90);
        painter.drawText(QPointF(0, 0), figure);
        painter.restore();
    }
}

// A series as a line through the hours' middles, broken at gaps; one hour
// beyond either edge keeps it running off the plot.
void HourlyChart::PaintLine(QPainter &painter, const QRect &plot, std::optional<double> HourValues::*field,
                            const QPen &pen) const
{
    QPainterPath path;
    bool drawing = false;
    const int from = std::max(0, first_ - 1), to = std::min(int(hours_.size()), EndShown() + 1);
    for (int i = from; i < to; ++i) {
        const HourValues &h = hours_[size_t(i)];
        if (!(h.*field)) {
            drawing = false;
            continue;
        }
        const QPointF point((XOf(h.start) + XOf(h.end)) / 2, YOf(*(h.*field), plot));
        if (drawing && hours_[size_t(i - 1)].end == h.start)
            path.lineTo(point);
        else
            path.moveTo(point);
        drawing = true;
    }
    painter.strokePath(path, pen);
}

// Midnights with the day's name above, every sixth hour's label below, and "now".
void HourlyChart::PaintMarks(QPainter &painter, const QRect &plot) const
{
    const QColor text = palette().text().color();
    const int dayBase = plot.top() - 4;
    double firstMidnight = plot.right();
    for (int i = first_; i < EndShown(); ++i) {
        const QDateTime &start = hours_[size_t(i)].start;
        const double x = XOf(start);
        const int hour = LocalHour(start);
        if (hour == 0) {
            firstMidnight = std::min(firstMidnight, x);
            painter.setPen(QPen(palette().dark().color(), 1));
            painter.drawLine(QPointF(x, plot.top() - kDayRowHeight + 2), QPointF(x, plot.bottom()));
            painter.setPen(text);
            painter.drawText(QPointF(x + 3, dayBase), locale().toString(start, QStringLiteral("dddd")));
        } else if (hour % 6 == 0) {
            painter.setPen(text);
            painter.drawText(QRectF(x - 30, plot.bottom() + 2, 60, kHourRowHeight), Qt::AlignHCenter | Qt::AlignTop,
                             locale().toString(start, QStringLiteral("h AP")));
        }
    }
    // The first day's name at the left edge, unless its midnight stands close by.
    if (firstMidnight - plot.left() > 70) {
        painter.setPen(text);
        painter.drawText(QPointF(plot.left() + 3, dayBase),
                         locale().toString(hours_[size_t(first_)].start, QStringLiteral("dddd")));
    }
    const double now = XOf(now_);
    if (now_.isValid() && now >= plot.left() && now <= plot.right()) {
        painter.setPen(QPen(kNowColor, 2));
        painter.drawLine(QPointF(now, plot.top()), QPointF(now, plot.bottom()));
    }
}

void HourlyChart::PaintLegend(QPainter &painter, const QRect &plot) const
{
    struct Key {
        QColor color;
        bool line;
        QString words;
    };
    const Key keys[] = {{kTemperatureColor, true, QStringLiteral("Temperature °F")},
                        {kDewPointColor, true, QStringLiteral("Dew point °F")},
                        {kRainColor, false, QStringLiteral("Chance of rain, amount in inches above")},
                        {kNightColor, false, QStringLiteral("Night")},
                        {kNowColor, true, QStringLiteral("Now")}};
    const QFontMetrics metrics(small_);
    const int y = plot.bottom() + kHourRowHeight + 4;
    int x = plot.left();
    for (const Key &key : keys) {
        if (key.line)
            painter.fillRect(QRect(x, y + 5, 14, 2), key.color);
        else
            painter.fillRect(QRect(x, y + 1, 14, 10), key.color);
        painter.setPen(palette().text().color());
        painter.drawText(QPoint(x + 18, y + metrics.ascent()), key.words);
        x += 18 + metrics.horizontalAdvance(key.words) + 16;
    }
}

// The focus hour marked, and all its values in the strip at the top.
void HourlyChart::PaintFocus(QPainter &painter, const QRect &plot) const
{
    QString line = QStringLiteral("Point at an hour, or use the arrow keys, to see all its values");
    if (focus_ >= first_ && focus_ < EndShown()) {
        const HourValues &h = hours_[size_t(focus_)];
        painter.fillRect(QRectF(XOf(h.start), plot.top(), XOf(h.end) - XOf(h.start), plot.height()), kFocusColor);
        line = HourDetails(h, locale());
    }
    painter.setFont(font());
    painter.setPen(palette().text().color());
    const QRect strip(plot.left(), 0, plot.width(), kStripHeight);
    painter.drawText(strip, Qt::AlignLeft | Qt::AlignVCenter,
                     painter.fontMetrics().elidedText(line, Qt::ElideRight, strip.width()));
}

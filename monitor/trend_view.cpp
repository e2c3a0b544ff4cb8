#include "trend_view.h"

#include "watch_model.h"

#include "benchfiles/map_values.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace monitor {
namespace {

    // Each series has its own colour and its own dash pattern: not told by colour alone.
    QPen penFor(std::size_t i)
    {
        static constexpr Qt::PenStyle kStyles[]
            = { Qt::SolidLine, Qt::DashLine, Qt::DotLine, Qt::DashDotLine };
        QPen pen(QColor::fromHsv(int(i * 360 / WatchModel::kMostTrended), 200, 220), 2);
        pen.setStyle(kStyles[i % std::size(kStyles)]);
        return pen;
    }

} // namespace

TrendView::TrendView(QWidget* parent)
    : QWidget(parent)
{
    setObjectName("trend");
    setMinimumHeight(160);
}

void TrendView::clear()
{
    series_.clear();
    newest_ = 0;
    update();
}

void TrendView::setChosen(const std::set<modbus::WatchKey>& chosen)
{
    chosen_ = chosen;
    update();
}

void TrendView::add(const modbus::ReadValues& values, double seconds)
{
    for (std::size_t i = 0; i < values.values.size(); ++i) {
        const modbus::WatchKey key { values.slave, values.table,
            (values.start + unsigned(i)) & 0xFFFF };
        std::deque<Point>& s = series_[key];
        const auto engineering
            = map_ ? EngineeringAt(*map_, values, key.address, order_) : std::nullopt;
        s.push_back({ seconds, engineering.value_or(double(values.values[i])) });
        if (s.size() > kPoints)
            s.pop_front();
    }
    newest_ = std::max(newest_, seconds);
    update();
}

void TrendView::setMap(const modbus::RegisterMap* map, modbus::WordOrder order)
{
    map_ = map;
    order_ = order;
    update();
}

std::optional<double> TrendView::newest(const modbus::WatchKey& key) const
{
    const auto it = series_.find(key);
    if (it == series_.end() || it->second.empty())
        return std::nullopt;
    return it->second.back().value;
}

std::size_t TrendView::points(const modbus::WatchKey& key) const
{
    const auto it = series_.find(key);
    return it == series_.end() ? 0 : it->second.size();
}

std::pair<double, double> TrendView::valueRange(double since)
{
    double lo = INFINITY, hi = -INFINITY;
    for (const modbus::WatchKey& key : chosen_)
        for (const Point& pt : series_[key])
            if (pt.seconds >= since) {
                lo = std::min(lo, pt.value);
                hi = std::max(hi, pt.value);
            }
    if (!std::isfinite(lo))
        return { 0, 1 };
    return { lo, std::max(hi, lo + 1) }; // a flat line in the middle rather than a division by zero
}

void TrendView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(palette().color(QPalette::WindowText));
    const QFontMetrics fm = fontMetrics();
    if (chosen_.empty()) {
        p.drawText(rect(), Qt::AlignCenter, "Tick rows in the watch to plot them here");
        return;
    }
    const QRect area = rect().adjusted(
        fm.horizontalAdvance("-000000") + 8, fm.height() * 2 + 8, -8, -fm.height() - 8);
    const double t1 = std::max(newest_, kWindowSeconds), t0 = t1 - kWindowSeconds;
    const auto [lo, hi] = valueRange(t0);
    p.drawRect(area);
    p.drawText(QRect(0, area.top() - fm.height() / 2, area.left() - 4, fm.height()), Qt::AlignRight,
        QString::number(hi));
    p.drawText(QRect(0, area.bottom() - fm.height() / 2, area.left() - 4, fm.height()),
        Qt::AlignRight, QString::number(lo));
    p.drawText(QRect(area.left(), area.bottom() + 4, area.width(), fm.height()), Qt::AlignLeft,
        QString::number(t0, 'f', 0) + " s");
    p.drawText(QRect(area.left(), area.bottom() + 4, area.width(), fm.height()), Qt::AlignRight,
        QString::number(t1, 'f', 0) + " s");
    drawSeries(p, area, t0, t1, lo, hi);
    drawLegend(p, area);
}

void TrendView::drawSeries(
    QPainter& p, const QRect& area, double t0, double t1, double lo, double hi)
{
    std::size_t i = 0;
    for (const modbus::WatchKey& key : chosen_) {
        QPainterPath path;
        bool first = true;
        for (const Point& pt : series_[key]) {
            if (pt.seconds < t0)
                continue;
            const QPointF at(area.left() + (pt.seconds - t0) / (t1 - t0) * area.width(),
                area.bottom() - (pt.value - lo) / (hi - lo) * area.height());
            first ? path.moveTo(at) : path.lineTo(at);
            first = false;
        }
        p.setPen(penFor(i++));
        p.drawPath(path);
    }
}

void TrendView::drawLegend(QPainter& p, const QRect& area)
{
    int x = area.left();
    std::size_t i = 0;
    const QFontMetrics fm = fontMetrics();
    for (const modbus::WatchKey& key : chosen_) {
        p.setPen(penFor(i++));
        p.drawLine(x, 4 + fm.height() / 2, x + 24, 4 + fm.height() / 2);
        p.setPen(palette().color(QPalette::WindowText));
        const QString name = WatchName(key, map_);
        p.drawText(x + 28, 4 + fm.ascent(), name);
        x += 40 + fm.horizontalAdvance(name);
    }
}

} // namespace monitor

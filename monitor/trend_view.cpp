#include "trend_view.h"

#include "watch_model.h"

#include "benchfiles/map_values.h"
#include "runs/value_axis.h"

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

// The least and greatest value of a series shown since that time; nullopt when none is.
std::optional<std::pair<double, double>> TrendView::rangeOf(
    const modbus::WatchKey& key, double since) const
{
    const auto it = series_.find(key);
    double lo = INFINITY, hi = -INFINITY;
    for (const Point& pt : it == series_.end() ? std::deque<Point>() : it->second)
        if (pt.seconds >= since) {
            lo = std::min(lo, pt.value);
            hi = std::max(hi, pt.value);
        }
    return std::isfinite(lo) ? std::optional(std::pair(lo, hi)) : std::nullopt;
}

QString TrendView::unitOf(const modbus::WatchKey& key) const
{
    const modbus::MapEntry* entry = map_ ? modbus::EntryAt(*map_, key.table, key.address) : nullptr;
    return entry ? QString::fromStdString(entry->unit) : QString();
}

// The series chosen, by unit, each unit with its axis over what is shown since then. Past two
// units, one normalised axis (each series over its own range) instead.
std::vector<TrendView::Scale> TrendView::scales(double since) const
{
    std::vector<Scale> scales;
    for (const modbus::WatchKey& key : chosen_) {
        const QString unit = unitOf(key);
        auto it = std::find_if(
            scales.begin(), scales.end(), [&](const Scale& s) { return s.unit == unit; });
        if (it == scales.end())
            it = scales.insert(scales.end(), { unit, {}, INFINITY, -INFINITY });
        it->keys.push_back(key);
        if (const auto range = rangeOf(key, since)) {
            it->least = std::min(it->least, range->first);
            it->greatest = std::max(it->greatest, range->second);
        }
    }
    if (scales.size() > 2)
        return { { "% of each series' range",
            std::vector<modbus::WatchKey>(chosen_.begin(), chosen_.end()), 0, 100, true } };
    for (Scale& s : scales)
        if (!std::isfinite(s.least))
            s.least = s.greatest = 0;
    return scales;
}

QStringList TrendView::axisUnits() const
{
    QStringList units;
    for (const Scale& s : scales(std::max(newest_, kWindowSeconds) - kWindowSeconds))
        units << s.unit;
    return units;
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
    const double t1 = std::max(newest_, kWindowSeconds), t0 = t1 - kWindowSeconds;
    const std::vector<Scale> shown = scales(t0);
    const int margin = fm.horizontalAdvance("-0.0000e-00") + 8;
    const QRect area = rect().adjusted(
        margin, fm.height() * 3 + 8, shown.size() > 1 ? -margin : -8, -fm.height() - 8);
    p.drawRect(area);
    p.drawText(QRect(area.left(), area.bottom() + 4, area.width(), fm.height()), Qt::AlignLeft,
        QString::number(t0, 'f', 0) + " s");
    p.drawText(QRect(area.left(), area.bottom() + 4, area.width(), fm.height()), Qt::AlignRight,
        QString::number(t1, 'f', 0) + " s");
    std::size_t pen = 0;
    for (std::size_t i = 0; i < shown.size(); ++i) {
        const modbus::ValueAxis axis = modbus::NiceAxis(shown[i].least, shown[i].greatest);
        drawAxis(p, area, axis, shown[i].unit, i == 1);
        for (const modbus::WatchKey& key : shown[i].keys)
            drawSeries(p, area, key, t0, t1, axis, shown[i].normalised, penFor(pen++));
    }
    drawLegend(p, area);
}

// Grid lines with their labels on the left (right: the second unit's), the unit above them.
void TrendView::drawAxis(QPainter& p, const QRect& area, const modbus::ValueAxis& axis,
    const QString& unit, bool right) const
{
    const QFontMetrics fm = fontMetrics();
    const int h = fm.height();
    for (const double tick : axis.ticks) {
        const int y
            = area.bottom() - int((tick - axis.lo) / (axis.hi - axis.lo) * double(area.height()));
        p.setPen(QPen(palette().color(QPalette::Mid), 1, Qt::DotLine));
        if (!right)
            p.drawLine(area.left(), y, area.right(), y);
        p.setPen(palette().color(QPalette::WindowText));
        const QRect label = right ? QRect(area.right() + 4, y - h / 2, width(), h)
                                  : QRect(0, y - h / 2, area.left() - 4, h);
        p.drawText(label, (right ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter,
            QString::fromStdString(modbus::TickText(tick)));
    }
    p.drawText(QRect(0, area.top() - h - 2, width(), h),
        (right ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignBottom, unit);
}

void TrendView::drawSeries(QPainter& p, const QRect& area, const modbus::WatchKey& key, double t0,
    double t1, const modbus::ValueAxis& axis, bool normalised, const QPen& pen) const
{
    const auto range = rangeOf(key, t0);
    const auto it = series_.find(key);
    if (!range || it == series_.end())
        return;
    // Normalised: the series' own least is 0 %, its greatest 100 % (a flat one 50 %).
    const auto value = [&](double v) {
        if (!normalised)
            return v;
        return range->second > range->first
            ? 100 * (v - range->first) / (range->second - range->first)
            : 50.0;
    };
    QPainterPath path;
    bool first = true;
    for (const Point& pt : it->second) {
        if (pt.seconds < t0)
            continue;
        const QPointF at(area.left() + (pt.seconds - t0) / (t1 - t0) * area.width(),
            area.bottom() - (value(pt.value) - axis.lo) / (axis.hi - axis.lo) * area.height());
        first ? path.moveTo(at) : path.lineTo(at);
        first = false;
    }
    p.setPen(pen);
    p.drawPath(path);
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

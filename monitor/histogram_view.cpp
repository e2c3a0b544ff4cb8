#include "histogram_view.h"

#include <QPainter>

#include <algorithm>

namespace monitor {
namespace {

    // Ticks: the bins that get a label under the axis, at most six spread evenly.
    std::vector<std::size_t> tickedBins(std::size_t count)
    {
        std::vector<std::size_t> ticks;
        const std::size_t step = std::max<std::size_t>(1, (count + 5) / 6);
        for (std::size_t i = 0; i < count; i += step)
            ticks.push_back(i);
        return ticks;
    }

} // namespace

HistogramView::HistogramView(QWidget* parent)
    : QWidget(parent)
{
    setObjectName("histogram");
    setMinimumHeight(140);
}

void HistogramView::show(const std::vector<modbus::HistogramBin>& bins)
{
    // From the bin before the first reply to the last one used: empty bins at either end would
    // only squeeze the bars into a corner.
    const auto used = [](const modbus::HistogramBin& b) { return b.count > 0; };
    const auto first = std::find_if(bins.begin(), bins.end(), used);
    const auto last = std::find_if(bins.rbegin(), bins.rend(), used);
    bins_.clear();
    if (first != bins.end())
        bins_.assign(first == bins.begin() ? first : first - 1, last.base());
    update();
}

void HistogramView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QFontMetrics fm = fontMetrics();
    const int line = fm.height();
    const QRect area
        = rect().adjusted(fm.horizontalAdvance("00000") + 8, line + 6, -8, -2 * line - 8);
    p.setPen(palette().color(QPalette::WindowText));
    if (bins_.empty()) {
        p.drawText(rect(), Qt::AlignCenter, "No reply times yet");
        return;
    }
    drawBars(p, area);
    drawAxes(p, area);
}

long HistogramView::most() const
{
    return std::max_element(bins_.begin(), bins_.end(), [](const auto& a, const auto& b) {
        return a.count < b.count;
    })->count;
}

void HistogramView::drawBars(QPainter& p, const QRect& area) const
{
    const double width = double(area.width()) / double(bins_.size());
    const double scale = double(area.height()) / double(std::max(most(), 1L));
    for (std::size_t i = 0; i < bins_.size(); ++i) {
        const int h = int(scale * double(bins_[i].count));
        const QRectF bar(
            area.left() + width * double(i), area.bottom() - h, std::max(width - 1, 1.0), h);
        p.fillRect(bar, palette().color(QPalette::Highlight));
    }
}

// A count axis with 0, half and the most, labelled; a time axis with ticks under bins' starts.
void HistogramView::drawAxes(QPainter& p, const QRect& area) const
{
    const QFontMetrics fm = fontMetrics();
    const int line = fm.height();
    p.drawLine(area.bottomLeft(), area.bottomRight());
    p.drawLine(area.bottomLeft(), area.topLeft());
    const long top = most();
    for (const long count : { 0L, top / 2, top }) {
        const int y = area.bottom() - int(double(area.height()) * double(count) / double(top));
        p.drawLine(area.left() - 3, y, area.left(), y);
        p.drawText(QRect(0, y - line / 2, area.left() - 5, line), Qt::AlignRight | Qt::AlignVCenter,
            QString::number(count));
    }
    p.drawText(QRect(0, 0, width(), line), Qt::AlignLeft, "replies");
    const double binWidth = double(area.width()) / double(bins_.size());
    for (const std::size_t i : tickedBins(bins_.size())) {
        const int x = area.left() + int(binWidth * double(i));
        p.drawLine(x, area.bottom(), x, area.bottom() + 3);
        p.drawText(QRect(x - 40, area.bottom() + 4, 80, line), Qt::AlignHCenter,
            QString::number(bins_[i].fromMs));
    }
    p.drawText(QRect(area.left(), area.bottom() + line + 6, area.width(), line), Qt::AlignRight,
        "reply time, ms");
}

} // namespace monitor

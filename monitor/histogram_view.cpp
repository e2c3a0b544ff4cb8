#include "histogram_view.h"

#include <QPainter>

#include <algorithm>

namespace monitor {

HistogramView::HistogramView(QWidget* parent)
    : QWidget(parent)
{
    setObjectName("histogram");
    setMinimumHeight(120);
}

void HistogramView::show(const std::vector<modbus::HistogramBin>& bins)
{
    bins_ = bins;
    // Up to the last bin that holds a reply; empty bins after it would only squeeze the bars.
    while (!bins_.empty() && bins_.back().count == 0)
        bins_.pop_back();
    update();
}

void HistogramView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QFontMetrics fm = fontMetrics();
    const QRect area = rect().adjusted(fm.horizontalAdvance("00000") + 6, 4, -4, -fm.height() - 6);
    p.setPen(palette().color(QPalette::WindowText));
    if (bins_.empty()) {
        p.drawText(rect(), Qt::AlignCenter, "No reply times yet");
        return;
    }
    const long most
        = std::max_element(bins_.begin(), bins_.end(), [](const auto& a, const auto& b) {
              return a.count < b.count;
          })->count;
    const double width = double(area.width()) / double(bins_.size());
    for (std::size_t i = 0; i < bins_.size(); ++i) {
        const int h
            = int(double(area.height()) * double(bins_[i].count) / double(std::max(most, 1L)));
        const QRectF bar(
            area.left() + width * double(i), area.bottom() - h, std::max(width - 1, 1.0), h);
        p.fillRect(bar, palette().color(QPalette::Highlight));
    }
    p.drawLine(area.bottomLeft(), area.bottomRight());
    p.drawText(
        QRect(0, area.top(), area.left() - 4, fm.height()), Qt::AlignRight, QString::number(most));
    const QRect below(area.left(), area.bottom() + 2, area.width(), fm.height() + 2);
    p.drawText(below, Qt::AlignLeft | Qt::AlignTop, QString::number(bins_.front().fromMs) + " ms");
    if (bins_.size() > 1) // the last bin's start, under the right end
        p.drawText(
            below, Qt::AlignRight | Qt::AlignTop, QString::number(bins_.back().fromMs) + " ms");
}

} // namespace monitor

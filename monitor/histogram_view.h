// The reply-time histogram of a run, drawn with QPainter: a bar per bin over the range the
// replies took, a count axis and a time axis, each with ticks and labelled.
#pragma once

#include "runs/poll_statistics.h"

#include <QWidget>

class QPainter;

namespace monitor {

class HistogramView : public QWidget
{
public:
    explicit HistogramView(QWidget* parent = nullptr);
    void show(const std::vector<modbus::HistogramBin>& bins);
    // The bins drawn: from the one before the first reply to the last one used.
    const std::vector<modbus::HistogramBin>& shown() const { return bins_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    long most() const;
    void drawBars(QPainter& p, const QRect& area) const;
    void drawAxes(QPainter& p, const QRect& area) const;

    std::vector<modbus::HistogramBin> bins_;
};

} // namespace monitor

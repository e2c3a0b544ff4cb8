// The reply-time histogram of a run, drawn with QPainter: a bar per bin up to the last one used.
#pragma once

#include "runs/poll_statistics.h"

#include <QWidget>

namespace monitor {

class HistogramView : public QWidget
{
public:
    explicit HistogramView(QWidget* parent = nullptr);
    void show(const std::vector<modbus::HistogramBin>& bins);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::vector<modbus::HistogramBin> bins_;
};

} // namespace monitor

// The trend of a run: the values of up to 8 chosen watch rows against time, drawn with QPainter.
// The time axis shows the newest minute in seconds since the run started and scrolls; the value
// axis fits what is shown. Each series keeps its newest 10,000 points.
#pragma once

#include "benchfiles/register_map.h"
#include "runs/watch_table.h"

#include <QWidget>

#include <deque>
#include <map>
#include <optional>
#include <set>

namespace monitor {

class TrendView : public QWidget
{
public:
    static constexpr std::size_t kPoints = 10'000;
    static constexpr double kWindowSeconds = 60;

    explicit TrendView(QWidget* parent = nullptr);

    void clear();
    void setChosen(const std::set<modbus::WatchKey>& chosen);
    // The values of a good reply at seconds since the run started.
    void add(const modbus::ReadValues& values, double seconds);
    std::size_t points(const modbus::WatchKey& key) const;
    // The newest value of a series: engineering units where a map names the register.
    std::optional<double> newest(const modbus::WatchKey& key) const;
    // The map that names and scales series (nullptr: none), from the next values on.
    void setMap(const modbus::RegisterMap* map, modbus::WordOrder order);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    struct Point
    {
        double seconds;
        double value;
    };
    // The least and greatest value shown since that time, at least 1 apart.
    std::pair<double, double> valueRange(double since);
    void drawSeries(QPainter& p, const QRect& area, double t0, double t1, double lo, double hi);
    void drawLegend(QPainter& p, const QRect& area);

    std::set<modbus::WatchKey> chosen_;
    const modbus::RegisterMap* map_ = nullptr;
    modbus::WordOrder order_ = modbus::WordOrder::ABCD;
    std::map<modbus::WatchKey, std::deque<Point>> series_;
    double newest_ = 0;
};

} // namespace monitor

// The trend of a run: the values of up to 8 chosen watch rows against time, drawn with QPainter.
// The time axis shows the newest minute in seconds since the run started and scrolls; a value
// axis per unit (a second on the right; past two, one normalised) fits what is shown, padded,
// with labelled grid lines. Each series keeps its newest 10,000 points.
#pragma once

#include "benchfiles/register_map.h"
#include "runs/value_axis.h"
#include "runs/watch_table.h"

#include <QStringList>
#include <QWidget>

class QPen;

#include <deque>
#include <map>
#include <optional>
#include <set>
#include <vector>

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
    // The units the value axes stand for now, left first; "% of each series' range" alone past
    // two units.
    QStringList axisUnits() const;
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
    // Series that share a unit share an axis.
    struct Scale
    {
        QString unit;
        std::vector<modbus::WatchKey> keys;
        double least = 0, greatest = 0;
        bool normalised = false;
    };
    std::optional<std::pair<double, double>> rangeOf(
        const modbus::WatchKey& key, double since) const;
    QString unitOf(const modbus::WatchKey& key) const;
    std::vector<Scale> scales(double since) const;
    void drawAxis(QPainter& p, const QRect& area, const modbus::ValueAxis& axis,
        const QString& unit, bool right) const;
    void drawSeries(QPainter& p, const QRect& area, const modbus::WatchKey& key, double t0,
        double t1, const modbus::ValueAxis& axis, bool normalised, const QPen& pen) const;
    void drawLegend(QPainter& p, const QRect& area);

    std::set<modbus::WatchKey> chosen_;
    const modbus::RegisterMap* map_ = nullptr;
    modbus::WordOrder order_ = modbus::WordOrder::ABCD;
    std::map<modbus::WatchKey, std::deque<Point>> series_;
    double newest_ = 0;
};

} // namespace monitor

// The views under the frame table: the selected frame's details, and a polling run's watch,
// statistics (text and histogram) and trend, one tab each.
#pragma once

#include "benchfiles/register_map.h"
#include "listening/listen_session.h"

#include <QTabWidget>

class QLabel;
class QPlainTextEdit;

namespace monitor {

class CopyableTable;
class HistogramView;
class PollRun;
class ScanPanel;
class TrendView;
class WatchModel;

class RunViews : public QTabWidget
{
public:
    RunViews(CopyableTable* details, QWidget* parent = nullptr);

    // Shows the run as it stands; nullptr: no run yet. characterUs: the line's character time,
    // for the timing advice (0: a network, or not known).
    // mayBeUsb: whether the port may be a USB adapter, for the latency advice.
    void show(const PollRun* run, std::int64_t characterUs = 0, bool mayBeUsb = true);
    // Shows what a listener heard: its watch and its statistics, slave by slave.
    void showListening(const modbus::ListenSession& heard);
    void clear();

    TrendView* trend() const { return trend_; }
    ScanPanel* scan() const { return scan_; }
    WatchModel* watchModel() const { return watchModel_; }
    CopyableTable* watch() const { return watch_; }
    QString statisticsText() const;
    // The statistics' first line: error rate, median and p95.
    QString headlineText() const;
    // The map that names the watch's rows and the trend's series (nullptr: none).
    void setMap(const modbus::RegisterMap* map, modbus::WordOrder order);

private:
    QWidget* statisticsPage();

    WatchModel* watchModel_;
    CopyableTable* watch_;
    QLabel* headline_;
    QPlainTextEdit* statistics_;
    HistogramView* histogram_;
    TrendView* trend_;
    ScanPanel* scan_;
};

} // namespace monitor

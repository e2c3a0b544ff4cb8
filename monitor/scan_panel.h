// The scan in the monitor: what to try, Start and Stop, a progress bar with the setting and the
// address being tried, and a table of what answered ("Use" sets the main window to talk to it;
// the table copies and saves as CSV). The scan runs a step per event on the window's thread and
// reaches the port only through the callbacks the window gives it.
#pragma once

#include "runs/scan_run.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QStandardItemModel;

namespace monitor {

class CopyableTable;

class ScanPanel : public QWidget
{
public:
    explicit ScanPanel(QWidget* parent = nullptr);
    ~ScanPanel() override;

    // The window's port: open at a setting (false: it cannot), write, read waiting up to ms,
    // close. The scan uses nothing else.
    std::function<bool(const modbus::ScanSetting& setting)> openPort;
    std::function<int(const std::string& frame)> writePort;
    std::function<std::string(int waitMs)> readPort;
    std::function<void()> closePort;
    // How the port carries frames when it is a network link (a scan of unit ids, no speeds);
    // nullopt for a serial port.
    std::function<std::optional<modbus::Framing>()> networkLink;
    // How the serial line carries frames (RTU unless said).
    std::function<modbus::Framing()> lineFraming;
    // Whether the main window's port is open: then the scan may not start.
    std::function<bool()> portInUse;
    // The composer's request, when the probe is to be it.
    std::function<modbus::RequestFields()> composerRequest;
    // "Use": talk to this device from now on.
    std::function<void(int address, const modbus::ScanSetting& setting)> onUse;

    bool start(); // false when it cannot: the reason is shown
    void stop();
    bool running() const { return bool(run_); }
    QString statusText() const;
    CopyableTable* results() const { return results_; }

private:
    void layOut();
    void connectButtons();
    modbus::ScanOptions options(QString& why) const;
    // The speeds, parities and stop bits to try, as typed; why: set for what cannot be read.
    void readLineLists(modbus::ScanOptions& o, QString& why) const;
    void step();
    void finish();
    void showProgress();
    void addHit(const modbus::ScanHit& hit);
    void use();
    void save();

    QSpinBox* first_;
    QSpinBox* last_;
    QLineEdit* speeds_;
    QLineEdit* parities_;
    QLineEdit* stopBits_;
    QSpinBox* timeout_;
    QCheckBox* stopAtFirst_;
    QCheckBox* composerProbe_;
    QPushButton* start_;
    QPushButton* stop_;
    QProgressBar* progress_;
    QLabel* status_;
    QStandardItemModel* model_;
    CopyableTable* results_;
    QPushButton* use_;
    QPushButton* save_;
    std::unique_ptr<modbus::ScanRun> run_;
    std::vector<modbus::ScanHit> hits_;
    std::size_t shownHits_ = 0, shownNotes_ = 0;
    QTimer steps_;
    QElapsedTimer clock_; // monotonic, as every other wait of the terminal
};

} // namespace monitor

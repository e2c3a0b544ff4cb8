// The polling run's controls, under the composer: the list of requests to poll (the composer's
// request added with "Add"), the interval, the count, the time-out, Poll and Stop, and
// "Record to CSV…". It starts nothing itself: the monitor runs what it asks for.
#pragma once

#include "runs/poll_schedule.h"

#include <QWidget>

#include <functional>
#include <string>
#include <vector>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;

namespace monitor {

class PollPanel : public QWidget
{
public:
    explicit PollPanel(QWidget* parent = nullptr);

    // The composer's request, asked for when "Add" is pressed: its command and frame.
    std::function<std::pair<std::string, std::string>()> currentRequest;
    std::function<void(std::vector<std::string> frames, modbus::PollSettings settings)> onStart;
    std::function<void()> onStop;
    // A data log chosen (empty: recording stopped).
    std::function<void(const std::string& path)> onRecord;

    // As from the command line: the requests (command, frame), interval, count.
    void setList(const std::vector<std::pair<std::string, std::string>>& requests);
    void setSettings(int intervalMs, int count);
    void setTimeoutMs(int ms);
    // What a workspace keeps: the listed commands and the settings.
    std::vector<std::string> commands() const;
    int intervalMs() const;
    int count() const;
    void setRunning(bool running);
    void setPortOpen(bool open);
    // While the monitor listens no run starts: a run writes.
    void setListening(bool on);
    void setStatus(const QString& text);
    // Whether a data log is being written: the button stops it then.
    void setRecording(bool recording);
    // The response time-out, ms: also how long "no reply" waits.
    int timeoutMs() const;
    std::function<void(int ms)> onTimeoutChanged;
    void start();

private:
    void setUpBackOff();
    void layOut();
    void connectButtons();
    void addCurrent();
    void chooseRecordFile();
    void updateButtons();

    QListWidget* list_;
    QPushButton* add_;
    QPushButton* remove_;
    QSpinBox* interval_;
    QLineEdit* count_;
    QSpinBox* timeout_;
    QSpinBox* backOff_; // cycles between polls of a slave that stopped answering
    QPushButton* poll_;
    QPushButton* stop_;
    QPushButton* record_;
    QLabel* status_;
    bool recording_ = false;
    std::vector<std::string> frames_;
    bool running_ = false;
    bool portOpen_ = false;
    bool listening_ = false;
};

} // namespace monitor

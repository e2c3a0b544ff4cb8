#include "poll_panel.h"

#include "caption.h"
#include "message_label.h"

#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>

namespace monitor {
namespace {

    QSpinBox* spin(QWidget* parent, int most, int value, const char* name)
    {
        auto* box = new QSpinBox(parent);
        box->setRange(0, most);
        box->setValue(value);
        box->setSuffix(" ms");
        box->setObjectName(name);
        return box;
    }

} // namespace

PollPanel::PollPanel(QWidget* parent)
    : QWidget(parent)
    , list_(new QListWidget(this))
    , add_(new QPushButton("&Add to list", this))
    , remove_(new QPushButton("Remove", this))
    , interval_(spin(this, 86'400'000, 1000, "interval"))
    , count_(new QLineEdit(this))
    , timeout_(spin(this, 60'000, 1000, "timeout"))
    , backOff_(spin(this, 1000, 10, "backOff"))
    , poll_(new QPushButton("&Poll", this))
    , stop_(new QPushButton("&Stop", this))
    , record_(new QPushButton("Record to CSV…", this))
    , status_(new MessageLabel(this))
{
    setObjectName("pollPanel");
    list_->setObjectName("pollList");
    list_->setMaximumHeight(fontMetrics().height() * 3 + 8);
    list_->setMinimumWidth(fontMetrics().horizontalAdvance("read-holding 100 125") + 24);
    count_->setObjectName("count");
    count_->setPlaceholderText("until Stop");
    count_->setFixedWidth(fontMetrics().horizontalAdvance("until Stop") + 16);
    timeout_->setMinimum(10);
    setUpBackOff();
    add_->setObjectName("add");
    remove_->setObjectName("remove");
    poll_->setObjectName("poll");
    stop_->setObjectName("stop");
    record_->setObjectName("record");
    status_->setObjectName("pollStatus");
    layOut();
    connectButtons();
    updateButtons();
}

void PollPanel::setUpBackOff()
{
    backOff_->setMinimum(1);
    backOff_->setSuffix(" cycles");
    backOff_->setToolTip("A slave that gave no reply 3 polls running is polled once every so "
                         "many cycles until it answers, so the others keep their pace (1: never "
                         "backed off)");
}

void PollPanel::layOut()
{
    // Two rows beside the list, so that the run's settings hold from 900 px wide up: the list's
    // buttons, the timing, the run's buttons; its state under them.
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->addWidget(Caption("Run list", list_), 0, 0, 2, 1, Qt::AlignTop);
    grid->addWidget(list_, 0, 1, 2, 1);
    grid->addWidget(add_, 0, 2);
    grid->addWidget(remove_, 1, 2);
    const std::pair<const char*, QWidget*> fields[] = { { "&Interval", interval_ },
        { "Cou&nt", count_ }, { "&Time-out", timeout_ }, { "Back off", backOff_ } };
    for (int i = 0; i < 4; ++i) {
        grid->addWidget(Caption(fields[i].first, fields[i].second), i % 2, 3 + 2 * (i / 2));
        grid->addWidget(fields[i].second, i % 2, 4 + 2 * (i / 2));
    }
    grid->addWidget(poll_, 0, 7);
    grid->addWidget(stop_, 1, 7);
    grid->addWidget(record_, 0, 8, Qt::AlignLeft);
    grid->addWidget(status_, 1, 8);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(8, 1);
}

void PollPanel::connectButtons()
{
    connect(add_, &QPushButton::clicked, this, &PollPanel::addCurrent);
    connect(remove_, &QPushButton::clicked, this, [this] {
        const int at = list_->currentRow();
        if (at >= 0) {
            delete list_->takeItem(at);
            frames_.erase(frames_.begin() + at);
        }
        updateButtons();
    });
    connect(poll_, &QPushButton::clicked, this, &PollPanel::start);
    connect(stop_, &QPushButton::clicked, this, [this] {
        if (onStop)
            onStop();
    });
    connect(record_, &QPushButton::clicked, this, &PollPanel::chooseRecordFile);
    connect(timeout_, &QSpinBox::valueChanged, this, [this](int ms) {
        if (onTimeoutChanged)
            onTimeoutChanged(ms);
    });
}

void PollPanel::addCurrent()
{
    if (!currentRequest)
        return;
    const auto [command, frame] = currentRequest();
    if (frame.empty())
        return;
    list_->addItem(QString::fromStdString(command));
    frames_.push_back(frame);
    updateButtons();
}

void PollPanel::setList(const std::vector<std::pair<std::string, std::string>>& requests)
{
    list_->clear();
    frames_.clear();
    for (const auto& [command, frame] : requests) {
        list_->addItem(QString::fromStdString(command));
        frames_.push_back(frame);
    }
    updateButtons();
}

void PollPanel::setSettings(int intervalMs, int count)
{
    interval_->setValue(intervalMs);
    count_->setText(count > 0 ? QString::number(count) : QString());
}

void PollPanel::start()
{
    // An empty list polls the composer's request alone.
    std::vector<std::string> frames = frames_;
    if (frames.empty() && currentRequest)
        if (const auto [command, frame] = currentRequest(); !frame.empty())
            frames.push_back(frame);
    if (frames.empty() || !onStart)
        return;
    onStart(frames,
        { interval_->value() * 1000LL, count_->text().toInt(), timeout_->value() * 1000LL,
            backOff_->value() });
}

void PollPanel::chooseRecordFile()
{
    if (recording_) { // the button is "Stop recording"
        if (onRecord)
            onRecord({});
        return;
    }
    const QString path = QFileDialog::getSaveFileName(this, "Record to CSV", "quillet-data.csv",
        "CSV files (*.csv);;All files (*)", nullptr, QFileDialog::DontConfirmOverwrite);
    if (!path.isEmpty() && onRecord)
        onRecord(path.toStdString());
}

void PollPanel::setRunning(bool running)
{
    running_ = running;
    updateButtons();
}

void PollPanel::setPortOpen(bool open)
{
    portOpen_ = open;
    updateButtons();
}

void PollPanel::setListening(bool on)
{
    listening_ = on;
    poll_->setToolTip(on ? "Listening: the port is never written (Listen is on)" : QString());
    updateButtons();
}

void PollPanel::setStatus(const QString& text) { status_->setText(text); }

void PollPanel::setRecording(bool recording)
{
    recording_ = recording;
    record_->setText(recording ? "Stop recording" : "Record to CSV…");
}

int PollPanel::timeoutMs() const { return timeout_->value(); }
void PollPanel::setTimeoutMs(int ms) { timeout_->setValue(ms); }
int PollPanel::intervalMs() const { return interval_->value(); }
int PollPanel::count() const { return count_->text().toInt(); }

std::vector<std::string> PollPanel::commands() const
{
    std::vector<std::string> commands;
    for (int i = 0; i < list_->count(); ++i)
        commands.push_back(list_->item(i)->text().toStdString());
    return commands;
}

void PollPanel::updateButtons()
{
    poll_->setEnabled(portOpen_ && !running_ && !listening_);
    stop_->setEnabled(running_);
    remove_->setEnabled(!frames_.empty());
}

} // namespace monitor

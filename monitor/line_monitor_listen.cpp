// The monitor listening to a line another master drives: the rows, the statistics and the watch
// from what was heard, the capture, and nothing sent meanwhile.
#include "monitor/composer.h"
#include "monitor/line_monitor.h"
#include "monitor/listen_bar.h"
#include "monitor/poll_panel.h"
#include "monitor/run_views.h"

#include <QSaveFile>

namespace monitor {

void LineMonitor::connectListening()
{
    listenBar_->onListen = [this](bool on) {
        if (onListenChosen)
            onListenChosen(on);
        listenBar_->showListening(recording_.listening()); // as the window made it
    };
    listenBar_->onFindSpeed = [this] {
        if (onFindSpeed)
            onFindSpeed();
    };
    listenBar_->onSaveCapture = [this](const QString& path) { saveCapture(path); };
}

void LineMonitor::startListening(
    std::int64_t characterUs, std::int64_t silenceUs, modbus::Framing framing)
{
    recording_.startListening(characterUs, silenceUs, framing);
    if (built_) {
        applyHeldChoices();
        views_->clear();
        listenBar_->setNote("Listening: the port is never written");
    }
    refreshView();
}

void LineMonitor::stopListening()
{
    recording_.stopListening();
    if (built_) {
        applyHeldChoices();
        listenBar_->setNote({});
    }
    refreshView();
}

void LineMonitor::showListening()
{
    const modbus::ListenSession& heard = *recording_.listenSession();
    views_->showListening(heard);
    listenBar_->setCanSave(heard.captured() > 0);
}

bool LineMonitor::saveCapture(const QString& path)
{
    const modbus::ListenSession* heard = recording_.listenSession();
    const std::string bytes = heard ? heard->capture() : std::string();
    QSaveFile file(path);
    const bool saved = heard && file.open(QIODevice::WriteOnly)
        && file.write(bytes.data(), qint64(bytes.size())) == qint64(bytes.size()) && file.commit();
    listenBar()->setNote(saved ? QString("Saved %1 frames to %2").arg(heard->captured()).arg(path)
                               : "The capture could not be written to " + path);
    return saved;
}

QString LineMonitor::listeningStatus() const
{
    const modbus::ListenStatistics& heard = recording_.listenSession()->statistics();
    long requests = 0, good = 0, exceptions = 0, badCheck = heard.unasked(), noReply = 0;
    for (const auto& [slave, s] : heard.slaves()) {
        requests += s.requests;
        good += s.good;
        badCheck += s.crcBad;
        noReply += s.noReply;
        for (const auto& [code, count] : s.exceptions)
            exceptions += count;
    }
    return QString("Listening: %1 requests, %2 good replies, %3 %4 BAD, %5 exceptions, %6 no "
                   "reply")
        .arg(requests)
        .arg(good)
        .arg(badCheck)
        .arg(QString::fromStdString(heard.checkName()))
        .arg(exceptions)
        .arg(noReply);
}

} // namespace monitor

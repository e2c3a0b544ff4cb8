// Find speed: the port opened at each common setting in turn and listened to, tick by tick so
// the window stays responsive; the setting whose frames have good check bytes is kept.
#include "frm_serial.h"

#include "monitor/line_monitor.h"
#include "monitor/listen_bar.h"

#include "listening/speed_search.h"
#include "serial/line_settings.h"
#include "serial/serial_port.h"

#include <QLineEdit>
#include <QPushButton>

namespace window {
namespace {

    // How long each setting is heard at most: a polled line shows its frames well within it.
    constexpr std::int64_t kDwellUs = 1'500'000;

} // namespace

void frmSerial::findSpeed()
{
    if (hunt_ || isNetworkLink())
        return; // the monitor's button says why on a network link
    if (monitor_->listening())
        stopListening();
    if (!child<QPushButton>("BTNOpenCom")->isEnabled())
        BTNCloseCom_Click(); // the search opens the port at each setting itself
    hunt_ = std::make_shared<modbus::SpeedHunt>(modbus::ScanOrder({}), kDwellUs);
    huntClock_.start();
    huntAtCurrentSetting({});
    TMRComm.start(0); // each read waits for bytes itself
}

void frmSerial::abandonHunt()
{
    if (!hunt_)
        return;
    hunt_.reset(); // the port it held is the user's now
    monitor_->listenBar()->setNote("Find speed stopped: the port was opened by hand");
}

void frmSerial::huntAtCurrentSetting(const QString& heardBefore)
{
    const modbus::ScanSetting& s = hunt_->current();
    // The log is closed meanwhile: what each setting heard is told here.
    monitor_->listenBar()->setNote("Finding the line's speed: " + heardBefore + "listening at "
        + QString::fromStdString(s.name()) + "…");
    const comm::LineSettings line { s.speed, s.parity, s.stopBits };
    if (!SerialPort::OpenPort(latin1(txt0), line.modeText(), {}))
        return; // heard as nothing: the next tick moves on
    SerialPort::SetListenReads(true);
    hunt_->begin(!SerialPort::IsPseudoTerminal(), huntClock_.nsecsElapsed() / 1000);
}

void frmSerial::huntTick()
{
    const modbus::ByteString chunk = SerialPort::ReadPort();
    if (hunt_->read(chunk, huntClock_.nsecsElapsed() / 1000))
        return;
    SerialPort::ClosePort();
    const QString heard = QString::fromStdString(hunt_->heardNow().text()) + "; ";
    if (hunt_->next())
        return huntAtCurrentSetting(heard);
    endHunt();
}

void frmSerial::endHunt()
{
    TMRComm.stop();
    const std::optional<modbus::ScanSetting> best = hunt_->best();
    const modbus::Framing framing = hunt_->bestFraming();
    hunt_.reset();
    if (!best) {
        monitor_->listenBar()->setNote(
            "No common setting heard a frame with good check bytes: is another master polling?");
        return;
    }
    const bool designed = presetSpeed(best->speed); // one of the three buttons
    presetSpeedOverride(designed ? 0 : best->speed);
    presetLine(best->parity, best->stopBits);
    presetFraming(framing, 8);
    setListening(true);
    monitor_->listenBar()->setNote("The line is at " + QString::fromStdString(best->name())
        + (framing == modbus::Framing::Ascii ? " ASCII" : "") + "; listening there");
}

} // namespace window

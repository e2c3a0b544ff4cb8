// Listening to a line another master drives: the port opened and never written, each read
// handed to the monitor as its bytes arrive, the Send buttons disabled with the reason.
#include "frm_serial.h"

#include "lamp.h"
#include "monitor/line_monitor.h"
#include "monitor/listen_bar.h"
#include "window_constants.h"

#include "serial/line_timing.h"
#include "serial/serial_port.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>

namespace window {
namespace {

    // How long a listening tick keeps reading before the window takes its other events: past
    // the first, at the end of an exchange; past the second, at once.
    constexpr qint64 kListenTickMs = 100;
    constexpr qint64 kLongestTickMs = 250;

    const char* const kNeverWritten = "Listening: the port is never written (Listen is on in the "
                                      "line monitor)";

} // namespace

std::vector<QPushButton*> frmSerial::sendButtons() const
{
    std::vector<QPushButton*> buttons;
    for (const char* name :
        { "Command3", "Command1", "Command9", "Command2", "Command4", "BTNSend" })
        buttons.push_back(child<QPushButton>(name));
    return buttons;
}

void frmSerial::setListening(bool on)
{
    if (on == monitor_->listening() || hunt_)
        return; // Find speed starts listening once it is done
    if (!on)
        return stopListening();
    if (isNetworkLink()) {
        monitor_->listenBar()->setNote(
            "A network link has no line to hear: listening needs a serial port");
        return;
    }
    // Open as the user sees it: the Open button is disabled while the port is open.
    const auto isOpen = [this] { return !child<QPushButton>("BTNOpenCom")->isEnabled(); };
    if (!isOpen())
        pressOpen();
    if (!isOpen() || portGone_)
        return; // the Open failure has been told
    const comm::LineSettings line = lineSettings();
    const std::int64_t characterUs = SerialPort::IsPseudoTerminal()
        ? 0 // a pty carries bytes with no line time
        : modbus::CharacterUs(line.speed, line.parity, line.stopBits, line.dataBits);
    SerialPort::SetListenReads(true);
    monitor_->startListening(characterUs, modbus::InterFrameUs(line.speed), line.framing);
    for (QPushButton* button : sendButtons()) {
        button->setEnabled(false);
        button->setToolTip(kNeverWritten);
    }
    TMRComm.setInterval(0); // each read waits for bytes itself
    tellInGeneralBox("Port " + txt0->text() + " is listened to: it is never written meanwhile.");
}

void frmSerial::stopListening()
{
    monitor_->stopListening();
    SerialPort::SetListenReads(false);
    for (QPushButton* button : sendButtons()) {
        button->setEnabled(true);
        button->setToolTip({});
    }
    if (!portGone_)
        TMRComm.setInterval(kTimerIntervalMs);
    tellInGeneralBox("Listening ended.");
}

void frmSerial::listenTick()
{
    // While bytes flow the tick keeps reading, each read returning as its bytes arrive: a
    // request's end and its reply's are stamped apart however much else the window has queued.
    // Past a while it yields between exchanges, and past a longer while anyway, so that a line
    // that never rests leaves the window responsive.
    QElapsedTimer reading;
    reading.start();
    modbus::ByteString chunk;
    for (;;) {
        chunk = SerialPort::ReadPort();
        monitor_->read(chunk);
        const qint64 ms = reading.elapsed();
        if (chunk.empty() || ms >= kLongestTickMs
            || (ms >= kListenTickMs && !monitor_->midExchange()))
            break;
    }
    Pic->setFillColor(!chunk.empty() ? kRed : Pic->fillColor() == kWhite ? kGrey : kWhite);
    if (!chunk.empty())
        return;
    if (portGone_)
        lookForPort();
    else if (SerialPort::PortGone())
        reportPortGone();
}

} // namespace window

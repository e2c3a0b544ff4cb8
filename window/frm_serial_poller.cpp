// The reply poller: each tick reads what came, blinks the lamp, shows and logs it.
#include "frm_serial.h"

#include "display_box.h"
#include "lamp.h"
#include "monitor/line_monitor.h"
#include "time_stamp.h"
#include "window_constants.h"

#include "modbus/number_text.h"
#include "modbus/reply_display.h"
#include "serial/serial_port.h"

#include <QLineEdit>
#include <QPlainTextEdit>

namespace window {
namespace {

    // With the device gone every read fails at once; tick at the idle pace rather than
    // blinking the lamp a hundred times a second.
    constexpr int kGoneIntervalMs = 256;
    // How often a gone port is looked for: an adapter plugged back in is found within about a
    // second, and a missing device costs one failed open a second.
    constexpr qint64 kLookForPortMs = 1000;

} // namespace

void frmSerial::TMRComm_Timer()
{
    if (hunt_)
        return huntTick();
    if (monitor_->listening())
        return listenTick();
    // A polling run's next request must not wait behind an idle read; without a run the read
    // keeps its designed time-outs.
    SerialPort::SetIdleReadLimit(monitor_->idleReadLimitMs());
    const modbus::ByteString chunk = SerialPort::ReadPort();
    tellLinkNews();
    monitor_->read(chunk);
    Pic->setFillColor(Pic->fillColor() == kWhite ? kGrey : kWhite);
    if (chunk.empty()) {
        if (portGone_)
            lookForPort();
        else if (SerialPort::PortGone())
            reportPortGone();
        return;
    }
    Pic->setFillColor(kRed);
    // What the read brought as RTU frames: the read itself on a line; on Modbus TCP its replies
    // without their MBAP headers, a late one left out (it is the monitor's to show).
    const modbus::ByteString reply = monitor_->lastReplyBytes();
    if (reply.empty())
        return;
    // Deliberate, as designed: the port is drained before and after the reply is shown. A
    // drain only waits for output to go out and discards nothing, so neither loses a byte.
    SerialPort::FlushPort();
    showReply(reply);
    SerialPort::FlushPort();
}

void frmSerial::tellLinkNews()
{
    bool ended = false;
    const std::string news = SerialPort::TakeNews(&ended);
    if (news.empty())
        return;
    for (const QString& line : QString::fromStdString(news).split('\n')) {
        monitor_->note(line.toStdString(), ended);
        tellInGeneralBox("Port " + txt0->text() + ": " + line);
    }
}

QPlainTextEdit* frmSerial::replyBox(modbus::ReplyKind kind) const
{
    switch (kind) {
    case modbus::ReplyKind::WriteSingleEcho:
        return Text6;
    case modbus::ReplyKind::ReadHolding:
        return Text8;
    case modbus::ReplyKind::WriteMultipleEcho:
        return Text10;
    case modbus::ReplyKind::Raw:
        break;
    }
    return Text2;
}

void frmSerial::showReply(const modbus::ByteString& chunk)
{
    // The address box is compared unrounded: ".5" matches no slave.
    const double address = modbus::NumberFromText(latin1(Text1));
    const modbus::ReplyDisplay shown = modbus::ClassifyReply(chunk, address);
    vars_.FrameText = shown.text;
    if (shown.firstHi)
        vars_.FirstHi = *shown.firstHi;
    const modbus::ByteString& text = vars_.FrameText;
    AppendToBox(
        replyBox(shown.kind), QString::fromLatin1(text.data(), qsizetype(text.size())) + "\r\n");
    logPiece(TimeStamp() + "  :< ", false);
    logBytes(text, true);
    logBytes({}, true);
}

void frmSerial::reportPortGone()
{
    portGone_ = true; // told once: the tick looks for the port from now on
    // Let go of the device at once: while it is held, a replugged adapter cannot get its old
    // name back (ttyUSB0 would return as ttyUSB1).
    SerialPort::ClosePort();
    monitor_->setPortState(monitor::PortState::Gone);
    lookedForPort_.start();
    TMRComm.setInterval(kGoneIntervalMs);
    tellInGeneralBox(
        "Port " + txt0->text() + " stopped answering (device gone); looking for it again.");
}

void frmSerial::lookForPort()
{
    if (lookedForPort_.elapsed() < kLookForPortMs)
        return;
    lookedForPort_.start();
    // Silent: a device that is still missing is no news.
    if (!SerialPort::OpenPort(latin1(txt0), openSettings_, {}))
        return;
    portGone_ = false;
    monitor_->setPortState(monitor::PortState::Open);
    TMRComm.setInterval(monitor_->listening() ? 0 : kTimerIntervalMs);
    SerialPort::SetListenReads(monitor_->listening()); // reopened with the designed time-outs
    tellInGeneralBox("Port " + txt0->text() + " is back; reopened.");
}

void frmSerial::tellInGeneralBox(const QString& text)
{
    AppendToBox(Text2, text + "\r\n");
    logPiece(TimeStamp() + " " + text, true);
}

} // namespace window

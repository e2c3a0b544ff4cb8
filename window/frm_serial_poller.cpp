// The reply poller: each tick reads what came, blinks the lamp, shows and logs it.
#include "frm_serial.h"

#include "display_box.h"
#include "lamp.h"
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

} // namespace

void frmSerial::TMRComm_Timer()
{
    const modbus::ByteString chunk = SerialPort::ReadPort();
    Pic->setFillColor(Pic->fillColor() == kWhite ? kGrey : kWhite);
    if (chunk.empty()) {
        if (SerialPort::PortGone())
            reportPortGone();
        return;
    }
    Pic->setFillColor(kRed);
    SerialPort::FlushPort();
    showReply(chunk);
    SerialPort::FlushPort();
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
    if (toldPortGone_)
        return;
    toldPortGone_ = true;
    TMRComm.setInterval(kGoneIntervalMs);
    const QString text
        = "Port " + txt0->text() + " stopped answering (device gone). Close it and open it again.";
    AppendToBox(Text2, text + "\r\n");
    logPiece(TimeStamp() + " " + text, true);
}

} // namespace window

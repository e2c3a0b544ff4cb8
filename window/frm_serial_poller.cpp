// The reply poller: each tick reads what came, blinks the lamp, shows and logs it.
#include "frm_serial.h"

#include "display_box.h"
#include "lamp.h"
#include "time_stamp.h"
#include "widget_table.h"

#include "modbus/reply_display.h"
#include "serial/serial_port.h"

#include <QPlainTextEdit>

namespace window {
namespace {

    const char* boxName(modbus::ReplyBox box)
    {
        switch (box) {
        case modbus::ReplyBox::Text6:
            return "Text6";
        case modbus::ReplyBox::Text8:
            return "Text8";
        case modbus::ReplyBox::Text10:
            return "Text10";
        case modbus::ReplyBox::Text2:
            break;
        }
        return "Text2";
    }

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

void frmSerial::showReply(const modbus::ByteString& chunk)
{
    // The address box is compared unrounded: ".5" matches no slave.
    const double address = modbus::NumberFromText(boxLatin1("Text1"));
    const modbus::ReplyDisplay shown = modbus::ClassifyReply(chunk, address);
    FrameText = shown.text;
    if (shown.firstHi)
        FirstHi = *shown.firstHi;
    AppendToBox(box(boxName(shown.box)),
        QString::fromLatin1(FrameText.data(), qsizetype(FrameText.size())) + "\r\n");
    logPiece(TimeStamp() + "  :< ", false);
    logBytes(FrameText, true);
    logBytes({}, true);
}

void frmSerial::reportPortGone()
{
    if (toldPortGone_)
        return;
    toldPortGone_ = true;
    TMRComm.setInterval(kGoneIntervalMs);
    const QString text = "Port " + boxText("txt(0)")
        + " stopped answering (device gone). Close it and open it again.";
    AppendToBox(box("Text2"), text + "\r\n");
    logPiece(TimeStamp() + " " + text, true);
}

} // namespace window

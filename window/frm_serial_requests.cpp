// The six request buttons: log the entry, build the frame, write it, pause.
#include "frm_serial.h"

#include "monitor/line_monitor.h"
#include "time_stamp.h"

#include "modbus/ascii_frame.h"
#include "requests/request_frames.h"
#include "serial/serial_port.h"

#include <QLineEdit>

#include <thread>

namespace window {
void frmSerial::sendRequest(const QString& marker, const QString& fields, bool emptyLine,
    const modbus::Request& request, bool rawText)
{
    logPiece(TimeStamp() + marker, false);
    logPiece(fields, true);
    if (emptyLine)
        logPiece(QString(), true);
    vars_.NumScratch = request.second.numScratch;
    vars_.FirstHi = request.first.hi;
    vars_.FirstLo = request.first.lo;
    vars_.SecondHi = request.second.hi;
    vars_.SecondLo = request.second.lo;
    if (!request.notSent.empty()) {
        // Nothing goes out, and the log must not read as if it had.
        const QString why = "not sent: " + QString::fromLatin1(request.notSent);
        logPiece(why, true);
        tellUser(why);
        return;
    }
    vars_.FrameText = request.frame;
    writeFrame(vars_.FrameText, rawText);
}

void frmSerial::writeFrame(const modbus::ByteString& frame, bool rawText)
{
    if (monitor_->listening())
        return; // never written while listening (its buttons are disabled)
    // On Modbus TCP the frame goes under an MBAP header; elsewhere as it is.
    const modbus::ByteString wire = monitor_->wireOf(frame, rawText);
    const int written = SerialPort::WritePort(wire);
    tellLinkNews();
    const std::string down = written == 0 ? SerialPort::LinkDown() : std::string();
    monitor_->written(wire, written, rawText, down);
    if (!down.empty())
        logPiece("not sent: " + QString::fromStdString(down), true);
    else if (written < static_cast<int>(wire.size()))
        logPiece(QString("short write: %1 of %2 bytes sent").arg(written).arg(wire.size()), true);
    // Deliberate, as designed: the window waits a moment after each write before it takes
    // the next event, so a request and the next poll or request do not follow back to back.
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

void frmSerial::sendComposed(const std::string& frame)
{
    logPiece(TimeStamp() + " REQ :>", false);
    // An ASCII line's request is logged as the text that went, not as bytes that never did.
    const modbus::ByteString wire = monitor_->wireOf(frame, false);
    const bool ascii = modbus::CutAscii(wire, true).kind == modbus::AsciiCut::Kind::Frame;
    logBytes(ascii ? modbus::AsciiText(wire) : modbus::HexBytes(frame), true);
    logPiece(QString(), true);
    writeFrame(frame, false);
}

void frmSerial::tellUser(const QString& text)
{
    // The box runs its own event loop: keep the poller out of it, one event at a time.
    const bool polling = TMRComm.isActive();
    TMRComm.stop();
    message_(text, "Quillet", MessageIcon::None);
    if (polling)
        TMRComm.start();
}

void frmSerial::Command3_Click()
{
    sendRequest(" FUN3 :>", Text7->text() + ":" + Text9->text(), true,
        modbus::ReadHoldingRequest(
            latin1(Text1), { "Address param", latin1(Text7) }, { "Count", latin1(Text9) }));
}

void frmSerial::Command1_Click()
{
    sendRequest(" FUN6 :>", Text4->text() + ":" + Text5->text(), true,
        modbus::WriteSingleRequest(
            latin1(Text1), { "Address param", latin1(Text4) }, { "Data", latin1(Text5) }));
}

void frmSerial::Command9_Click()
{
    sendRequest(" FUN10 :>", Text12->text() + ":" + Text11->text(), true,
        modbus::WriteMultipleRequest(
            latin1(Text1), { "Address param", latin1(Text12) }, { "Data", latin1(Text11) }));
}

void frmSerial::Command2_Click()
{
    sendRequest("  :>  info ", QString(), false, modbus::ReportIdRequest(latin1(Text1)));
}

void frmSerial::Command4_Click()
{
    sendRequest("  :>", Text1->text() + ":" + Text3->text(), true,
        modbus::FreeFormRequest(latin1(Text1), Text3->text().toStdU32String()));
}

void frmSerial::BTNSend_Click()
{
    sendRequest("  :>", Text1->text() + ":" + Text3->text(), true,
        modbus::RawTextRequest(Text3->text().toStdU32String()), true);
}

} // namespace window

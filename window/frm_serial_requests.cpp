// The six request buttons: log the entry, build the frame, write it, pause.
#include "frm_serial.h"

#include "time_stamp.h"

#include "modbus/request_frames.h"
#include "serial/serial_port.h"

#include <QLineEdit>

#include <thread>

namespace window {
void frmSerial::sendRequest(
    const QString& marker, const QString& fields, bool emptyLine, const modbus::Request& request)
{
    logPiece(TimeStamp() + marker, false);
    logPiece(fields, true);
    if (emptyLine)
        logPiece(QString(), true);
    NumScratch = request.second.numScratch;
    FirstHi = request.first.hi;
    FirstLo = request.first.lo;
    SecondHi = request.second.hi;
    SecondLo = request.second.lo;
    if (!request.notSent.empty()) {
        // Nothing goes out, and the log must not read as if it had.
        const QString why = "not sent: " + QString::fromLatin1(request.notSent);
        logPiece(why, true);
        tellUser(why);
        return;
    }
    FrameText = request.frame;
    const int written = SerialPort::WritePort(FrameText);
    if (written < static_cast<int>(FrameText.size()))
        logPiece(
            QString("short write: %1 of %2 bytes sent").arg(written).arg(FrameText.size()), true);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
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
    const std::string first = boxLatin1("Text7"), count = boxLatin1("Text9");
    sendRequest(" FUN3 :>", boxText("Text7") + ":" + boxText("Text9"), true,
        modbus::ReadHoldingRequest(
            boxLatin1("Text1"), { "Address param", first }, { "Count", count }));
}

void frmSerial::Command1_Click()
{
    const std::string reg = boxLatin1("Text4"), value = boxLatin1("Text5");
    sendRequest(" FUN6 :>", boxText("Text4") + ":" + boxText("Text5"), true,
        modbus::WriteSingleRequest(
            boxLatin1("Text1"), { "Address param", reg }, { "Data", value }));
}

void frmSerial::Command9_Click()
{
    const std::string reg = boxLatin1("Text12"), value = boxLatin1("Text11");
    sendRequest(" FUN10 :>", boxText("Text12") + ":" + boxText("Text11"), true,
        modbus::WriteMultipleRequest(
            boxLatin1("Text1"), { "Address param", reg }, { "Data", value }));
}

void frmSerial::Command2_Click()
{
    sendRequest("  :>  info ", QString(), false, modbus::ReportIdRequest(boxLatin1("Text1")));
}

void frmSerial::Command4_Click()
{
    sendRequest("  :>", boxText("Text1") + ":" + boxText("Text3"), true,
        modbus::FreeFormRequest(boxLatin1("Text1"), boxText("Text3").toStdU32String()));
}

void frmSerial::BTNSend_Click()
{
    sendRequest("  :>", boxText("Text1") + ":" + boxText("Text3"), true,
        modbus::RawTextRequest(boxText("Text3").toStdU32String()));
}

} // namespace window

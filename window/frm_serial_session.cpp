// Opening and closing the port session, and the log it writes.
#include "frm_serial.h"

#include "display_box.h"
#include "monitor/line_monitor.h"
#include "session_log.h"
#include "time_stamp.h"
#include "window_constants.h"

#include "serial/line_timing.h"
#include "serial/link_address.h"
#include "serial/serial_port.h"

#include <QCloseEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>

#include <thread>

namespace window {

bool frmSerial::isNetworkLink() const { return comm::ParseLinkAddress(latin1(txt0)).network(); }

bool frmSerial::openLog()
{
    const QString name = LogFileName(txt0->text());
    LogFile = LogFiles::FreeFile();
    int err = LogFiles::OpenAppend(LogFile, name);
    if (err == 0) {
        StartStamp = StartStampText(QDateTime::currentDateTime(), QLocale::system());
        QStringList header { StartStamp, "START Quillet V2.0", QString() };
        // A line other than the design's 8N1 at one of its speeds is named, so the log says how
        // it was read.
        if (const comm::LineSettings line = lineSettings(); isNetworkLink())
            header << "LINK " + txt0->text().trimmed();
        else if (!line.isDesigned() || speedOverride_)
            header << QString::fromStdString("LINE " + line.modeText()
                + (line.framing == modbus::Framing::Ascii ? " ASCII" : ""));
        for (const QString& text : header) {
            if ((err = LogFiles::Write(LogFile, text.toLatin1().toStdString(), true)) != 0)
                break;
        }
    }
    if (err == 0)
        return true;
    // A log left open by a failed Open would only be opened again under another number.
    LogFiles::CloseAll();
    message_(QString("The log file %1 cannot be written: %2").arg(name, LogFiles::ErrorText(err)),
        QString("Error#%1").arg(err), MessageIcon::Critical);
    return false;
}

void frmSerial::tellMonitorOpened()
{
    const std::optional<modbus::Framing> network = SerialPort::NetworkFraming();
    const comm::LineSettings line = lineSettings();
    monitor_->setCharacterUs(
        network ? 0 : modbus::CharacterUs(line.speed, line.parity, line.stopBits, line.dataBits));
    monitor_->setMayBeUsb(!network && !SerialPort::IsPseudoTerminal());
    monitor_->sessionOpened(
        network ? txt0->text() : QString::fromStdString(line.shortForm()), network, line.framing);
    // Said once, at the Open it concerns; the log keeps the LINE it was asked for.
    monitor_->setPortNote(parity_ != 'n' && SerialPort::IsPseudoTerminal()
            ? txt0->text() + " is a pseudo-terminal: parity does not apply there"
            : QString());
    monitor_->setPortState(monitor::PortState::Open);
}

void frmSerial::BTNOpenCom_Click()
{
    abandonHunt();
    toldLogFailed_ = false;
    if (!openLog())
        return;
    const std::string settings = lineSettings().modeText();
    // Without a port the window would look open while nothing can be sent or received:
    // stay closed so the user can correct the name and try again.
    const auto report = [this](const std::string& text) {
        message_(QString::fromLatin1(text), "Quillet", MessageIcon::None);
    };
    SerialPort::SetConnectTimeoutMs(monitor_->noReplyMs()); // a network link's connect
    if (!SerialPort::OpenPort(latin1(txt0), settings, report)) {
        LogFiles::CloseAll();
        monitor_->openFailed(); // its title must not read as if the port were open
        return;
    }
    SwitchTags();
    portGone_ = false;
    openSettings_ = settings; // a port that comes back is reopened as it was opened
    tellMonitorOpened();
    TMRComm.start(kTimerIntervalMs);
    // Deliberate: a slave that resets when the port opens gets a moment before the first
    // request can go out. The window is unresponsive for that long, as designed.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
}

void frmSerial::BTNCloseCom_Click()
{
    if (monitor_->listening())
        stopListening(); // nothing to hear on a closed port
    TMRComm.stop(); // also ends the looking for a port that went away
    portGone_ = false;
    Text2->clear();
    SerialPort::ClosePort();
    monitor_->setPortState(monitor::PortState::Closed);
    SwitchTags();
    LogFiles::CloseAll();
}

void frmSerial::closeEvent(QCloseEvent* event)
{
    TMRComm.stop();
    LogFiles::CloseAll();
    SerialPort::ClosePort();
    event->accept();
}

void frmSerial::logBytes(std::string_view bytes, bool lineEnd)
{
    const int err = LogFiles::Write(LogFile, bytes, lineEnd);
    // A full disk or a size limit must not stop the terminal; say so once, where replies show.
    if (err != 0 && !toldLogFailed_) {
        toldLogFailed_ = true;
        AppendToBox(Text2,
            QString("The log file cannot be written (%1); replies are still shown here.\r\n")
                .arg(LogFiles::ErrorText(err)));
    }
}

void frmSerial::logPiece(const QString& text, bool lineEnd)
{
    // Typed text goes to the log one byte per character; what has no byte shows as "?".
    logBytes(text.toLatin1().toStdString(), lineEnd);
}

} // namespace window

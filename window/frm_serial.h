// The terminal's one window.
#pragma once

#include "benchfiles/workspace.h"
#include "modbus/reply_display.h"
#include "requests/request_frames.h"
#include "serial/line_settings.h"

#include <QElapsedTimer>
#include <QHash>
#include <QTimer>
#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace modbus {
class SpeedHunt;
}

namespace monitor {
class LineMonitor;
}

namespace window {

class Lamp;
using monitor::LineMonitor;

enum class MessageIcon { None, Critical };
// Modal message box; tests put a recorder in its place.
using MessageHook = std::function<void(const QString& text, const QString& title, MessageIcon)>;

class frmSerial : public QWidget
{
public:
    explicit frmSerial(QWidget* parent = nullptr);

    void SwitchTags();

    // Port session
    void BTNOpenCom_Click();
    void BTNCloseCom_Click();

    // Requests
    void Command3_Click(); // function 3
    void Command1_Click(); // function 6
    void Command9_Click(); // function 16
    void Command2_Click(); // "Info", function 17
    void Command4_Click(); // "MB"
    void BTNSend_Click(); // "&Send Txt"

    // Reply poller
    void TMRComm_Timer();

    void setMessageHook(MessageHook hook) { message_ = std::move(hook); }

    // What the command line may pre-set, as a user would type or click it.
    void presetPort(const QString& text);
    bool presetSpeed(int bitsPerSecond); // 9600, 19200 or 115200; false for any other
    void pressOpen();
    // Parity 'n', 'e' or 'o' and 1 or 2 stop bits for the next Open; false for other values.
    bool presetLine(char parity, int stopBits);
    // RTU or ASCII and 7 or 8 data bits (7 for ASCII only) for the next Open; false for others.
    bool presetFraming(modbus::Framing framing, int dataBits);
    // A speed for the next Open that overrides the three speed buttons; 0: the buttons rule.
    void presetSpeedOverride(int bitsPerSecond);

    // The line monitor: F2 shows and hides it. It records from the start.
    void toggleMonitor();
    // A request from the monitor's composer: logged as " REQ :>" and its bytes, written, and
    // followed by the same pause as the buttons' requests.
    void sendComposed(const std::string& frame);
    // A polling run of these commands to the slave in Text1, as --poll asks once the port is
    // open: a cycle every everyMs, count cycles (0: until Stop), a data log when record names one.
    void startPolling(const std::vector<std::string>& commands, int everyMs, int count,
        const std::string& record);
    LineMonitor* monitor() const { return monitor_; }
    // Listening to a line another master drives (the monitor's Listen, --listen): the port is
    // opened if it is not, and never written until listening stops.
    void setListening(bool on);
    // The monitor's Find speed: the port (closed first if open) listened to at each common
    // setting in turn, tick by tick; the one whose frames have good check bytes is taken for
    // the next Open, and listening starts there.
    void findSpeed();
    // Speed from the speed buttons, parity and stop bits as chosen.
    comm::LineSettings lineSettings() const;

    // Window-level variables that carry meaning from one event to the next.
    std::int16_t LogFile = 0;
    QString StartStamp;

    // Kept only because the design names them: requests and the poller fill them as it says,
    // and tests read them; no behaviour depends on them.
    struct DesignVariables
    {
        modbus::ByteString FrameText;
        double NumScratch = 0;
        double FirstHi = 0;
        double FirstLo = 0;
        double SecondHi = 0;
        double SecondLo = 0;
    };
    const DesignVariables& designVariables() const { return vars_; }

    QTimer TMRComm;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override; // the window's unload

private:
    void buildWidgets();
    void resolveWidgets();
    void connectButtons();
    // Presses the default (Enter) or cancel (Escape) button when it is enabled.
    bool pressRoleButton(const QKeyEvent* event);
    bool isDisabledAccessKey(const QKeyEvent* key) const;
    bool openLog();
    // The monitor told of a port just opened: its line or network link, its note, its state.
    void tellMonitorOpened();
    void makeMonitor();
    void connectScan();
    // A workspace's part that is the window's: the port text, the speed and the line.
    void fillWorkspace(modbus::Workspace& w) const;
    void applyWorkspace(const modbus::Workspace& w);
    void updateMonitorTitle();
    void writeFrame(const modbus::ByteString& frame, bool rawText);
    // Option1 to Option3, in the order of kSpeeds.
    std::array<QRadioButton*, 3> speedButtons() const { return { Option1, Option2, Option3 }; }
    void logPiece(const QString& text, bool lineEnd);
    void logBytes(std::string_view bytes, bool lineEnd);
    void sendRequest(const QString& marker, const QString& fields, bool emptyLine,
        const modbus::Request& request, bool rawText = false);
    void tellUser(const QString& text);
    void showReply(const modbus::ByteString& chunk);
    void reportPortGone();
    // While the device is gone: about once a second, try to open the port again as it was.
    void lookForPort();
    void tellInGeneralBox(const QString& text); // in Text2 and the log, behind a time stamp
    // What a network link learnt (a connection closed, made again), told where replies show.
    void tellLinkNews();
    void stopListening();
    void listenTick();
    void huntTick();
    void huntAtCurrentSetting(const QString& heardBefore);
    void endHunt();
    void abandonHunt();
    std::vector<QPushButton*> sendButtons() const;
    // Whether the Port box names a network link ("tcp://...") rather than a serial port.
    bool isNetworkLink() const;
    QPlainTextEdit* replyBox(modbus::ReplyKind kind) const;
    // The widget the table names, of the kind expected; stops the program with the name
    // otherwise, so a misspelled name fails when the window is built, not at a click.
    template <typename T> T* child(const char* name) const;
    // What a text box holds, one byte per character; what has no byte becomes "?".
    static std::string latin1(const QLineEdit* box);

    DesignVariables vars_;
    QHash<QString, QWidget*> widgets_; // by table name, in table order of creation

    // The widgets the handlers use, resolved once from the table.
    QLineEdit *txt0 = nullptr, *Text1 = nullptr, *Text3 = nullptr, *Text4 = nullptr,
              *Text5 = nullptr, *Text7 = nullptr, *Text9 = nullptr, *Text11 = nullptr,
              *Text12 = nullptr;
    QPlainTextEdit *Text2 = nullptr, *Text6 = nullptr, *Text8 = nullptr, *Text10 = nullptr;
    QRadioButton *Option1 = nullptr, *Option2 = nullptr, *Option3 = nullptr;
    Lamp* Pic = nullptr;
    QPushButton* defaultButton_ = nullptr; // from the table's flags
    QPushButton* cancelButton_ = nullptr;

    MessageHook message_;
    char parity_ = 'n'; // the design's 8N1 unless chosen otherwise
    int stopBits_ = 1;
    modbus::Framing framing_ = modbus::Framing::Rtu; // the design's RTU unless chosen otherwise
    int dataBits_ = 8;
    int speedOverride_ = 0; // the monitor's speed choice; 0: the design's buttons
    LineMonitor* monitor_ = nullptr;
    bool portGone_ = false; // told, and not yet back
    QElapsedTimer lookedForPort_; // monotonic, since the last try
    std::string openSettings_; // the line settings of the last Open
    bool toldLogFailed_ = false;
    std::shared_ptr<modbus::SpeedHunt> hunt_; // while Find speed goes on
    QElapsedTimer huntClock_;
};

} // namespace window

// The terminal's one window.
#pragma once

#include "modbus/request_frames.h"

#include <QHash>
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <functional>

class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace window {

class Lamp;

enum class MessageIcon { None, Critical };
// Modal message box; tests put a recorder in its place.
using MessageHook = std::function<void(const QString& text, const QString& title, MessageIcon)>;

class frmSerial : public QWidget
{
public:
    explicit frmSerial(QWidget* parent = nullptr);
    ~frmSerial() override;

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

    // Window-level variables. Only LogFile carries meaning from one event to the next.
    std::int16_t LogFile = 0;
    QString StartStamp;
    modbus::ByteString FrameText;
    double NumScratch = 0;
    double FirstHi = 0;
    double FirstLo = 0;
    double SecondHi = 0;
    double SecondLo = 0;

    QTimer TMRComm;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override; // the window's unload

private:
    void buildWidgets();
    void connectButtons();
    bool openLog();
    QString speedSettings() const;
    void logPiece(const QString& text, bool lineEnd);
    void logBytes(std::string_view bytes, bool lineEnd);
    void sendRequest(const QString& marker, const QString& fields, bool emptyLine,
        const modbus::Request& request);
    void tellUser(const QString& text);
    void showReply(const modbus::ByteString& chunk);
    void reportPortGone();
    QWidget* widget(const char* name) const;
    QLineEdit* lineEdit(const char* name) const;
    QPlainTextEdit* box(const char* name) const;
    QPushButton* button(const char* name) const;

    QString boxText(const char* name) const;
    std::string boxLatin1(const char* name) const;

    QHash<QString, QWidget*> widgets_;
    Lamp* Pic = nullptr;
    MessageHook message_;
    bool toldPortGone_ = false;
    bool toldLogFailed_ = false;
};

} // namespace window

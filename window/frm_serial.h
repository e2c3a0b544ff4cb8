// The terminal's one window.
#pragma once

#include "modbus/byte_string.h"

#include <QHash>
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <functional>

class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

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

private:
    void buildWidgets();
    void connectClearButtons();
    QWidget* widget(const char* name) const;
    QLineEdit* lineEdit(const char* name) const;
    QPlainTextEdit* box(const char* name) const;
    QPushButton* button(const char* name) const;

    QHash<QString, QWidget*> widgets_;
    Lamp* Pic = nullptr;
    MessageHook message_;
};

} // namespace window

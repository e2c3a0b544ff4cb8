// The composer: a row at the top of the monitor that sends any function of the table. Its
// fields and its command (the request language) are kept in step both ways; the frame is
// previewed as it is typed, and what cannot be sent says why and disables Send.
#pragma once

#include "benchfiles/register_map.h"
#include "requests/request_language.h"

#include <QWidget>

#include <functional>
#include <optional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace monitor {

class Composer : public QWidget
{
public:
    explicit Composer(QWidget* parent = nullptr);

    // Where a request goes when Send is pressed: the whole frame, check bytes as chosen.
    std::function<void(const std::string& frame)> onSend;
    // The frame as the link's wire carries it, for the preview where that is not its bytes
    // (ASCII's text); empty: the bytes are the wire's.
    std::function<std::string(const std::string& frame)> wireText;

    void setSlave(const QString& text);
    QString slave() const;
    // Send works only while the port is open.
    void setPortOpen(bool open);
    // While the monitor listens nothing is sent; the reason shows where a problem would.
    void setListening(bool on);
    // Gives the fields' captions the access keys the window leaves free; again once the window
    // around it is built.
    void assignAccessKeys() { showSyntax(); }
    // Takes a command as if typed into the command box; the fields follow it.
    void setCommand(const QString& command);
    QString command() const;
    QString preview() const;
    QString problem() const;
    // With "Read back" ticked, the write being composed, to be read back once it is answered;
    // nullopt otherwise, or for a request that cannot be read back.
    std::optional<modbus::RequestFields> readBackWrite() const;
    // The frame the fields make now; empty when they make none.
    std::string frame() const { return frame_; }
    bool canSend() const;
    void send();
    // A map lets commands name registers ("read temperature") and write in engineering units
    // ("setpoint = 21.5"); nullptr: numbers only.
    void setMap(const modbus::RegisterMap* map, modbus::WordOrder order);
    // A command as this composer reads it, with its map.
    modbus::ParsedRequest parse(const QString& command) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Field
    {
        QLabel* label;
        QLineEdit* edit;
    };
    void buildFields();
    void buildCommandBox();
    void connectFields();
    void layOut();
    // Tab in reading order; Return in a text box reaches the Ctrl+Return shortcut.
    void orderTabs();
    void showSyntax();
    void fieldsChanged();
    void commandTyped(const QString& text);
    void fillFields(const modbus::RequestFields& fields);
    QString commandFromFields() const;
    void judge(const QString& command);
    Field field(const char* name);

    QComboBox* function_;
    QLineEdit* slave_;
    Field start_, quantity_, writeStart_, values_;
    QComboBox* check_;
    QComboBox* command_; // editable; its list recalls the last requests sent
    QLabel* preview_;
    QLabel* problem_;
    QPushButton* send_;
    QCheckBox* readBack_;
    QCheckBox* writeWith16_; // write-register as function 16, for devices that refuse 6
    modbus::RequestFields fields_; // what frame_ was made of
    bool portOpen_ = false;
    bool listening_ = false;
    const modbus::RegisterMap* map_ = nullptr;
    modbus::WordOrder order_ = modbus::WordOrder::ABCD;
    bool syncing_ = false;
    std::string frame_;
};

} // namespace monitor

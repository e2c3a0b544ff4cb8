// The composer: a row at the top of the monitor that sends any function of the table. Its
// fields and its command (the request language) are kept in step both ways; the frame is
// previewed as it is typed, and what cannot be sent says why and disables Send.
#pragma once

#include "modbus/request_fields.h"

#include <QWidget>

#include <functional>

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

    void setSlave(const QString& text);
    // Send works only while the port is open.
    void setPortOpen(bool open);
    // Takes a command as if typed into the command box; the fields follow it.
    void setCommand(const QString& command);
    QString command() const;
    QString preview() const;
    QString problem() const;
    // The frame the fields make now; empty when they make none.
    std::string frame() const { return frame_; }
    bool canSend() const;
    void send();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Field
    {
        QLabel* label;
        QLineEdit* edit;
    };
    void buildFields();
    void connectFields();
    void layOut();
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
    bool portOpen_ = false;
    bool syncing_ = false;
    std::string frame_;
};

} // namespace monitor

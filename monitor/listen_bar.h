// Listening in the monitor: "Listen" hears a line another master drives without writing to it,
// "Find speed" tries the common settings for the one whose frames have good check bytes, "Save
// capture…" writes the frames heard as a pcap file; a line beside them tells how it goes.
#pragma once

#include <QWidget>

#include <functional>

class QLabel;
class QPushButton;

namespace monitor {

class ListenBar : public QWidget
{
public:
    explicit ListenBar(QWidget* parent = nullptr);

    std::function<void(bool on)> onListen;
    std::function<void()> onFindSpeed;
    std::function<void(const QString& path)> onSaveCapture;

    // Shows listening on or off without asking for it again.
    void showListening(bool on);
    bool listening() const;
    // Why listening cannot start here (a network link); empty: it can.
    void setRefusal(const QString& why);
    void setCanSave(bool can);
    void setNote(const QString& text);
    QString note() const;

private:
    void arrange();
    void connectButtons();

    QPushButton* listen_;
    QPushButton* findSpeed_;
    QPushButton* save_;
    QLabel* note_;
};

} // namespace monitor

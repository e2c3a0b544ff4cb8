#include "listen_bar.h"

#include "message_label.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>

namespace monitor {
namespace {

    const char* const kListenTip
        = "Hear a line another master drives: the port is opened and never written";
    const char* const kFindTip = "Listen a moment at each common speed and parity; keep the one "
                                 "whose frames have good check bytes";

} // namespace

ListenBar::ListenBar(QWidget* parent)
    : QWidget(parent)
    , listen_(new QPushButton("&Listen", this))
    , findSpeed_(new QPushButton("Find speed", this))
    , save_(new QPushButton("Save capture…", this))
    , note_(new MessageLabel(this))
{
    listen_->setObjectName("listen");
    listen_->setCheckable(true);
    listen_->setToolTip(kListenTip);
    findSpeed_->setObjectName("findSpeed");
    findSpeed_->setToolTip(kFindTip);
    save_->setObjectName("saveCapture");
    save_->setToolTip("The frames heard as a pcap file, for Wireshark (link type 147)");
    save_->setEnabled(false);
    note_->setObjectName("listenNote");
    arrange();
    connectButtons();
}

void ListenBar::arrange()
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    for (QWidget* w : { static_cast<QWidget*>(listen_), static_cast<QWidget*>(findSpeed_),
             static_cast<QWidget*>(save_) })
        row->addWidget(w);
    row->addWidget(note_, 1);
}

void ListenBar::connectButtons()
{
    connect(listen_, &QPushButton::toggled, this, [this](bool on) {
        if (onListen)
            onListen(on);
    });
    connect(findSpeed_, &QPushButton::clicked, this, [this] {
        if (onFindSpeed)
            onFindSpeed();
    });
    connect(save_, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getSaveFileName(
            this, "Save capture", {}, "pcap captures (*.pcap);;All files (*)");
        if (!path.isEmpty() && onSaveCapture)
            onSaveCapture(path);
    });
}

void ListenBar::showListening(bool on)
{
    const QSignalBlocker block(listen_);
    listen_->setChecked(on);
}

bool ListenBar::listening() const { return listen_->isChecked(); }

void ListenBar::setRefusal(const QString& why)
{
    listen_->setEnabled(why.isEmpty());
    findSpeed_->setEnabled(why.isEmpty());
    listen_->setToolTip(why.isEmpty() ? kListenTip : why);
    findSpeed_->setToolTip(why.isEmpty() ? kFindTip : why);
}

void ListenBar::setCanSave(bool can) { save_->setEnabled(can); }

void ListenBar::setNote(const QString& text) { note_->setText(text); }

QString ListenBar::note() const { return note_->text(); }

} // namespace monitor

#include "bench_bar.h"

#include "message_label.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSettings>
#include <QToolButton>

namespace monitor {
namespace {

    const char* const kWorkspaceFilter = "Quillet workspaces (*.json);;All files (*)";
    const char* const kRecentKey = "recentWorkspaces";

    QSettings store()
    {
        return QSettings(QSettings::IniFormat, QSettings::UserScope, "Quillet", "quillet");
    }

} // namespace

BenchBar::BenchBar(QWidget* parent)
    : QWidget(parent)
    , map_(new QPushButton("&Map…", this))
    , open_(new QPushButton("Open wor&kspace…", this))
    , save_(new QPushButton("Save workspace…", this))
    , recent_(new QToolButton(this))
    , note_(new MessageLabel(this))
{
    layOut();
    connectButtons();
    fillRecent();
}

void BenchBar::layOut()
{
    map_->setObjectName("map");
    map_->setToolTip("A register map (CSV): names and engineering values in the details, the "
                     "watch, the trend and the composer");
    open_->setObjectName("openWorkspace");
    save_->setObjectName("saveWorkspace");
    recent_->setObjectName("recentWorkspaces");
    recent_->setText("Recent");
    recent_->setPopupMode(QToolButton::InstantPopup);
    recent_->setMenu(new QMenu(recent_));
    note_->setObjectName("benchNote");
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    for (QWidget* w : { static_cast<QWidget*>(map_), static_cast<QWidget*>(open_),
             static_cast<QWidget*>(save_), static_cast<QWidget*>(recent_) })
        row->addWidget(w);
    row->addWidget(note_, 1);
}

void BenchBar::connectButtons()
{
    connect(map_, &QPushButton::clicked, this, [this] {
        const QString path
            = chooseFile("Register map", false, "Register maps (*.csv);;All files (*)");
        if (!path.isEmpty() && onMap)
            onMap(path);
    });
    connect(open_, &QPushButton::clicked, this, [this] {
        const QString path = chooseFile("Open workspace", false, kWorkspaceFilter);
        if (!path.isEmpty() && onOpen)
            onOpen(path);
    });
    connect(save_, &QPushButton::clicked, this, [this] {
        const QString path = chooseFile("Save workspace", true, kWorkspaceFilter);
        if (!path.isEmpty() && onSave)
            onSave(path);
    });
}

QString BenchBar::chooseFile(const char* title, bool saving, const char* filter)
{
    return saving ? QFileDialog::getSaveFileName(this, title, {}, filter)
                  : QFileDialog::getOpenFileName(this, title, {}, filter);
}

void BenchBar::setNote(const QString& text, const QString& details)
{
    note_->setText(text);
    note_->setToolTip(details);
}

QString BenchBar::note() const { return note_->text(); }

QStringList BenchBar::recent() const { return store().value(kRecentKey).toStringList(); }

void BenchBar::remember(const QString& path)
{
    QStringList list = recent();
    list.removeAll(path);
    list.prepend(path);
    while (list.size() > kRecent)
        list.removeLast();
    store().setValue(kRecentKey, list);
    fillRecent();
}

void BenchBar::fillRecent()
{
    QMenu* menu = recent_->menu();
    menu->clear();
    const QStringList list = recent();
    for (const QString& path : list)
        menu->addAction(path, this, [this, path] {
            if (onOpen)
                onOpen(path);
        });
    recent_->setEnabled(!list.isEmpty());
}

} // namespace monitor

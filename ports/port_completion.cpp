#include "ports/port_completion.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QKeyEvent>
#include <QLineEdit>
#include <QStandardItemModel>

namespace ports {
namespace {

    // The popup shows name and description; completion inserts the name alone.
    constexpr int kNameRole = Qt::UserRole;

} // namespace

PortCompletion::PortCompletion(QLineEdit* box, Lister lister)
    : QObject(box)
    , box_(box)
    , lister_(std::move(lister))
    , model_(new QStandardItemModel(this))
    , completer_(new QCompleter(model_, this))
{
    completer_->setCompletionRole(kNameRole);
    completer_->setCaseSensitivity(Qt::CaseInsensitive);
    completer_->setFilterMode(Qt::MatchContains);
    box_->setCompleter(completer_);
    box_->installEventFilter(this);
    box_->window()->installEventFilter(this);
}

void PortCompletion::refresh()
{
    listed_ = true;
    model_->clear();
    for (const PortEntry& entry : lister_()) {
        auto* item = new QStandardItem(entry.name + "    " + entry.description);
        item->setData(entry.name, kNameRole);
        model_->appendRow(item);
    }
}

bool PortCompletion::eventFilter(QObject* watched, QEvent* event)
{
    // The box has the focus at start: only a focus after the window was drawn is a use.
    if (watched == box_->window() && event->type() == QEvent::Paint && !drawn_) {
        drawn_ = true;
        box_->window()->removeEventFilter(this);
    }
    if (watched == box_ && event->type() == QEvent::FocusIn && drawn_)
        refresh();
    // The first key typed in it: the list is there before the completer looks for matches.
    if (watched == box_ && event->type() == QEvent::KeyPress && !listed_)
        refresh();
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Down
        && box_->isEnabled()) {
        refresh();
        completer_->setCompletionPrefix(QString());
        completer_->complete();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace ports

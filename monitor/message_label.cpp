#include "message_label.h"

#include <QHelpEvent>
#include <QPainter>
#include <QStyle>
#include <QToolTip>

namespace monitor {

MessageLabel::MessageLabel(QWidget* parent)
    : QLabel(parent)
{
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    setTextFormat(Qt::PlainText);
}

QSize MessageLabel::minimumSizeHint() const
{
    return { fontMetrics().horizontalAdvance("…") * 4, QLabel::minimumSizeHint().height() };
}

bool MessageLabel::elided() const
{
    return fontMetrics().horizontalAdvance(text()) > contentsRect().width();
}

void MessageLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRect room = contentsRect();
    const QString shown = fontMetrics().elidedText(text(), Qt::ElideRight, room.width());
    style()->drawItemText(
        &painter, room, int(alignment()), palette(), isEnabled(), shown, foregroundRole());
}

bool MessageLabel::event(QEvent* event)
{
    // The whole text on hover, when it is shortened and no tip of its own was set.
    if (event->type() == QEvent::ToolTip && toolTip().isEmpty()) {
        if (elided())
            QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), text(), this);
        else
            QToolTip::hideText();
        return true;
    }
    return QLabel::event(event);
}

} // namespace monitor

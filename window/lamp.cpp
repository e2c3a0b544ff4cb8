#include "lamp.h"

#include <QPainter>

namespace window {

QColor ColorFromBgr(unsigned bgr)
{
    return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
}

Lamp::Lamp(QWidget* parent)
    : QWidget(parent)
{ }

void Lamp::setFillColor(unsigned bgr)
{
    if (bgr == fill_)
        return;
    fill_ = bgr & 0xFFFFFF;
    update();
}

void Lamp::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(palette().color(QPalette::WindowText));
    p.setBrush(ColorFromBgr(fill_));
    // A circle, not an ellipse: the lamp's rectangle is taller than it is wide.
    const int d = qMin(width(), height()) - 1;
    p.drawEllipse(QRectF((width() - d) / 2.0, (height() - d) / 2.0, d, d));
}

} // namespace window

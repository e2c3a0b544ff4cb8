#include "window_icon.h"

#include <QPainter>
#include <QPixmap>

namespace window {

QPixmap WindowIconPixmap(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 24.0, size / 24.0); // drawn on a 24-pixel grid
    // D-shaped connector shell with two rows of pins.
    p.setPen(QPen(QColor(40, 40, 80), 1));
    p.setBrush(QColor(70, 110, 190));
    const QPointF shell[] = { { 2, 8 }, { 22, 8 }, { 19, 20 }, { 5, 20 } };
    p.drawPolygon(shell, 4);
    p.setBrush(QColor(235, 235, 235));
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 5; ++i)
        p.drawEllipse(QPointF(5.5 + i * 3.25, 12), 1.1, 1.1);
    for (int i = 0; i < 4; ++i)
        p.drawEllipse(QPointF(7 + i * 3.3, 16.5), 1.1, 1.1);
    // The activity lamp.
    p.setBrush(QColor(255, 60, 40));
    p.setPen(QPen(QColor(120, 0, 0), 1));
    p.drawEllipse(QPointF(18.5, 4.5), 3.5, 3.5);
    p.end();
    return pixmap;
}

QIcon WindowIcon()
{
    QIcon icon;
    // 48 as well, so a desktop scaled to 2x shows it sharp rather than blown up.
    for (int size : { 24, 48 })
        icon.addPixmap(WindowIconPixmap(size));
    return icon;
}

} // namespace window

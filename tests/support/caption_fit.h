// Captions that do not fit the room the widget table gives them, in the style and font the
// window has: shared by the window tests and the check that runs under Wine.
#pragma once

#include "window/frm_serial.h"
#include "window/widget_table.h"

#include <QGroupBox>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QStyleOptionGroupBox>

#include <string>
#include <vector>

// One text per caption that is cut, empty when all fit. The radio buttons are as wide as their
// marker: their captions are cut by design.
inline std::vector<std::string> CaptionFaults(const window::frmSerial& frm)
{
    std::vector<std::string> faults;
    for (const window::WidgetRow& row : window::WidgetTable()) {
        const QWidget* widget = frm.findChild<QWidget*>(row.name);
        if (!widget || row.kind == window::Kind::Radio || !*row.caption
            || row.kind == window::Kind::TextBox)
            continue;
        const QString text = QString(row.caption).remove('&');
        const int needed = widget->fontMetrics().horizontalAdvance(text);
        int room = widget->width();
        if (auto* b = qobject_cast<const QPushButton*>(widget)) {
            QStyleOptionButton option;
            option.initFrom(b);
            room = b->style()->subElementRect(QStyle::SE_PushButtonContents, &option, b).width();
        } else if (auto* g = qobject_cast<const QGroupBox*>(widget)) {
            room = g->width() - 2 * g->style()->pixelMetric(QStyle::PM_LayoutLeftMargin);
            // A widget on the caption line (the lamp) ends the room for the caption.
            for (const QWidget* child : g->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
                if (child->y() < g->fontMetrics().height() && !child->inherits("QLabel")) {
                    QStyleOptionGroupBox option;
                    option.initFrom(g);
                    option.text = g->title();
                    option.subControls = QStyle::SC_GroupBoxLabel;
                    const QRect label = g->style()->subControlRect(
                        QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, g);
                    if (label.right() >= child->x())
                        faults.push_back(std::string(row.name) + " runs under "
                            + child->objectName().toStdString());
                }
        }
        if (needed > room)
            faults.push_back(std::string(row.name) + " \"" + row.caption + "\" needs "
                + std::to_string(needed) + " of " + std::to_string(room) + " px");
    }
    return faults;
}

#include "group_caption_style.h"

#include <QApplication>
#include <QStyleFactory>
#include <QWidget>

namespace window {

GroupCaptionStyle::GroupCaptionStyle(int endBefore)
    // A base of its own: a proxy takes ownership of its base, and the application keeps its.
    : QProxyStyle(QStyleFactory::create(QApplication::style()->name()))
    , endBefore_(endBefore)
{ }

QRect GroupCaptionStyle::subControlRect(ComplexControl control, const QStyleOptionComplex* option,
    SubControl sub, const QWidget* widget) const
{
    QRect rect = QProxyStyle::subControlRect(control, option, sub, widget);
    if (control == CC_GroupBox && sub == SC_GroupBoxLabel && rect.right() > endBefore_ - 2)
        rect.moveRight(std::max(endBefore_ - 2, rect.width() + 2));
    return rect;
}

void KeepCaptionBefore(QWidget* groupBox, int x)
{
    auto* style = new GroupCaptionStyle(x);
    style->setParent(groupBox);
    groupBox->setStyle(style);
}

} // namespace window

// Keeps a group box's caption clear of a widget the table places on its caption line (the
// lamp beside "Comm's"): styles start the caption at different offsets (the Windows styles
// about 8 pixels further right than Fusion), but the table's geometry is fixed.
#pragma once

#include <QProxyStyle>

namespace window {

class GroupCaptionStyle : public QProxyStyle
{
public:
    // The caption ends at least two pixels before x (in the group box's coordinates).
    explicit GroupCaptionStyle(int endBefore);

    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl sub,
        const QWidget* widget) const override;

private:
    int endBefore_;
};

// Gives the group box a caption that ends before x, in the application's current style.
void KeepCaptionBefore(QWidget* groupBox, int x);

} // namespace window

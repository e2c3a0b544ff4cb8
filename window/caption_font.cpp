#include "caption_font.h"

#include <QApplication>
#include <QFontDatabase>

namespace window {

QFont CaptionFont()
{
    QFont font = QApplication::font();
    if (QFontDatabase::hasFamily(kCaptionFamily))
        font.setFamilies({ kCaptionFamily });
    else
        font.setStretch(QFont::SemiCondensed);
    font.setPixelSize(11);
    return font;
}

} // namespace window

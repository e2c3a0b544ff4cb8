#include "caption_font.h"

#include <QApplication>
#include <QFile>
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

void LoadBundledCaptionFont()
{
    const QString file = QApplication::applicationDirPath() + "/fonts/LiberationSans-Regular.ttf";
    if (QFile::exists(file))
        QFontDatabase::addApplicationFont(file);
}

} // namespace window

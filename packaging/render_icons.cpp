// Writes the application icon as hicolor PNGs, from the same drawing as the window's icon.
//   quillet-render-icons OUTDIR NAME   makes OUTDIR/SIZExSIZE/apps/NAME.png
#include "window/window_icon.h"

#include <QDir>
#include <QGuiApplication>

#include <cstdio>

int main(int argc, char* argv[])
{
    QGuiApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: quillet-render-icons OUTDIR NAME\n");
        return 2;
    }
    for (int size : { 16, 24, 32, 48, 64, 128, 256 }) {
        const QString dir = QString("%1/%2x%2/apps").arg(argv[1]).arg(size);
        if (!QDir().mkpath(dir)
            || !window::WindowIconPixmap(size).save(dir + "/" + argv[2] + ".png"))
            return 1;
    }
    return 0;
}

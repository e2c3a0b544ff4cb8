// Run under Wine from the folder of an unpacked or installed Windows build: the window as a
// Windows user gets it. Checks that the bundled caption font was loaded (so it fails where
// the font is missing and the host's fonts are hidden), that every caption fits, that the
// native style plugin is in use, and optionally the scale; can save a picture of the window.
//   quillet-window-check.exe [--scale N] [--save FILE.png]
#include "tests/support/caption_fit.h"

#include "window/caption_font.h"
#include "window/frm_serial.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFontInfo>
#include <QStyle>
#include <QWindow>

#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    window::LoadBundledCaptionFont();
    window::frmSerial frm;
    frm.show();
    // The Windows toolkit here has no test library: wait for the window by hand.
    QElapsedTimer waited;
    waited.start();
    while (!(frm.windowHandle() && frm.windowHandle()->isExposed()) && waited.elapsed() < 30000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    const bool exposed = frm.windowHandle() && frm.windowHandle()->isExposed();
    const QStringList args = app.arguments();
    const int scaleAt = int(args.indexOf("--scale"));
    const int saveAt = int(args.indexOf("--save"));

    int passed = 0, failed = 0;
    const auto check = [&](bool ok, const std::string& what) {
        std::printf("%s: %s\n", ok ? "ok" : "FAILED", what.c_str());
        (ok ? passed : failed)++;
    };
    check(exposed, "the window is shown");
    const QString family = QFontInfo(frm.font()).family();
    check(family == window::kCaptionFamily, "caption font " + family.toStdString());
    const std::vector<std::string> faults = CaptionFaults(frm);
    for (const std::string& fault : faults)
        check(false, fault);
    check(faults.empty(), "every caption fits, and ends before the lamp");
    const QString style = QApplication::style()->name();
    check(style == "windowsvista", "style " + style.toStdString());
    if (scaleAt > 0 && scaleAt + 1 < args.size()) {
        const double want = args[scaleAt + 1].toDouble();
        const double got = frm.windowHandle() ? frm.windowHandle()->devicePixelRatio() : 0;
        check(got == want,
            "scale " + std::to_string(got) + ", window " + std::to_string(int(frm.width() * got))
                + " x " + std::to_string(int(frm.height() * got)) + " pixels");
    }
    if (saveAt > 0 && saveAt + 1 < args.size())
        check(frm.grab().save(args[saveAt + 1]), "saved " + args[saveAt + 1].toStdString());
    std::printf("window check: %d passed, %d failed\n", passed, failed);
    return failed ? 1 : 0;
}

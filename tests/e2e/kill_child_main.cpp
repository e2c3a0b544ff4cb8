// Child for the kill trial: opens the port named by argv[1], then prints "shown N" each time
// the function 3 reply box gains lines, until it is killed.
#include "window/frm_serial.h"

#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include <cstdio>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 2)
        return 2;
    window::frmSerial frm;
    frm.show();
    frm.findChild<QLineEdit*>("txt(0)")->setText(argv[1]);
    frm.findChild<QPushButton*>("BTNOpenCom")->click();
    auto* text8 = frm.findChild<QPlainTextEdit*>("Text8");
    int reported = 0;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        const int lines = int(text8->toPlainText().count('\n'));
        if (lines != reported) {
            reported = lines;
            std::printf("shown %d\n", lines);
            std::fflush(stdout);
        }
    });
    watch.start(20);
    std::printf("open\n");
    std::fflush(stdout);
    return app.exec();
}

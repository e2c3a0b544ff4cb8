#include "window/frm_serial.h"

#include <QApplication>

#include <csignal>

int main(int argc, char* argv[])
{
    // A log that reaches a file size limit must fail its write, not end the program.
    std::signal(SIGXFSZ, SIG_IGN);
    QApplication app(argc, argv);
    window::frmSerial frm;
    frm.show();
    return app.exec();
}

#include "window/frm_serial.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    window::frmSerial frm;
    frm.show();
    return app.exec();
}

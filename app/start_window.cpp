#include "start_window.h"

#include "window/frm_serial.h"

#include <QTimer>

void StartWindow(window::frmSerial& frm, const StartOptions& start)
{
    if (!start.port.isEmpty())
        frm.presetPort(start.port);
    if (start.speed)
        frm.presetSpeed(*start.speed);
    frm.presetLine(start.parity, start.stopBits);
    frm.show();
    if (start.monitor)
        frm.toggleMonitor();
    if (start.open)
        QTimer::singleShot(0, &frm, &window::frmSerial::pressOpen);
}

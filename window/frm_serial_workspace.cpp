// The window's part of a workspace: the port text, the speed, the line and the slave in Text1.
#include "window/frm_serial.h"

#include <QLineEdit>
#include <QRadioButton>

namespace window {

void frmSerial::fillWorkspace(modbus::Workspace& w) const
{
    w.port = txt0->text().toUtf8().toStdString();
    const comm::LineSettings line = lineSettings();
    if (line.speed)
        w.speed = line.speed;
    w.parity = line.parity;
    w.stopBits = line.stopBits;
    // Only a line other than RTU's eight bits is named: older files stay as they were.
    if (line.framing != modbus::Framing::Rtu || line.dataBits != 8) {
        w.framing = line.framing;
        w.dataBits = line.dataBits;
    }
}

void frmSerial::applyWorkspace(const modbus::Workspace& w)
{
    if (w.port)
        presetPort(QString::fromUtf8(*w.port));
    if (w.speed) {
        const bool designed = presetSpeed(*w.speed); // one of the three buttons
        presetSpeedOverride(designed ? 0 : *w.speed);
    }
    if (w.parity || w.stopBits)
        presetLine(w.parity.value_or(parity_), w.stopBits.value_or(stopBits_));
    // A line saved without a framing was an RTU line of eight bits (or saved before ASCII).
    if (w.parity || w.stopBits || w.framing || w.dataBits)
        presetFraming(w.framing.value_or(modbus::Framing::Rtu), w.dataBits.value_or(8));
    if (w.slave)
        Text1->setText(QString::number(*w.slave));
}

} // namespace window

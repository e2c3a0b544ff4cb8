// The ports present, as the toolkit's Serial Port module lists them: USB, ACM and real UARTs
// with description, maker and serial number, and COM ports with their friendly names on
// Windows. Used for listing only; all I/O is the terminal's own layer's.
#include "ports/port_list.h"

#include <QSerialPortInfo>

namespace ports {

std::vector<FoundPort> FoundPorts()
{
    std::vector<FoundPort> found;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        // On Windows the location is "\\\\.\\COM3": offer "COM3", as users type it.
        const QString location = info.systemLocation();
        const QString name = location.startsWith("\\\\.\\") ? info.portName() : location;
        found.push_back({ name, info.description(), info.manufacturer(), info.serialNumber() });
    }
    return found;
}

} // namespace ports

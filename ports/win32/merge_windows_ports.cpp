// Windows-only logic kept apart from the Windows calls, so it is built and tested everywhere
// (as serial/win32/device_gone.cpp is).
#include "ports/port_list.h"

#include <algorithm>

namespace ports {

std::vector<FoundPort> MergeWindowsPorts(
    const std::vector<SetupApiPort>& devices, const std::vector<QString>& serialComm)
{
    std::vector<FoundPort> found;
    const auto known = [&](const QString& name) {
        return std::any_of(found.begin(), found.end(),
            [&](const FoundPort& p) { return p.name.compare(name, Qt::CaseInsensitive) == 0; });
    };
    for (const SetupApiPort& device : devices) {
        const bool serial = device.portName.startsWith("COM", Qt::CaseInsensitive)
            || std::any_of(serialComm.begin(), serialComm.end(), [&](const QString& n) {
                   return n.compare(device.portName, Qt::CaseInsensitive) == 0;
               });
        if (!device.portName.isEmpty() && serial && !known(device.portName))
            found.push_back({ device.portName, device.friendlyName, {}, {} });
    }
    for (const QString& name : serialComm)
        if (!name.isEmpty() && !known(name))
            found.push_back({ name, {}, {}, {} });
    return found;
}

} // namespace ports

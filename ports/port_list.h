// The serial ports present, as the port box offers them for completion.
#pragma once

#include <QString>

#include <utility>
#include <vector>

namespace ports {

struct FoundPort
{
    QString name; // what the user types: "/dev/ttyUSB0", or "COM3" on Windows
    QString description;
    QString manufacturer;
    QString serialNumber;
};

struct PortEntry
{
    QString name;
    QString description;
};

// One entry per port in natural order ("ttyUSB2" before "ttyUSB10"), each followed by the
// stable names that link to it. byId holds (link, the device it resolves to); links to
// devices not found are left out, as are ports nobody can name.
std::vector<PortEntry> PortEntries(
    const std::vector<FoundPort>& found, const std::vector<std::pair<QString, QString>>& byId);

// A serial device as Windows' SetupAPI lists it: "COM5", "USB Serial Port (COM5)".
struct SetupApiPort
{
    QString portName;
    QString friendlyName;
};

// (ports/win32/merge_windows_ports.cpp) The COM ports of the Ports class with their friendly names,
// then the names the drivers register (SERIALCOMM) that SetupAPI did not list, without a
// description. Printer ports and devices without a port name are left out; each name comes once,
// whatever its case.
std::vector<FoundPort> MergeWindowsPorts(
    const std::vector<SetupApiPort>& devices, const std::vector<QString>& serialComm);

// The ports present now, unsorted; defined by the enumeration the build has.
std::vector<FoundPort> FoundPorts();

// What is present now, with the links under /dev/serial/by-id/, as PortEntries orders it.
std::vector<PortEntry> AvailablePorts();

} // namespace ports

#include "ports/port_list.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace ports {
namespace {

    QString describe(const FoundPort& port)
    {
        QStringList parts;
        for (const QString& part : { port.description, port.manufacturer })
            if (!part.isEmpty() && !parts.contains(part))
                parts << part;
        if (!port.serialNumber.isEmpty())
            parts << "serial number " + port.serialNumber;
        return parts.isEmpty() ? QString("serial port") : parts.join(", ");
    }

    // "ttyUSB2" before "ttyUSB10": runs of digits compare as numbers. Done by hand: the
    // toolkit's collator ignores numeric mode in the C locale.
    bool naturalLess(const QString& a, const QString& b)
    {
        qsizetype i = 0, j = 0;
        while (i < a.size() && j < b.size()) {
            if (a[i].isDigit() && b[j].isDigit()) {
                const qsizetype si = i, sj = j;
                while (i < a.size() && a[i].isDigit())
                    ++i;
                while (j < b.size() && b[j].isDigit())
                    ++j;
                const qulonglong x = a.mid(si, i - si).toULongLong();
                const qulonglong y = b.mid(sj, j - sj).toULongLong();
                if (x != y)
                    return x < y;
            } else if (a[i] != b[j]) {
                return a[i] < b[j];
            } else {
                ++i, ++j;
            }
        }
        return a.size() - i < b.size() - j;
    }

    std::vector<std::pair<QString, QString>> byIdLinks()
    {
        std::vector<std::pair<QString, QString>> links;
        const QDir dir("/dev/serial/by-id");
        for (const QFileInfo& link : dir.entryInfoList(QDir::System | QDir::Files))
            links.emplace_back(link.absoluteFilePath(), link.canonicalFilePath());
        return links;
    }

} // namespace

std::vector<PortEntry> PortEntries(
    const std::vector<FoundPort>& found, const std::vector<std::pair<QString, QString>>& byId)
{
    std::vector<FoundPort> ports;
    std::copy_if(found.begin(), found.end(), std::back_inserter(ports),
        [](const FoundPort& p) { return !p.name.isEmpty(); });
    std::sort(ports.begin(), ports.end(),
        [](const FoundPort& a, const FoundPort& b) { return naturalLess(a.name, b.name); });
    std::vector<std::pair<QString, QString>> links = byId;
    std::sort(links.begin(), links.end());
    std::vector<PortEntry> entries;
    for (const FoundPort& port : ports) {
        entries.push_back({ port.name, describe(port) });
        for (const auto& [link, target] : links)
            if (target == port.name)
                entries.push_back({ link, "stable name of " + port.name });
    }
    return entries;
}

std::vector<PortEntry> AvailablePorts() { return PortEntries(FoundPorts(), byIdLinks()); }

} // namespace ports

#include "bench_files.h"

#include "benchfiles/file_text.h"
#include "benchfiles/workspace.h"

namespace cli {

std::string ApplyWorkspace(const std::string& path, const std::set<std::string>& given, Options& o,
    std::vector<std::string>& notices)
{
    const std::optional<std::string> text = modbus::FileText(path);
    if (!text)
        return "cannot read the workspace " + path + " (or it is over 16 MiB)";
    const modbus::OpenedWorkspace opened = modbus::ReadWorkspace(*text);
    if (!opened.refused.empty())
        return path + ": " + opened.refused.front();
    for (const std::string& notice : opened.notices)
        notices.push_back(path + ": " + notice);
    const modbus::Workspace& w = opened.workspace;
    const auto take = [&](const char* option, const auto& from, auto& to) {
        if (from && !given.count(option))
            to = *from;
    };
    take("--port", w.port, o.port);
    take("--speed", w.speed, o.line.speed);
    take("--parity", w.parity, o.line.parity);
    take("--stop-bits", w.stopBits, o.line.stopBits);
    take("--data-bits", w.dataBits, o.line.dataBits);
    take("--framing", w.framing, o.line.framing);
    take("--address", w.slave, o.address);
    take("--timeout", w.timeoutMs, o.timeoutMs);
    take("--byte-timeout", w.byteTimeoutMs, o.byteTimeoutMs);
    take("--grace", w.graceMs, o.graceMs);
    take("--echo", w.echo, o.echo);
    take("--word-order", w.order, o.order);
    if (w.map && !given.count("--map"))
        o.mapFile = modbus::MapPathFromWorkspace(*w.map, path);
    return {};
}

std::string LoadMap(Options& o, std::vector<std::string>& notices)
{
    if (o.mapFile.empty())
        return {};
    const std::optional<std::string> text = modbus::FileText(o.mapFile);
    if (!text)
        return "cannot read the map " + o.mapFile + " (or it is over 16 MiB)";
    o.map = std::make_shared<const modbus::RegisterMap>(modbus::ReadRegisterMap(*text));
    for (const std::string& why : o.map->refused)
        notices.push_back(o.mapFile + ": " + why);
    return {};
}

} // namespace cli

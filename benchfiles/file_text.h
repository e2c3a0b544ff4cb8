// A file's whole text, as the map, workspace, check and fault readers of both programs take it.
#pragma once

#include "file_limits.h"

#include <fstream>
#include <optional>
#include <string>

namespace modbus {

// nullopt when the file cannot be read or holds more than limit bytes: a hostile file is
// refused after limit bytes, not read for minutes. Pipes (check <(...)) work too.
inline std::optional<std::string> FileText(
    const std::string& path, std::size_t limit = modbus::kLargestTextFile)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string text;
    char chunk[65536];
    while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
        text.append(chunk, std::size_t(in.gcount()));
        if (text.size() > limit)
            return std::nullopt;
    }
    if (in.bad())
        return std::nullopt;
    return text;
}

} // namespace modbus

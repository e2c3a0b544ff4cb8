// A file's whole text, as the map and check readers take it.
#pragma once

#include <fstream>
#include <optional>
#include <sstream>
#include <string>

namespace cli {

// nullopt when the file cannot be read.
inline std::optional<std::string> FileText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    if (!in)
        return std::nullopt;
    return text.str();
}

} // namespace cli

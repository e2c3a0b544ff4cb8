#include "log_file_name.h"

#include "serial/link_address.h"
#include "serial/port_name.h"

#include <algorithm>
#include <vector>

namespace logfile {
namespace {

    // Keeps "Quillet_log_" + part + ".txt" under 200 bytes.
    constexpr std::size_t kMaxNamePart = 180;

    bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

    std::string_view trimmed(std::string_view text)
    {
        constexpr std::string_view kBlanks = " \t\r\n\v\f";
        const std::size_t begin = text.find_first_not_of(kBlanks);
        if (begin == std::string_view::npos)
            return {};
        return text.substr(begin, text.find_last_not_of(kBlanks) - begin + 1);
    }

    // The device a text that names no COM port stands for, as the port layer reads it (a path,
    // or a name under /dev/): its base name, joined by its folder where the base name alone
    // says little, as a pty's "/dev/pts/3" does.
    std::string deviceName(std::string_view portText)
    {
        std::vector<std::string_view> parts;
        if (portText.find('/') == std::string_view::npos)
            parts.push_back("dev");
        for (std::size_t at = 0; at <= portText.size();) {
            const std::size_t end = std::min(portText.find('/', at), portText.size());
            const std::string_view part = portText.substr(at, end - at);
            if (!part.empty() && part != ".")
                parts.push_back(part);
            at = end + 1;
        }
        if (parts.empty())
            return "_";
        const std::string_view name = parts.back();
        parts.pop_back();
        const bool saysLittle = std::none_of(name.begin(), name.end(), isLetter);
        return saysLittle && !parts.empty() ? std::string(parts.back()) + "_" + std::string(name)
                                            : std::string(name);
    }

    // Letters, digits, ".", "-" and "_" stay; any other character, path separators and control
    // characters included, becomes one "_", so the file stays in the current directory.
    std::string safeFilePart(std::string_view text)
    {
        std::string safe;
        for (const char c : text) {
            const auto byte = static_cast<unsigned char>(c);
            if ((byte & 0xC0) == 0x80)
                continue; // the rest of a UTF-8 character already replaced
            const bool kept
                = isLetter(c) || (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '_';
            safe += kept ? c : '_';
        }
        return safe;
    }

} // namespace

std::string LogFileName(std::string_view portText)
{
    const std::string_view text = trimmed(portText);
    if (text.empty())
        return "Quillet_log_.txt";
    const std::string_view com = comm::WithoutDevicePrefix(text);
    if (comm::ComPortNumber(com))
        return "Quillet_log_" + std::string(com.substr(0, 4)) + ".txt";
    // A network link by its scheme, host and port: "tcp://10.0.0.5:502" -> tcp_10.0.0.5_502.
    if (const comm::LinkAddress link = comm::ParseLinkAddress(text); link.network()) {
        const std::string scheme(text.substr(0, text.find(':')));
        const std::string part = safeFilePart(
            scheme + "_" + link.host + (link.port ? "_" + std::to_string(link.port) : ""));
        return "Quillet_log_" + part.substr(0, kMaxNamePart) + ".txt";
    }
    const std::string part = safeFilePart(deviceName(comm::WithoutDevicePrefix(portText)));
    return "Quillet_log_" + part.substr(part.size() - std::min(part.size(), kMaxNamePart)) + ".txt";
}

} // namespace logfile

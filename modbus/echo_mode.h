// Whether the adapter hands back what the master sends (a two-wire RS-485 adapter without echo
// suppression): a line setting, as the user knows their adapter, or told from what comes back.
#pragma once

#include <optional>
#include <string_view>

namespace modbus {

enum class EchoMode { Off, On, Auto };

inline std::string_view EchoName(EchoMode mode)
{
    return mode == EchoMode::Off ? "off" : mode == EchoMode::On ? "on" : "auto";
}

inline std::optional<EchoMode> EchoFromName(std::string_view name)
{
    for (const EchoMode mode : { EchoMode::Off, EchoMode::On, EchoMode::Auto })
        if (EchoName(mode) == name)
            return mode;
    return std::nullopt;
}

} // namespace modbus

// Port names as the user types them, read the same way on every platform.
#pragma once

#include <optional>
#include <string_view>

namespace comm {

// "\\.\" before a name asks for the Win32 device namespace; it does not change the port.
std::string_view WithoutDevicePrefix(std::string_view name);

// n for "COMn" or "COMn:" (any case, one to six digits); nullopt for any other name.
std::optional<unsigned long> ComPortNumber(std::string_view name);

} // namespace comm

// Which Linux device a Windows-style port name stands for.
#pragma once

#include <string>
#include <string_view>

namespace comm {

// "COM5" and "COM5:" (any case) are /dev/ttyS4; a name holding "/" is a path as it stands;
// any other name is looked up under /dev/. A leading "\\.\" is dropped. Empty for "" or "COM0".
std::string DevicePath(std::string_view name);

} // namespace comm

// The COM ports present on a Windows build whose toolkit has no Serial Port module: the names
// the serial drivers register, without descriptions.
#include "port_list.h"

#include <windows.h>

namespace window {

std::vector<FoundPort> FoundPorts()
{
    std::vector<FoundPort> found;
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key)
        != ERROR_SUCCESS)
        return found;
    for (DWORD i = 0;; ++i) {
        wchar_t value[256], data[256];
        DWORD valueLength = 256, dataBytes = sizeof data, type = 0;
        if (::RegEnumValueW(key, i, value, &valueLength, nullptr, &type,
                reinterpret_cast<BYTE*>(data), &dataBytes)
            != ERROR_SUCCESS)
            break;
        if (type == REG_SZ)
            found.push_back(
                { QString::fromWCharArray(data, int(dataBytes / sizeof(wchar_t))).remove(QChar(0)),
                    QString::fromWCharArray(value, int(valueLength)), {}, {} });
    }
    ::RegCloseKey(key);
    return found;
}

} // namespace window

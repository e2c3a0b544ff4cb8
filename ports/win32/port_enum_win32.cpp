// The COM ports present on a Windows build whose toolkit has no Serial Port module: the
// devices of the Ports class with the friendly names Device Manager shows, read with SetupAPI,
// and the names the serial drivers register (SERIALCOMM) for ports SetupAPI does not know.
#include "ports/port_list.h"

#include <windows.h>
// Defines the class GUIDs here rather than needing a library for them.
#include <initguid.h>

#include <devguid.h>
#include <setupapi.h>

namespace ports {
namespace {

    std::vector<QString> serialCommNames()
    {
        std::vector<QString> names;
        HKEY key = nullptr;
        if (::RegOpenKeyExW(
                HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key)
            != ERROR_SUCCESS)
            return names;
        for (DWORD i = 0;; ++i) {
            wchar_t value[256], data[256];
            DWORD valueLength = 256, dataBytes = sizeof data, type = 0;
            if (::RegEnumValueW(key, i, value, &valueLength, nullptr, &type,
                    reinterpret_cast<BYTE*>(data), &dataBytes)
                != ERROR_SUCCESS)
                break;
            if (type == REG_SZ)
                names.push_back(QString::fromWCharArray(data, int(dataBytes / sizeof(wchar_t)))
                                    .remove(QChar(0)));
        }
        ::RegCloseKey(key);
        return names;
    }

    QString portNameOf(HDEVINFO set, SP_DEVINFO_DATA& device)
    {
        HKEY key = ::SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
        if (key == INVALID_HANDLE_VALUE)
            return {};
        wchar_t data[256] = {};
        DWORD bytes = sizeof data - sizeof(wchar_t), type = 0;
        const bool ok = ::RegQueryValueExW(
                            key, L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(data), &bytes)
                == ERROR_SUCCESS
            && type == REG_SZ;
        ::RegCloseKey(key);
        return ok ? QString::fromWCharArray(data).remove(QChar(0)) : QString();
    }

    std::vector<SetupApiPort> setupApiPorts()
    {
        std::vector<SetupApiPort> ports;
        HDEVINFO set
            = ::SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
        if (set == INVALID_HANDLE_VALUE)
            return ports;
        SP_DEVINFO_DATA device {};
        device.cbSize = sizeof device;
        for (DWORD i = 0; ::SetupDiEnumDeviceInfo(set, i, &device); ++i) {
            wchar_t friendly[256] = {};
            DWORD type = 0;
            if (!::SetupDiGetDeviceRegistryPropertyW(set, &device, SPDRP_FRIENDLYNAME, &type,
                    reinterpret_cast<BYTE*>(friendly), sizeof friendly - sizeof(wchar_t), nullptr))
                friendly[0] = 0;
            ports.push_back({ portNameOf(set, device), QString::fromWCharArray(friendly) });
        }
        ::SetupDiDestroyDeviceInfoList(set);
        return ports;
    }

} // namespace

std::vector<FoundPort> FoundPorts()
{
    return MergeWindowsPorts(setupApiPorts(), serialCommNames());
}

} // namespace ports

#include "reader/serial_ports_platform.h"

#include <windows.h>

namespace {
// Closes the key on every way out of the enumeration.
struct KeyCloser
{
    HKEY key = nullptr;
    ~KeyCloser()
    {
        if (key)
            ::RegCloseKey(key);
    }
};
} // namespace

bool PlatformSerialPortNames(std::vector<std::string>& names)
{
    // Windows lists every serial port it knows as one value of this key: the
    // value's name is the device (\Device\Serial0), its data the port (COM1).
    KeyCloser serialComm;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ,
                        &serialComm.key) != ERROR_SUCCESS) {
        serialComm.key = nullptr;
        return false;
    }

    std::vector<std::string> found;
    for (DWORD index = 0;; ++index) {
        char name[256];
        BYTE data[256];
        // Both sizes are in and out parameters: reset them before every call.
        DWORD nameSize = sizeof name;
        DWORD dataSize = sizeof data;
        const LSTATUS status = ::RegEnumValueA(serialComm.key, index, name, &nameSize, nullptr,
                                               nullptr, data, &dataSize);
        if (status == ERROR_NO_MORE_ITEMS)
            break;
        if (status != ERROR_SUCCESS)
            return false; // a list read in part is no list: the caller keeps its own
        // The data need not end in a NUL; take it up to the first one, within
        // what was returned.
        const char* text = reinterpret_cast<const char*>(data);
        std::size_t length = 0;
        while (length < dataSize && length < sizeof data && text[length] != '\0')
            ++length;
        found.emplace_back(text, length);
    }
    names = std::move(found);
    return true;
}

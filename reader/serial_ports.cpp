#include "reader/serial_ports.h"

#include <mutex>

#include "reader/serial_ports_platform.h"

namespace {
std::mutex g_sourceMutex;
SerialPortSource g_source;
} // namespace

bool SystemSerialPortNames(std::vector<std::string>& names)
{
    SerialPortSource source;
    {
        std::lock_guard lock(g_sourceMutex);
        source = g_source;
    }
    return source ? source(names) : PlatformSerialPortNames(names);
}

void SetSerialPortSource(SerialPortSource source)
{
    std::lock_guard lock(g_sourceMutex);
    g_source = std::move(source);
}

#include "reader/serial_ports_platform.h"

bool PlatformSerialPortNames(std::vector<std::string>& names)
{
    // TODO(reading thread): list the kernel's serial devices.
    return false;
}

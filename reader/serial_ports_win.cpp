#include "reader/serial_ports_platform.h"

bool PlatformSerialPortNames(std::vector<std::string>& names)
{
    // TODO(reading thread): enumerate HARDWARE\DEVICEMAP\SERIALCOMM.
    return false;
}

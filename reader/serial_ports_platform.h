#pragma once
#include <string>
#include <vector>

// The platform's own list of serial ports; see SystemSerialPortNames().
bool PlatformSerialPortNames(std::vector<std::string>& names);

#pragma once
// Serial ports on Linux: which of the kernel's tty devices are serial ports
// with hardware behind them, and the port number ("COM" name) each one gets.
// The rule is described at the top of serial_ports_linux.cpp.

#include <string>
#include <string_view>
#include <vector>

// The port number the rule gives the tty `name` (without "/dev/"), or 0 when
// the name is not one the rule numbers.
int ComNumberForTty(std::string_view name);

// The ttys listed under <sysfsRoot>/class/tty that are numbered serial ports
// with a device behind them, leaving out 8250-style ports the kernel reserved
// without finding a UART. False when the directory cannot be read.
bool ScanSerialTtys(const std::string& sysfsRoot, std::vector<std::string>& ttys);

// "COM<n>" for each numbered tty, in order of n.
std::vector<std::string> ComNamesForTtys(const std::vector<std::string>& ttys);

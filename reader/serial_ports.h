#pragma once
// The serial ports present on the machine, in the form the system lists them:
// "COM" followed by the port's number (COM3). On Windows the list comes from
// the registry key HARDWARE\DEVICEMAP\SERIALCOMM; elsewhere from the
// platform's own device list, numbered by the rule in serial_ports_linux.cpp.
// The environment variable ZUVI_SERIAL_PORTS (names separated by commas,
// e.g. "COM7,COM12") replaces that list, for tests and demonstrations.

#include <functional>
#include <string>
#include <vector>

// Replaces `names` with the names listed, in the system's order, and returns
// true; returns false and leaves `names` alone when the list cannot be read.
bool SystemSerialPortNames(std::vector<std::string>& names);

// Replaces `list` with the numbers of the serial ports the system lists, as
// decimal text in text order ("10" and "11" before "2"); leaves it unchanged
// and returns false when that list cannot be read. Each name loses its first
// three characters (the "COM"); what is left of a name of another form is
// passed on as it is, and the search skips it as not a number.
bool ListSerialPortNumbers(std::vector<std::string>& list);

// Where SystemSerialPortNames() takes its answer from; tests feed names here.
// An empty function returns to the platform's list.
using SerialPortSource = std::function<bool(std::vector<std::string>& names)>;
void SetSerialPortSource(SerialPortSource source);

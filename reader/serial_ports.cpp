#include "reader/serial_ports.h"

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <sstream>

#include "base/text.h"
#include "reader/serial_ports_platform.h"

namespace {
std::mutex g_sourceMutex;
SerialPortSource g_source;

// ZUVI_SERIAL_PORTS="COM7,COM12" stands in for the machine's own list, so an
// end-to-end test or a demonstration can offer ports the machine lacks.
bool namesFromEnvironment(std::vector<std::string>& names)
{
    const char* list = std::getenv("ZUVI_SERIAL_PORTS");
    if (!list)
        return false;
    names.clear();
    std::istringstream in(list);
    for (std::string name; std::getline(in, name, ',');)
        if (!name.empty())
            names.push_back(name);
    return true;
}

} // namespace

bool SystemSerialPortNames(std::vector<std::string>& names)
{
    SerialPortSource source;
    {
        std::lock_guard lock(g_sourceMutex);
        source = g_source;
    }
    if (source)
        return source(names);
    if (namesFromEnvironment(names))
        return true;
    return PlatformSerialPortNames(names);
}

void SetSerialPortSource(SerialPortSource source)
{
    std::lock_guard lock(g_sourceMutex);
    g_source = std::move(source);
}

bool ListSerialPortNumbers(std::vector<std::string>& list)
{
    std::vector<std::string> names;
    if (!SystemSerialPortNames(names))
        return false;
    std::vector<std::string> numbers;
    numbers.reserve(names.size());
    for (const std::string& name : names)
        numbers.push_back(name.size() > 3 ? name.substr(3) : std::string());
    // Text order, as the system's own port lists are sorted: "10" before "2".
    std::stable_sort(numbers.begin(), numbers.end(), LessIgnoringCase);
    list = std::move(numbers);
    return true;
}

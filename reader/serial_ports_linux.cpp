// Serial ports on Linux.
//
// The list holds the kernel's tty devices that have a device behind them
// (/sys/class/tty/<name>/device exists). ttyS ports for which the kernel found
// no UART are left out: their "type" reads 0, or they have neither an I/O port
// nor a memory address. Each port is named COM<n> by this fixed rule, so a
// port keeps its number across runs and no two ports share one:
//
//   /dev/ttyS<k>    ->  COM<k+1>     (COM1 to COM100)
//   /dev/ttyUSB<k>  ->  COM<k+101>   (COM101 to COM200)
//   /dev/ttyACM<k>  ->  COM<k+201>   (COM201 to COM300)
//
// for k from 0 to 99. Other ttys and larger k are not listed. Port 1001, the
// USB reader port, is outside every range.

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "reader/serial_ports_platform.h"
#include "reader/tty_ports.h"

namespace {

struct TtyFamily
{
    std::string_view prefix;
    int firstNumber;
};

// Longer prefixes first would not matter here: "ttyS" does not begin the
// others, and the rest after a prefix must be all digits.
constexpr TtyFamily kFamilies[] = {{"ttyS", 1}, {"ttyUSB", 101}, {"ttyACM", 201}};
constexpr int kFamilySize = 100;

// The first line of a sysfs attribute; false when there is none to read.
bool readAttribute(const std::filesystem::path& file, std::string& value)
{
    std::ifstream in(file);
    return static_cast<bool>(std::getline(in, value));
}

// An attribute read as a number (sysfs writes addresses as 0x...); false when
// missing or not a number.
bool readNumber(const std::filesystem::path& file, unsigned long long& value)
{
    std::string text;
    if (!readAttribute(file, text) || text.empty())
        return false;
    char* end = nullptr;
    value = std::strtoull(text.c_str(), &end, 0);
    return end != text.c_str();
}

// The 8250 driver registers a fixed number of ttyS ports whether or not a
// UART answers at them; those without one are of type 0 (unknown) or have
// no address at all. Opening them fails, so they are no candidates.
bool isPhantomUart(const std::filesystem::path& dir)
{
    unsigned long long type = 0;
    if (readNumber(dir / "type", type) && type == 0)
        return true;
    unsigned long long port = 0;
    unsigned long long iomem = 0;
    return readNumber(dir / "port", port) && port == 0 && readNumber(dir / "iomem_base", iomem) &&
           iomem == 0;
}

} // namespace

int ComNumberForTty(std::string_view name)
{
    for (const TtyFamily& family : kFamilies) {
        if (name.substr(0, family.prefix.size()) != family.prefix)
            continue;
        const std::string_view digits = name.substr(family.prefix.size());
        // No leading zeros: "ttyS01" must not share COM2 with "ttyS1".
        if (digits.empty() || digits.size() > 2 || (digits.size() > 1 && digits[0] == '0') ||
            !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return 0;
        const int k = std::atoi(std::string(digits).c_str());
        return k < kFamilySize ? family.firstNumber + k : 0;
    }
    return 0;
}

bool ScanSerialTtys(const std::string& sysfsRoot, std::vector<std::string>& ttys)
{
    namespace fs = std::filesystem;
    const fs::path classDir = fs::path(sysfsRoot) / "class" / "tty";
    std::error_code ec;
    fs::directory_iterator it(classDir, ec);
    if (ec)
        return false;
    std::vector<std::string> found;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec)
            return false;
        const std::string name = it->path().filename().string();
        if (ComNumberForTty(name) == 0)
            continue;
        // Virtual consoles and pseudo terminals have no device; real ports do.
        if (!fs::exists(it->path() / "device", ec))
            continue;
        if (name.rfind("ttyS", 0) == 0 && isPhantomUart(it->path()))
            continue;
        found.push_back(name);
    }
    ttys = std::move(found);
    return true;
}

std::vector<std::string> ComNamesForTtys(const std::vector<std::string>& ttys)
{
    std::vector<int> numbers;
    for (const std::string& tty : ttys) {
        if (const int n = ComNumberForTty(tty))
            numbers.push_back(n);
    }
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    std::vector<std::string> names;
    for (const int n : numbers)
        names.push_back("COM" + std::to_string(n));
    return names;
}

bool PlatformSerialPortNames(std::vector<std::string>& names)
{
    std::vector<std::string> ttys;
    if (!ScanSerialTtys("/sys", ttys))
        return false;
    names = ComNamesForTtys(ttys);
    return true;
}

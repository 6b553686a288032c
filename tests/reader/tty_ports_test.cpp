// Serial ports on Linux, from a made-up /sys tree.

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <set>

#include "../temp_dir.h"
#include "reader/serial_ports.h"
#include "reader/tty_ports.h"

namespace {

namespace fs = std::filesystem;

TEST(TtyPorts, NumbersByFamily)
{
    const std::pair<const char*, int> cases[] = {
        {"ttyS0", 1},     {"ttyS99", 100},   {"ttyUSB0", 101}, {"ttyUSB99", 200},
        {"ttyACM0", 201}, {"ttyACM99", 300}, {"ttyS100", 0},   {"ttyS01", 0},
        {"ttyS", 0},      {"ttyUSBx", 0},    {"tty1", 0},      {"ttyAMA0", 0},
        {"ttyS-1", 0},    {"ttyS1a", 0},     {"console", 0},   {"", 0},
    };
    for (const auto& [name, number] : cases)
        EXPECT_EQ(ComNumberForTty(name), number) << name;
}

TEST(TtyPorts, NumbersNeverCollide)
{
    std::set<int> seen;
    for (const char* family : {"ttyS", "ttyUSB", "ttyACM"}) {
        for (int k = 0; k < 100; ++k) {
            const int n = ComNumberForTty(family + std::to_string(k));
            EXPECT_GT(n, 0);
            EXPECT_NE(n, 1001); // the USB reader port
            EXPECT_TRUE(seen.insert(n).second) << family << k;
        }
    }
}

class FakeSysfs
{
public:
    // A tty with a device behind it and the given attributes.
    void port(const std::string& name,
              std::initializer_list<std::pair<const char*, const char*>> attributes)
    {
        const fs::path dir = m_root.path() / "class" / "tty" / name;
        fs::create_directories(dir / "device");
        for (const auto& [attribute, value] : attributes)
            m_root.write((fs::path("class") / "tty" / name / attribute).string(), value);
    }
    // A tty without a device: a console or a pseudo terminal.
    void virtualTty(const std::string& name)
    {
        fs::create_directories(m_root.path() / "class" / "tty" / name);
    }

    std::string root() const { return m_root.path().string(); }

private:
    TempDir m_root;
};

TEST(TtyPorts, ListsRealPortsOnly)
{
    FakeSysfs sys;
    sys.port("ttyS0", {{"type", "4\n"}, {"port", "0x3F8\n"}, {"iomem_base", "0x0\n"}});
    sys.port("ttyS1", {{"type", "0\n"}, {"port", "0x2F8\n"}});       // reserved, no UART
    sys.port("ttyS2", {{"port", "0x0\n"}, {"iomem_base", "0x0\n"}}); // no address at all
    sys.port("ttyS3", {{"type", "1\n"}, {"port", "0x0\n"}, {"iomem_base", "0xFE030000\n"}});
    sys.port("ttyUSB0", {});
    sys.port("ttyACM1", {});
    sys.port("ttyUSB100", {}); // beyond the numbered range
    sys.port("ttyAMA0", {});
    sys.virtualTty("tty0");
    sys.virtualTty("ttyS4");
    sys.virtualTty("ptmx");

    std::vector<std::string> ttys;
    ASSERT_TRUE(ScanSerialTtys(sys.root(), ttys));
    EXPECT_EQ(std::set<std::string>(ttys.begin(), ttys.end()),
              (std::set<std::string>{"ttyS0", "ttyS3", "ttyUSB0", "ttyACM1"}));
    EXPECT_EQ(ComNamesForTtys(ttys),
              (std::vector<std::string>{"COM1", "COM4", "COM101", "COM202"}));
}

TEST(TtyPorts, MissingTreeCannotBeRead)
{
    TempDir empty;
    std::vector<std::string> ttys{"kept"};
    EXPECT_FALSE(ScanSerialTtys(empty.file("nothing"), ttys));
    EXPECT_EQ(ttys, std::vector<std::string>{"kept"});
}

} // namespace

namespace {

TEST(SerialPortNames, TheEnvironmentCanStandInForTheMachinesList)
{
    SetSerialPortSource({});
    ::setenv("ZUVI_SERIAL_PORTS", "COM7,,COM12", 1);
    std::vector<std::string> names{"earlier"};
    const bool listed = SystemSerialPortNames(names);
    std::vector<std::string> numbers;
    ListSerialPortNumbers(numbers);
    ::unsetenv("ZUVI_SERIAL_PORTS");
    EXPECT_TRUE(listed);
    EXPECT_EQ(names, (std::vector<std::string>{"COM7", "COM12"}));
    EXPECT_EQ(numbers, (std::vector<std::string>{"12", "7"}));
}

} // namespace

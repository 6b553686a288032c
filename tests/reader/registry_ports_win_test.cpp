#include <gtest/gtest.h>
#include <windows.h>

#include "reader/serial_ports.h"

namespace {

constexpr const char* kSerialComm = "HARDWARE\\DEVICEMAP\\SERIALCOMM";

// Adds values to the system's serial port key for one test and removes them
// afterwards, leaving whatever the system listed there alone.
class RegistrySerialPorts : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(::RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSerialComm, 0, nullptr, 0, KEY_ALL_ACCESS,
                                    nullptr, &m_key, nullptr),
                  ERROR_SUCCESS);
        ASSERT_TRUE(SystemSerialPortNames(m_before));
    }
    void TearDown() override
    {
        for (const std::string& name : m_added)
            ::RegDeleteValueA(m_key, name.c_str());
        ::RegCloseKey(m_key);
    }
    void add(const std::string& name, DWORD type, const std::string& data)
    {
        ASSERT_EQ(::RegSetValueExA(m_key, name.c_str(), 0, type,
                                   reinterpret_cast<const BYTE*>(data.data()),
                                   static_cast<DWORD>(data.size())),
                  ERROR_SUCCESS);
        m_added.push_back(name);
    }

    HKEY m_key = nullptr;
    std::vector<std::string> m_before;
    std::vector<std::string> m_added;
};

TEST_F(RegistrySerialPorts, RegEnumValueAListsEveryPortInRegistryOrder)
{
    // COM9 before COM12: were the buffer sizes not reset before each call,
    // the longer data after the shorter would not fit.
    add("\\Device\\ZuviTest0", REG_SZ, std::string("COM9", 5));
    add("\\Device\\ZuviTest1", REG_SZ, std::string("COM12", 6));
    add("\\Device\\ZuviTest2", REG_BINARY, std::string("COM7\0junk", 9));
    add("\\Device\\ZuviTest3", REG_BINARY, "COM5"); // no NUL at all
    std::vector<std::string> names;
    ASSERT_TRUE(SystemSerialPortNames(names));
    std::vector<std::string> expected = m_before;
    expected.insert(expected.end(), {"COM9", "COM12", "COM7", "COM5"});
    EXPECT_EQ(names, expected);

    std::printf("[win32] RegEnumValueA on HKLM\\%s:", kSerialComm);
    for (const std::string& name : names)
        std::printf(" %s", name.c_str());
    std::printf("\n");

    // The reading thread's candidates: the numbers, sorted as text.
    std::vector<std::string> numbers;
    ASSERT_TRUE(ListSerialPortNumbers(numbers));
    std::vector<std::string> ours;
    for (const std::string& n : numbers)
        if (n == "12" || n == "5" || n == "7" || n == "9")
            ours.push_back(n);
    EXPECT_EQ(ours, (std::vector<std::string>{"12", "5", "7", "9"}));
}

TEST_F(RegistrySerialPorts, AValueThatDoesNotFitLeavesTheCallersListAlone)
{
    add("\\Device\\ZuviTest0", REG_SZ, std::string("COM3", 5));
    add("\\Device\\ZuviTestLong", REG_SZ, std::string(300, 'C'));
    std::vector<std::string> names{"kept"};
    EXPECT_FALSE(SystemSerialPortNames(names));
    EXPECT_EQ(names, std::vector<std::string>{"kept"});
    std::vector<std::string> numbers{"kept"};
    EXPECT_FALSE(ListSerialPortNumbers(numbers));
    EXPECT_EQ(numbers, std::vector<std::string>{"kept"});
}

TEST_F(RegistrySerialPorts, AValueNameOfMoreThan255CharactersFailsTheList)
{
    add(std::string(300, 'N'), REG_SZ, std::string("COM3", 5));
    std::vector<std::string> names{"kept"};
    EXPECT_FALSE(SystemSerialPortNames(names));
    EXPECT_EQ(names, std::vector<std::string>{"kept"});
}

} // namespace

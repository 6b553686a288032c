#include <gtest/gtest.h>
#include <windows.h>

#include "../temp_dir.h"
#include "base/exe_dir.h"
#include "config/config.h"

namespace {

// The settings file as our own editor writes it on Windows, read back by the
// system's private-profile reader, whose rules ours follow.
std::string systemRead(const std::string& file, const char* key)
{
    char value[64] = {};
    ::GetPrivateProfileStringA("Config", key, "", value, sizeof value, file.c_str());
    return value;
}

class PrivateProfile : public testing::Test
{
protected:
    void SetUp() override { SetExeDirOverride(m_dir.path().string()); }
    void TearDown() override
    {
        ::SetFileAttributesA(ConfigFilePath().c_str(), FILE_ATTRIBUTE_NORMAL);
        SetExeDirOverride({});
    }
    std::string content() const { return m_dir.read("config.ini"); }
    bool contains(const std::string& text) const
    {
        return content().find(text) != std::string::npos;
    }
    TempDir m_dir;
};

TEST_F(PrivateProfile, AWriteReplacesTheEntryKeepsEveryOtherLineAndIsOnDiskAtOnce)
{
    m_dir.write("config.ini", "; settings of the reader tool\r\n"
                              "[Other]\r\nPort=9\r\n\r\n"
                              "[config]\r\nSleep=100\r\nPORT = 3\r\nExtra=keep me\r\n\r\n"
                              "[Last]\r\nx=1");
    WriteConfig("Port", "12");
    // Read straight from the file, not through the system's cache.
    EXPECT_TRUE(contains("; settings of the reader tool")) << content();
    EXPECT_TRUE(contains("[Other]\r\nPort=9\r\n")) << content();
    EXPECT_TRUE(contains("Sleep=100\r\n")) << content();
    EXPECT_TRUE(contains("=12\r\n")) << content();
    EXPECT_FALSE(contains("= 3")) << content();
    EXPECT_TRUE(contains("Extra=keep me\r\n")) << content();
    EXPECT_TRUE(contains("[Last]\r\nx=1")) << content();
    EXPECT_EQ(ReadConfig("port"), "12");
    EXPECT_EQ(ReadConfig("SLEEP"), "100");
    EXPECT_EQ(systemRead(ConfigFilePath(), "Port"), "12");
    EXPECT_EQ(systemRead(ConfigFilePath(), "Sleep"), "100");

    std::string shown = content();
    for (size_t at; (at = shown.find("\r\n")) != std::string::npos;)
        shown.replace(at, 2, " | ");
    std::printf("[win32] config.ini after a write: %s\n", shown.c_str());
}

TEST_F(PrivateProfile, AReadOnlyFileKeepsItsContentAndTheOldValue)
{
    m_dir.write("config.ini", "[Config]\r\nPort=3\r\n");
    ASSERT_TRUE(::SetFileAttributesA(ConfigFilePath().c_str(), FILE_ATTRIBUTE_READONLY));
    WriteConfig("Port", "1001");
    WriteConfig("Sleep", "20");
    EXPECT_EQ(content(), "[Config]\r\nPort=3\r\n");
    EXPECT_EQ(ReadConfig("Port"), "3");
    EXPECT_EQ(ReadConfig("Sleep"), "");
}

TEST_F(PrivateProfile, AValueCannotAddSectionsOrKeysOfItsOwn)
{
    WriteConfig("Sleep", "5\r\n[Evil]\r\nPort=7");
    EXPECT_EQ(ReadConfig("Sleep"), "5");
    EXPECT_EQ(ReadConfig("Port"), "");
    EXPECT_FALSE(contains("Evil")) << content();
}

TEST_F(PrivateProfile, CreatesTheFileAndSectionAndMatchesNamesInAnyCase)
{
    WriteConfig("Port", "1001");
    EXPECT_TRUE(contains("[Config]")) << content();
    EXPECT_EQ(ReadConfig("PORT"), "1001");
    m_dir.write("config.ini", "[CONFIG]\r\nsLeEp= 250 \r\n");
    EXPECT_EQ(ReadConfig("Sleep"), "250");
}

} // namespace

#include <filesystem>
#include <gtest/gtest.h>
#ifndef _WIN32
#include <unistd.h>
#endif

#include "../temp_dir.h"
#include "base/exe_dir.h"
#include "base/text.h"
#include "config/config.h"

namespace {

namespace fs = std::filesystem;

// Our own INI editor lays out the file on every platform; a file it creates
// takes the platform's line ending.
#ifdef _WIN32
#define SKIP_ON_WINDOWS(why) GTEST_SKIP() << why
constexpr const char* kNewLine = "\r\n";
#else
#define SKIP_ON_WINDOWS(why) (void)0
constexpr const char* kNewLine = "\n";
#endif

// The lines of a file the editor created.
std::string newFile(std::initializer_list<const char*> lines)
{
    std::string text;
    for (const char* line : lines)
        text += std::string(line) + kNewLine;
    return text;
}

class ConfigFile : public testing::Test
{
protected:
    void SetUp() override { SetExeDirOverride(m_dir.path().string()); }
    void TearDown() override { SetExeDirOverride({}); }

    std::string content() const { return m_dir.read("config.ini"); }
    void setContent(const std::string& text) const { m_dir.write("config.ini", text); }
    size_t filesInDir() const
    {
        return static_cast<size_t>(std::distance(fs::directory_iterator(m_dir.path()), {}));
    }

    TempDir m_dir;
};

TEST_F(ConfigFile, LivesInTheExecutablesDirectory)
{
    EXPECT_EQ(ConfigFilePath(), m_dir.file("config.ini"));
}

TEST_F(ConfigFile, NoFileReadsEmptyForBothSettings)
{
    EXPECT_EQ(ReadConfig("Port"), "");
    EXPECT_EQ(ReadConfig("sleep"), "");
    EXPECT_EQ(IntOrZero(ReadConfig("port")), 0);
}

TEST_F(ConfigFile, NamesMatchWithoutRegardToCase)
{
    setContent("[CONFIG]\nPORT=5\nsLeEp=7\n");
    EXPECT_EQ(ReadConfig("Port"), "5");
    EXPECT_EQ(ReadConfig("port"), "5");
    EXPECT_EQ(ReadConfig("Sleep"), "7");
}

TEST_F(ConfigFile, ValuesAreTrimmedOfBlanksAndControlCharacters)
{
    setContent("[Config]\r\nSleep= 250 \r\nPort=\t12\x01\r\n");
    EXPECT_EQ(ReadConfig("Sleep"), "250");
    EXPECT_EQ(ReadConfig("Port"), "12");
}

TEST_F(ConfigFile, EmptyOrBadValuesGiveZero)
{
    setContent("[Config]\nSleep=\nPort=abc\n");
    EXPECT_EQ(ReadConfig("Sleep"), "");
    EXPECT_EQ(ReadSleepSetting(), 0);
    EXPECT_EQ(ReadPortSetting(), 0);
    setContent("[config]\nsleep=007\nPORT=12\n");
    EXPECT_EQ(ReadSleepSetting(), 7);
    EXPECT_EQ(ReadPortSetting(), 12);
}

TEST_F(ConfigFile, TheReaderCallTimeoutFallsBackToTheDefaultOutsideItsRange)
{
    const struct
    {
        const char* line;
        std::int32_t ms;
    } cases[] = {
        {"", 10000},
        {"ReaderCallTimeout=", 10000},
        {"ReaderCallTimeout=soon", 10000},
        {"readercalltimeout= 2500 ", 2500},
        {"ReaderCallTimeout=100", 100},
        {"ReaderCallTimeout=99", 10000},
        {"ReaderCallTimeout=600000", 600000},
        {"ReaderCallTimeout=600001", 10000},
        {"ReaderCallTimeout=-5000", 10000},
    };
    for (const auto& c : cases) {
        setContent(std::string("[Config]\nPort=3\n") + c.line + "\n");
        EXPECT_EQ(ReadReaderCallTimeoutSetting(), c.ms) << c.line;
    }
}

TEST_F(ConfigFile, AnEmptyKeyReadsEmpty)
{
    setContent("[Config]\n=5\n");
    EXPECT_EQ(ReadConfig(""), "");
}

TEST_F(ConfigFile, WriteCreatesFileAndSectionAndReadsBack)
{
    WriteConfig("Port", "1001");
    WriteConfig("Sleep", "250");
    EXPECT_EQ(content(), newFile({"[Config]", "Port=1001", "Sleep=250"}));
    EXPECT_EQ(ReadConfig("port"), "1001");
    EXPECT_EQ(ReadConfig("sleep"), "250");
}

TEST_F(ConfigFile, WriteReplacesInPlaceAndKeepsEveryOtherLine)
{
    const std::string before = "; settings of the reader tool\r\n"
                               "[Other]\r\n"
                               "Port=9\r\n"
                               "\r\n"
                               "[config]\r\n"
                               "Sleep=100\r\n"
                               "PORT = 3\r\n"
                               "Extra=keep me\r\n"
                               "\r\n"
                               "[Last]\r\n"
                               "x=1";
    setContent(before);
    WriteConfig("Port", "12");
    std::string expected = before;
    expected.replace(expected.find("PORT = 3"), 8, "Port=12");
    EXPECT_EQ(content(), expected);
    EXPECT_EQ(ReadConfig("Port"), "12");
}

TEST_F(ConfigFile, WriteAddsAMissingKeyAfterTheSectionsLastEntry)
{
    setContent("[Config]\nPort=3\n\n[Other]\nSleep=9\n");
    WriteConfig("Sleep", "20");
    EXPECT_EQ(content(), "[Config]\nPort=3\nSleep=20\n\n[Other]\nSleep=9\n");
}

TEST_F(ConfigFile, WriteStoresTheValueUntrimmed)
{
    WriteConfig("Sleep", " 5 ");
    EXPECT_EQ(content(), newFile({"[Config]", "Sleep= 5 "}));
    EXPECT_EQ(ReadConfig("Sleep"), "5");
}

TEST_F(ConfigFile, AValueCannotAddLinesOfItsOwn)
{
    WriteConfig("Sleep", "5\n[Evil]\nPort=7");
    EXPECT_EQ(content(), newFile({"[Config]", "Sleep=5"}));
}

TEST_F(ConfigFile, AReadOnlyFileKeepsItsContentEvenForRoot)
{
    setContent("[Config]\nPort=3\n");
    fs::permissions(m_dir.file("config.ini"), fs::perms::owner_read | fs::perms::group_read);
    WriteConfig("Port", "1001");
    EXPECT_EQ(content(), "[Config]\nPort=3\n");
    EXPECT_EQ(ReadConfig("Port"), "3");
    EXPECT_EQ(filesInDir(), 1u) << "no temporary file may be left behind";
}

TEST_F(ConfigFile, AnUnwritableDirectoryKeepsTheFile)
{
    SKIP_ON_WINDOWS("Windows ignores a directory's read-only attribute");
#ifndef _WIN32
    if (::geteuid() == 0)
        GTEST_SKIP() << "root writes into any directory";
#endif
    setContent("[Config]\nPort=3\n");
    fs::permissions(m_dir.path(), fs::perms::owner_read | fs::perms::owner_exec);
    WriteConfig("Port", "1001");
    fs::permissions(m_dir.path(), fs::perms::owner_all);
    EXPECT_EQ(content(), "[Config]\nPort=3\n");
}

TEST_F(ConfigFile, WriteKeepsTheFilesPermissionsAndLeavesNoTemporaryFile)
{
    SKIP_ON_WINDOWS("Windows files have no permission bits");
    setContent("[Config]\nPort=3\n");
    fs::permissions(m_dir.file("config.ini"),
                    fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read);
    WriteConfig("Port", "4");
    EXPECT_EQ(fs::status(m_dir.file("config.ini")).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read);
    EXPECT_EQ(filesInDir(), 1u);
}

// A write killed midway leaves at most its one temporary file, which the
// next write reuses and replaces.
TEST_F(ConfigFile, LeftoverTemporaryFileIsReplaced)
{
    m_dir.write("config.ini.part", std::string(1 << 20, 'x'));
    WriteConfig("Port", "7");
    EXPECT_EQ(ReadConfig("Port"), "7");
    EXPECT_EQ(filesInDir(), 1u);
}

TEST_F(ConfigFile, WriteThroughALinkUpdatesItsTarget)
{
    SKIP_ON_WINDOWS("no symbolic links for plain users on Windows");
    TempDir elsewhere;
    elsewhere.write("real.ini", "[Config]\nPort=3\n");
    fs::create_symlink(elsewhere.file("real.ini"), m_dir.file("config.ini"));
    WriteConfig("Port", "5");
    EXPECT_TRUE(fs::is_symlink(m_dir.file("config.ini")));
    EXPECT_EQ(elsewhere.read("real.ini"), "[Config]\nPort=5\n");
}

} // namespace

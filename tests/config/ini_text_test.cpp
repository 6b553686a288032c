#include <gtest/gtest.h>

#include "config/ini_text.h"

namespace {

TEST(IniGet, FindsTheFirstSectionAndKeyIgnoringCase)
{
    const std::string ini = "[a]\nk=1\n[B]\nK = 2\nk=3\n[b]\nk=4\n";
    EXPECT_EQ(IniGet(ini, "b", "k"), "2");
    EXPECT_EQ(IniGet(ini, "A", "K"), "1");
    EXPECT_EQ(IniGet(ini, "c", "k"), std::nullopt);
    EXPECT_EQ(IniGet(ini, "a", "x"), std::nullopt);
}

TEST(IniGet, StripsMatchingQuotesAndIgnoresLinesWithoutEquals)
{
    const std::string ini = "[s]\nnoequals\na=\"quoted\"\nb='x'\nc=\"half\n";
    EXPECT_EQ(IniGet(ini, "s", "a"), "quoted");
    EXPECT_EQ(IniGet(ini, "s", "b"), "x");
    EXPECT_EQ(IniGet(ini, "s", "c"), "\"half");
    EXPECT_EQ(IniGet(ini, "s", "noequals"), std::nullopt);
}

TEST(IniGet, KeysOutsideAnySectionAreNotFound)
{
    EXPECT_EQ(IniGet("k=1\n[s]\n", "s", "k"), std::nullopt);
}

TEST(IniSet, ReplacesOnlyTheFirstEntryOfTheKey)
{
    EXPECT_EQ(IniSet("[s]\nk=1\nk=2\n", "S", "k", "9"), "[s]\nk=9\nk=2\n");
}

TEST(IniSet, KeepsALastLineWithoutLineEnding)
{
    EXPECT_EQ(IniSet("[s]\nk=1", "s", "k", "2"), "[s]\nk=2");
    EXPECT_EQ(IniSet("[s]\nk=1", "s", "j", "2"), "[s]\nk=1\nj=2\n");
    // A file without any line ending yet gets the system's own.
#ifdef _WIN32
    EXPECT_EQ(IniSet("x=1", "s", "j", "2"), "x=1\r\n[s]\r\nj=2\r\n");
#else
    EXPECT_EQ(IniSet("x=1", "s", "j", "2"), "x=1\n[s]\nj=2\n");
#endif
}

TEST(IniSet, FollowsTheFilesLineEndings)
{
    EXPECT_EQ(IniSet("[t]\r\na=1\r\n", "s", "k", "v"), "[t]\r\na=1\r\n[s]\r\nk=v\r\n");
}

TEST(IniSet, AddsToAnEmptySection)
{
    EXPECT_EQ(IniSet("[s]\n[t]\n", "s", "k", "v"), "[s]\nk=v\n[t]\n");
}

} // namespace

#include <filesystem>
#include <gtest/gtest.h>
#include <windows.h>

#include "base/exe_dir.h"
#include "card/gbk.h"

namespace {

TEST(Win32Text, WideCharToMultiByteUsesCodePage936WhateverTheAnsiCodePage)
{
    std::printf("[win32] WideCharToMultiByte(936), ANSI code page of this process: %u\n",
                ::GetACP());
    // 中, a blank, Thai ko kai (not in GBK), 族.
    const unsigned char ucs2[] = {0x2D, 0x4E, 0x20, 0x00, 0x01, 0x0E, 0xCF, 0x65};
    EXPECT_EQ(Ucs2LeToGbk(ucs2, 4), "\xD6\xD0 ?\xD7\xE5");
}

TEST(Win32Text, TheByteFFStartsNoCharacterAndShowsAsReplacement)
{
    EXPECT_EQ(GbkToUtf8(std::string("A\xFF") + "B\xD6\xD0"), "A\xEF\xBF\xBD"
                                                             "B中");
}

// Paths come in the ANSI code page; the windows show UTF-8.
TEST(Win32ExeDir, PathsInTheAnsiCodePageBecomeUtf8)
{
    const UINT acp = ::GetACP();
    const std::string ansi = acp == 936 ? "C:\\\xD6\xD0\\" : acp == 1252 ? "C:\\\xE9\\" : "";
    if (ansi.empty())
        GTEST_SKIP() << "ANSI code page " << acp;
    EXPECT_EQ(NativePathToUtf8(ansi), acp == 936 ? "C:\\中\\" : "C:\\é\\");
}

TEST(Win32ExeDir, GetModuleFileNameAGivesThisProgramsDirectory)
{
    const std::string dir = ExeDir();
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(dir.back(), '\\');
    EXPECT_TRUE(std::filesystem::exists(dir + "win_tests.exe")) << dir;
    std::printf("[win32] GetModuleFileNameA directory: %s\n", dir.c_str());
}

} // namespace

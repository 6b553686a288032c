#include <filesystem>
#include <gtest/gtest.h>
#include <windows.h>

#include "base/exe_dir.h"

namespace {

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
    EXPECT_TRUE(std::filesystem::exists(dir + "base_tests.exe")) << dir;
    std::printf("[win32] GetModuleFileNameA directory: %s\n", dir.c_str());
}

} // namespace

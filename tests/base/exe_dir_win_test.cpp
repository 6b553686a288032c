#include <gtest/gtest.h>
#include <windows.h>

#include "base/exe_dir.h"
#include "base/files.h"
#include "base/utf16.h"

namespace {

// Run also from a copy in a folder whose name the ANSI code page cannot
// write (scripts/wine-test.sh): the directory stays exact, in UTF-8.
TEST(Win32ExeDir, IsThisProgramsDirectoryInUtf8InAnyFolder)
{
    const std::string dir = ExeDir();
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(dir.back(), '\\');
    wchar_t module[MAX_PATH] = {};
    ASSERT_GT(::GetModuleFileNameW(nullptr, module, MAX_PATH), 0u);
    const std::wstring wideModule(module);
    EXPECT_EQ(WideFromUtf8(dir), wideModule.substr(0, wideModule.find_last_of(L'\\') + 1));
    EXPECT_TRUE(PathExistsUtf8(dir + "base_tests.exe")) << dir;
    std::printf("[win32] ANSI code page %u, executable's directory: %s\n", ::GetACP(), dir.c_str());
}

} // namespace

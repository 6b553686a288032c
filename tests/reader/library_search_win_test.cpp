// Where the Windows program takes a reader library from, in a process of its
// own: a DLL once loaded answers every later load of its name.
#include <gtest/gtest.h>
#include <windows.h>

#include "../temp_dir.h"
#include "base/exe_dir.h"
#include "base/utf16.h"
#include "reader/dynlib.h"
#include "reader/termb_loader.h"

namespace {

class LibrarySearch : public testing::Test
{
protected:
    void SetUp() override
    {
        ::GetCurrentDirectoryW(MAX_PATH, m_previous);
        ::SetEnvironmentVariableW(L"TERMB_LIBRARY", nullptr);
        SetExeDirOverride(m_besideProgram.path().string()); // no termb.dll there
        ASSERT_TRUE(::CopyFileW(WideFromUtf8(FAKE_TERMB_COMPLETE).c_str(),
                                (m_current.path() / L"termb.dll").c_str(), TRUE));
        ASSERT_TRUE(::SetCurrentDirectoryW(m_current.path().c_str()));
    }
    void TearDown() override
    {
        ::SetCurrentDirectoryW(m_previous); // the build names the stand-in from there
        SetExeDirOverride({});
    }
    wchar_t m_previous[MAX_PATH] = {};
    TempDir m_besideProgram;
    TempDir m_current;
};

TEST_F(LibrarySearch, TheLoaderNeverTakesTermbDllFromTheCurrentDirectory)
{
    const TermbLibrary lib = LoadTermbLibrary();
    EXPECT_FALSE(lib.loaded);
    EXPECT_EQ(lib.failure, TermbLoadFailure::NotFound);
    EXPECT_EQ(::GetModuleHandleW(L"termb.dll"), nullptr);
}

TEST_F(LibrarySearch, AfterTheRestrictionNoLoadByNameLooksInTheCurrentDirectory)
{
    // The same file under another name: found in the current directory as
    // long as the process searches it, so the case below can fail.
    ASSERT_TRUE(::CopyFileW(L"termb.dll", L"planted.dll", TRUE));
    HMODULE before = ::LoadLibraryW(L"planted.dll");
    ASSERT_NE(before, nullptr) << "this system does not search the current directory at all";
    ::FreeLibrary(before);

    RestrictLibrarySearch();
    EXPECT_EQ(::LoadLibraryW(L"termb.dll"), nullptr);
    EXPECT_EQ(::LoadLibraryExW(L"termb.dll", nullptr, 0), nullptr);
}

} // namespace

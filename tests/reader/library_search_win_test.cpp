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

// A folder whose name the ANSI code page of an English-language Windows
// cannot write.
std::wstring chineseFolder(const TempDir& root)
{
    const std::wstring dir = root.path().wstring() + L"\\读卡器 测试";
    EXPECT_TRUE(::CreateDirectoryW(dir.c_str(), nullptr));
    return dir;
}

// The stand-in library by its full path, taken before any test moves the
// current directory (the build names it by a path from the root of a drive).
const std::wstring& fakeLibrary()
{
    static const std::wstring path = [] {
        wchar_t full[MAX_PATH] = {};
        ::GetFullPathNameW(WideFromUtf8(FAKE_TERMB_COMPLETE).c_str(), MAX_PATH, full, nullptr);
        return std::wstring(full);
    }();
    return path;
}

class LibrarySearch : public testing::Test
{
protected:
    void SetUp() override
    {
        ::SetEnvironmentVariableW(L"TERMB_LIBRARY", nullptr);
        SetExeDirOverride(m_besideProgram.path().string()); // no termb.dll there
        ASSERT_TRUE(
            ::CopyFileW(fakeLibrary().c_str(), (m_current.path() / L"termb.dll").c_str(), TRUE));
        ASSERT_TRUE(::SetCurrentDirectoryW(m_current.path().c_str()));
    }
    void TearDown() override
    {
        ::SetCurrentDirectoryW(m_besideProgram.path().c_str());
        SetExeDirOverride({});
    }
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

// Last: these load a termb.dll.
TEST_F(LibrarySearch, ALibraryNamedOrBesideTheProgramLoadsFromAChineseFolder)
{
    TempDir root;
    const std::wstring dir = chineseFolder(root);
    const std::wstring named = dir + L"\\reader.dll";
    ASSERT_TRUE(::CopyFileW(fakeLibrary().c_str(), named.c_str(), TRUE));
    ASSERT_TRUE(::SetEnvironmentVariableW(L"TERMB_LIBRARY", named.c_str()));
    const TermbLibrary fromVariable = LoadTermbLibrary();
    EXPECT_TRUE(fromVariable.loaded) << fromVariable.error;
    EXPECT_EQ(fromVariable.path, Utf8FromWide(named));

    ::SetEnvironmentVariableW(L"TERMB_LIBRARY", nullptr);
    ASSERT_TRUE(::CopyFileW(named.c_str(), (dir + L"\\termb.dll").c_str(), TRUE));
    SetExeDirOverride(Utf8FromWide(dir));
    const TermbLibrary beside = LoadTermbLibrary();
    EXPECT_TRUE(beside.loaded) << beside.error;
    EXPECT_EQ(beside.path, Utf8FromWide(dir + L"\\termb.dll"));
}

} // namespace

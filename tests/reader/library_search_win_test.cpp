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

// A vendor's library finds the DLLs it comes with beside it, wherever it
// lies, whether it imports them or loads them by name once running.
TEST_F(LibrarySearch, ALibraryFindsItsOwnDllsBesideIt)
{
    RestrictLibrarySearch();
    TempDir vendor;
    const std::pair<const char*, const wchar_t*> files[] = {
        {COMPANION_DLL, L"companion.dll"},
        {COMPANION_DLL, L"companion_by_name.dll"},
        {COMPANION_USER_DLL, L"reader.dll"}};
    for (const auto& [from, to] : files)
        ASSERT_TRUE(::CopyFileW(WideFromUtf8(from).c_str(), (vendor.path() / to).c_str(), TRUE));
    std::string error;
    void* reader = OpenDynamicLibrary(vendor.file("reader.dll"), error);
    ASSERT_NE(reader, nullptr) << error;
    EXPECT_EQ(reinterpret_cast<int (*)()>(FindDynamicSymbol(reader, "ImportedAnswer"))(), 42);
    EXPECT_EQ(reinterpret_cast<int (*)()>(FindDynamicSymbol(reader, "LoadsByName"))(), 1);
}

} // namespace

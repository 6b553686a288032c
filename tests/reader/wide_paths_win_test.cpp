#include <gtest/gtest.h>
#include <windows.h>

#include "../temp_dir.h"
#include "base/exe_dir.h"
#include "base/utf16.h"
#include "config/config.h"
#include "reader/photo_files.h"

namespace {

DWORD64 sizeOf(const std::wstring& file)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(file.c_str(), GetFileExInfoStandard, &data))
        return ~DWORD64{0};
    return (DWORD64{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
}

// The program beside its files in a folder whose name the ANSI code page of
// an English-language Windows cannot write (scripts/wine-test.sh runs this
// with such a code page): each file lands there, replaced whole.
TEST(Win32WidePaths, SettingsAndPhotoFilesLandInAFolderNamedInChinese)
{
    TempDir root;
    const std::wstring dir = root.path().wstring() + L"\\读卡器 测试";
    ASSERT_TRUE(::CreateDirectoryW(dir.c_str(), nullptr));
    SetExeDirOverride(Utf8FromWide(dir));

    EXPECT_TRUE(WriteConfig(kPortKey, "1001"));
    EXPECT_TRUE(WriteConfig(kSleepKey, "20"));
    EXPECT_EQ(ReadPortSetting(), 1001);
    EXPECT_EQ(ReadSleepSetting(), 20);
    const unsigned char bytes[8] = {'B', 'M', 1, 2, 3, 4, 5, 6};
    EXPECT_TRUE(SaveBufToFile(PhotoWltPath(), bytes, sizeof bytes));
    EXPECT_TRUE(SaveBufToFile(PhotoBmpPath(), bytes, sizeof bytes));
    EXPECT_TRUE(SaveBufToFile(PhotoBmpPath(), bytes, 3)); // over the earlier one

    EXPECT_EQ(sizeOf(dir + L"\\config.ini"), 31u); // [Config] Port=1001 Sleep=20, CRLF
    EXPECT_EQ(sizeOf(dir + L"\\zp.wlt"), 8u);
    EXPECT_EQ(sizeOf(dir + L"\\zp.bmp"), 3u);
    for (const wchar_t* spare : {L"\\config.ini.part", L"\\zp.wlt.part", L"\\zp.bmp.part"})
        EXPECT_EQ(::GetFileAttributesW((dir + spare).c_str()), INVALID_FILE_ATTRIBUTES) << spare;
    std::printf("[win32] ANSI code page %u: config.ini, zp.wlt and zp.bmp in %s\n", ::GetACP(),
                Utf8FromWide(dir).c_str());
    SetExeDirOverride({});
}

} // namespace

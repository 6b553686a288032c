#include <gtest/gtest.h>
#include <windows.h>

#include "reader/termb_loader.h"

namespace {

constexpr bool kIs32Bit = sizeof(void*) == 4;

// A few calls through the table whose results depend on every argument.
void expectWorkingReader(const TermbLibrary& lib)
{
    ASSERT_TRUE(lib.loaded) << lib.error;
    EXPECT_EQ(lib.api.SDT_OpenPort(1001), kTermbOk);
    EXPECT_EQ(lib.api.SDT_ClosePort(41), 42);
    unsigned char text[kTextBufferSize] = {}, photo[kPhotoBufferSize] = {};
    unsigned char fp[1024] = {};
    unsigned textLen = 0, photoLen = 0;
    int fpLen = 1024;
    // The longest call, eight arguments: a caller and callee that disagreed
    // on who clears the stack would not survive it twice.
    for (int i = 0; i < 2; ++i) {
        fpLen = 1024;
        EXPECT_EQ(lib.api.SDT_ReadBaseFPMsg(1001, text, &textLen, photo, &photoLen, fp, &fpLen, 0),
                  kTermbOk);
        EXPECT_EQ(fpLen, 512);
    }
    unsigned char bmp[kBitmapBufferSize] = {};
    photo[0] = 'P';
    EXPECT_EQ(lib.api.Wlt2Bmp(photo, bmp), kTermbBitmapSize);
    EXPECT_EQ(bmp[0], 'P');
}

TEST(Win32Stdcall, TheVendorStyleStandInExportsPlainNames)
{
    HMODULE dll = ::LoadLibraryA(FAKE_TERMB_COMPLETE);
    ASSERT_NE(dll, nullptr);
    EXPECT_NE(::GetProcAddress(dll, "SDT_ReadBaseFPMsg"), nullptr);
    EXPECT_EQ(::GetProcAddress(dll, "SDT_ReadBaseFPMsg@32"), nullptr);
    expectWorkingReader(LoadTermbLibraryFrom(FAKE_TERMB_COMPLETE));
    std::printf("[win32] LoadLibraryA + GetProcAddress, %s: plain names\n",
                kIs32Bit ? "stdcall" : "x64 convention");
}

TEST(Win32Stdcall, GccDecoratedNamesAreBound)
{
    if (!kIs32Bit)
        GTEST_SKIP() << "64-bit Windows has one calling convention and no decorated names";
    HMODULE dll = ::LoadLibraryA(FAKE_TERMB_GCCNAMES);
    ASSERT_NE(dll, nullptr);
    ASSERT_EQ(::GetProcAddress(dll, "SDT_OpenPort"), nullptr) << "the DLL must be decorated";
    ASSERT_NE(::GetProcAddress(dll, "SDT_OpenPort@4"), nullptr);
    expectWorkingReader(LoadTermbLibraryFrom(FAKE_TERMB_GCCNAMES));
    std::printf("[win32] stdcall DLL with names like SDT_OpenPort@4: bound\n");
}

TEST(Win32Stdcall, MicrosoftDecoratedNamesAreBound)
{
    if (!kIs32Bit)
        GTEST_SKIP() << "64-bit Windows has one calling convention and no decorated names";
    HMODULE dll = ::LoadLibraryA(FAKE_TERMB_MSVCNAMES);
    ASSERT_NE(dll, nullptr);
    ASSERT_EQ(::GetProcAddress(dll, "SDT_OpenPort"), nullptr) << "the DLL must be decorated";
    ASSERT_EQ(::GetProcAddress(dll, "SDT_OpenPort@4"), nullptr);
    ASSERT_NE(::GetProcAddress(dll, "_SDT_OpenPort@4"), nullptr);
    expectWorkingReader(LoadTermbLibraryFrom(FAKE_TERMB_MSVCNAMES));
    std::printf("[win32] stdcall DLL with names like _SDT_OpenPort@4: bound\n");
}

} // namespace

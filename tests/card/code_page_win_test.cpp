#include <gtest/gtest.h>
#include <windows.h>

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

} // namespace

#include <gtest/gtest.h>

#include "base/utf16.h"

namespace {

TEST(Utf16, ConvertsBothWaysCharacterForCharacter)
{
    const struct
    {
        std::string utf8;
        std::wstring wide;
    } cases[] = {
        {"", L""},
        {"COM3", L"COM3"},
        {"\xE4\xB8\xAD\xE6\x96\x87", L"\x4E2D\x6587"},      // two ideographs
        {"a\xF0\x9F\x98\x80z", L"a\xD83D\xDE00z"},          // beyond the BMP: a surrogate pair
        {std::string("a\0b", 3), std::wstring(L"a\0b", 3)}, // a NUL is a character like any other
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WideFromUtf8(c.utf8), c.wide) << c.utf8;
        EXPECT_EQ(Utf8FromWide(c.wide), c.utf8) << c.utf8;
    }
}

TEST(Utf16, MalformedInputBecomesTheReplacementCharacter)
{
    EXPECT_EQ(WideFromUtf8("a\xC3z"), L"a\xFFFDz");
    EXPECT_EQ(Utf8FromWide(L"a\xD800z"), "a\xEF\xBF\xBDz");
}

} // namespace

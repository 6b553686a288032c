#include <gtest/gtest.h>

#include "card/gbk.h"

namespace {

TEST(Gbk, RoundTripsChineseText)
{
    const std::string text = "中华人民共和国·测试 ABC 123";
    const std::string g = Utf8ToGbk(text);
    EXPECT_EQ(g.substr(0, 2), "\xD6\xD0"); // 中 in GBK
    EXPECT_EQ(GbkToUtf8(g), text);
}

TEST(Gbk, ADoubleByteCharacterCutInHalfAtTheEndIsDropped)
{
    std::string g = Utf8ToGbk("长期");
    g.pop_back(); // a field cut to its size can end inside a character
    EXPECT_EQ(GbkToUtf8(g), "长");
    EXPECT_EQ(GbkToUtf8(std::string("AB") + '\xB3'), "AB");
}

TEST(Gbk, AnInvalidByteIsMarkedAndTheRestKept)
{
    EXPECT_EQ(GbkToUtf8(std::string("A\xFF") + "B"), "A\xEF\xBF\xBD"
                                                     "B");
}

TEST(Gbk, Ucs2OfEmptyIsEmpty)
{
    EXPECT_EQ(Ucs2LeToGbk(nullptr, 0), "");
}

TEST(Gbk, Utf8ToGbkReplacesWhatGbkLacks)
{
    EXPECT_EQ(Utf8ToGbk("a\u0E01b"), "a?b");
    EXPECT_EQ(Utf8ToGbk(std::string("a\xC3") + "b"), "a?b"); // broken UTF-8
}

} // namespace

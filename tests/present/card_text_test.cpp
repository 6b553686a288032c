#include "present/card_text.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <vector>

#include "card/gbk.h"

namespace {

std::vector<std::size_t> lineSizes(const std::string& text)
{
    std::vector<std::size_t> sizes;
    std::size_t start = 0;
    for (std::size_t at; (at = text.find("\r\n", start)) != std::string::npos; start = at + 2)
        sizes.push_back(at - start);
    sizes.push_back(text.size() - start);
    return sizes;
}

TEST(CardText, FormatsDates)
{
    const std::string longTerm = Utf8ToGbk("长期");
    const struct
    {
        std::string field, birthday, validity;
    } cases[] = {
        {"19920314", "1992     03     14", "1992.03.14"},
        {"201506071", "2015     06     07", "2015.06.07"}, // a cut field: first 8 bytes
        {std::string(" \t20150607\x01 ", 12), "2015     06     07", "2015.06.07"},
        {"2015067", "2015067", "2015067"},
        {"", "", ""},
        {longTerm, longTerm, longTerm},
        // Eight bytes or more of double-byte text: the cuts would split a
        // character, so the text stands as it is.
        {Utf8ToGbk("长期有效"), Utf8ToGbk("长期有效"), Utf8ToGbk("长期有效")},
        {"2" + Utf8ToGbk("长期有效"), "2" + Utf8ToGbk("长期有效"), "2" + Utf8ToGbk("长期有效")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.field);
        EXPECT_EQ(FormatDate(c.field, kBirthdaySeparator), c.birthday);
        EXPECT_EQ(FormatDate(c.field, kValiditySeparator), c.validity);
    }
}

TEST(CardText, WrapsAtWidth36WithoutSplittingCharacters)
{
    const std::string road = Utf8ToGbk("路");
    std::string doubleAddress;
    for (int i = 0; i < 35; ++i)
        doubleAddress += road;
    const struct
    {
        std::string text;
        std::vector<std::size_t> lines;
    } cases[] = {
        {std::string(36, 'a'), {36}},
        {std::string(37, 'a'), {35, 2}},
        {std::string(34, 'a') + road + "b", {37}}, // the last byte never stands alone
        {doubleAddress, {36, 34}},
        {std::string(40, 'a'), {35, 5}},
        {std::string(72, 'a'), {35, 35, 2}},
        {std::string(10, 'a') + doubleAddress.substr(0, 20), {30}}, // longest authority
        {"x" + doubleAddress, {35, 36}},
        {"", {0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const std::string wrapped = WrapText(c.text, 36);
        EXPECT_EQ(lineSizes(wrapped), c.lines);
        std::string joined = wrapped;
        joined.erase(std::remove_if(joined.begin(), joined.end(),
                                    [](char c) { return c == '\r' || c == '\n'; }),
                     joined.end());
        EXPECT_EQ(joined, c.text);
    }
    // Widths at which no line could hold a character still end.
    for (int width : {-5, 0, 1, 2})
        EXPECT_EQ(WrapText("abc", width), "a\r\nbc") << width;
}

TEST(CardText, BytesToHex)
{
    const unsigned char bytes[] = {0x00, 0xAB, 0x5F};
    EXPECT_EQ(BytesToHex(bytes, 2), "00 AB ");
    EXPECT_EQ(BytesToHex(bytes, 3), "00 AB 5F ");
    EXPECT_EQ(BytesToHex(bytes, 0), "");
}

// A fingerprint of an unexpected length is shown as text; a control
// character in it must not break the line.
TEST(CardText, FingerprintLineStaysOneLine)
{
    unsigned char data[kFingerprintSize] = {'A', '\n', 'B', '\r', 0x7F, 'C', 0x01};
    const FingerprintLine line = FingerprintLineFor(data, 5000);
    EXPECT_TRUE(line.unexpected);
    EXPECT_EQ(GbkToUtf8(line.text), "指纹数据  A^JB^M^?C^A");
}

} // namespace

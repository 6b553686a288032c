#include "ui/card_text.h"

#include <gtest/gtest.h>

#include "card/gbk.h"

namespace {

std::string gbk(std::string_view utf8)
{
    return Utf8ToGbk(utf8);
}

struct DateCase
{
    const char* name;
    std::string field;
    std::string birthday;
    std::string validity;
};

class DateTest : public testing::TestWithParam<DateCase>
{
};

TEST_P(DateTest, FormatsBirthdayAndValidity)
{
    const DateCase& c = GetParam();
    EXPECT_EQ(formatDate(c.field, kBirthdaySeparator), c.birthday);
    EXPECT_EQ(formatDate(c.field, kValiditySeparator), c.validity);
}

INSTANTIATE_TEST_SUITE_P(
    Dates, DateTest,
    testing::Values(DateCase{"EightDigits", "19920314", "1992     03     14", "1992.03.14"},
                    DateCase{"NineBytesShowFirstEight", "201506071", "2015     06     07",
                             "2015.06.07"},
                    DateCase{"TrimmedFirst", std::string(" \t20150607\x01 ", 12),
                             "2015     06     07", "2015.06.07"},
                    DateCase{"ShorterUnchanged", "2015067", "2015067", "2015067"},
                    DateCase{"Empty", "", "", ""},
                    DateCase{"LongTerm", gbk("长期"), gbk("长期"), gbk("长期")},
                    // Only bytes count, so four double-byte characters are cut
                    // at byte boundaries that happen to fall between them.
                    DateCase{"DoubleByteEight", gbk("二零一五"),
                             gbk("二零") + "     " + gbk("一") + "     " + gbk("五"),
                             gbk("二零") + "." + gbk("一") + "." + gbk("五")}),
    [](const auto& info) { return std::string(info.param.name); });

struct WrapCase
{
    const char* name;
    std::string text;
    std::vector<std::size_t> lineBytes;
};

class WrapTest : public testing::TestWithParam<WrapCase>
{
};

std::vector<std::string> splitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t at; (at = text.find("\r\n", start)) != std::string::npos; start = at + 2)
        lines.push_back(text.substr(start, at - start));
    lines.push_back(text.substr(start));
    return lines;
}

TEST_P(WrapTest, BreaksAtWidth36)
{
    const WrapCase& c = GetParam();
    const std::string wrapped = WrapText(c.text, 36);
    const std::vector<std::string> lines = splitLines(wrapped);
    std::string joined;
    std::vector<std::size_t> sizes;
    for (const std::string& line : lines) {
        sizes.push_back(line.size());
        joined += line;
    }
    EXPECT_EQ(sizes, c.lineBytes);
    EXPECT_EQ(joined, c.text) << "wrapping must only insert line breaks";
}

const std::string kDoubleAddress = [] {
    std::string s;
    for (int i = 0; i < 35; ++i)
        s += gbk("路");
    return s;
}();

INSTANTIATE_TEST_SUITE_P(
    Widths, WrapTest,
    testing::Values(
        WrapCase{"Single36Unbroken", std::string(36, 'a'), {36}},
        WrapCase{"Single37", std::string(37, 'a'), {35, 2}},
        WrapCase{"DoubleByteAtEdgeUnbroken", std::string(34, 'a') + gbk("路") + "b", {37}},
        WrapCase{"DoubleByteAddress", kDoubleAddress, {36, 34}},
        WrapCase{"Single40", std::string(40, 'a'), {35, 5}},
        WrapCase{"Single72ThreeLines", std::string(72, 'a'), {35, 35, 2}},
        WrapCase{"Authority30", std::string(10, 'a') + kDoubleAddress.substr(0, 20), {30}},
        WrapCase{"Empty", "", {0}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WrapText, NeverSplitsADoubleByteCharacter)
{
    // A single-byte lead shifts every double-byte character to odd positions.
    const std::string text = "x" + kDoubleAddress + kDoubleAddress;
    for (const std::string& line : splitLines(WrapText(text, 36))) {
        ASSERT_GE(line.size(), 1u);
        const std::size_t start = line[0] == 'x' ? 1 : 0;
        EXPECT_EQ((line.size() - start) % 2, 0u) << "line cuts a character: " << line.size();
    }
}

TEST(WrapText, NarrowWidthsEndAndKeepTheText)
{
    for (int width : {-5, 0, 1, 2}) {
        // The last byte stays on the line before, as it always does.
        EXPECT_EQ(WrapText("abc", width), "a\r\nbc") << width;
    }
}

TEST(BytesToHex, TwoUpperCaseDigitsAndABlankPerByte)
{
    const unsigned char bytes[] = {0x00, 0xAB, 0x5F};
    EXPECT_EQ(BytesToHex(bytes, 2), "00 AB ");
    EXPECT_EQ(BytesToHex(bytes, 3), "00 AB 5F ");
    EXPECT_EQ(BytesToHex(bytes, 0), "");
    EXPECT_EQ(BytesToHex(nullptr, 0), "");
}

TEST(TrimText, RemovesControlBytesAndBlanksAtBothEnds)
{
    EXPECT_EQ(trimText(std::string("\0\x1f a b \x20\r\n", 10)), "a b");
    EXPECT_EQ(trimText(gbk(" 公安局 ")), gbk("公安局"));
    EXPECT_EQ(trimText(" \x01 "), "");
}

struct FingerprintCase
{
    const char* name;
    std::int32_t length;
    unsigned char firstByte;
    std::string text;
    bool unexpected;
};

class FingerprintTest : public testing::TestWithParam<FingerprintCase>
{
};

TEST_P(FingerprintTest, ChoosesTextAndColour)
{
    const FingerprintCase& c = GetParam();
    unsigned char data[kFingerprintSize];
    std::fill(std::begin(data), std::end(data), 'Z');
    data[0] = c.firstByte;
    const FingerprintLine line = fingerprintLine(data, c.length);
    EXPECT_EQ(line.unexpected, c.unexpected);
    if (c.length == 1024) {
        EXPECT_EQ(line.text.size(), gbk(c.text).size() + 3 * kFingerprintSize);
        EXPECT_EQ(line.text.substr(0, gbk(c.text).size() + 6), gbk(c.text) + "41 5A ");
    } else {
        EXPECT_EQ(line.text, gbk(c.text));
    }
}

// Raw data never reads past the buffer, whatever the length claims.
const std::string kRawZ = std::string("A") + std::string(kFingerprintSize - 1, 'Z');

INSTANTIATE_TEST_SUITE_P(
    Lengths, FingerprintTest,
    testing::Values(FingerprintCase{"Complete", 1024, 'A', "指纹数据  ", false},
                    FingerprintCase{"None", 0, 'A', "指纹数据  无", false},
                    FingerprintCase{"Negative", -1, 'A', "指纹数据  无", false},
                    FingerprintCase{"Half", 512, 'A', "指纹数据  " + kRawZ, true},
                    FingerprintCase{"TooLong", 2000, 'A', "指纹数据  " + kRawZ, true},
                    FingerprintCase{"FirstByteZero", 512, 0, "指纹数据  ", true}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace

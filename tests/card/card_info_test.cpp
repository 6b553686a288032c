#include <cstring>
#include <gtest/gtest.h>
#include <memory>

#include "base_text_builder.h"
#include "card/card_info.h"
#include "card/gbk.h"
#include "state/shared_state.h"

namespace {

std::string gbk(const char* utf8)
{
    return Utf8ToGbk(utf8);
}

TIDCardInfo decode(const BaseTextBuilder& b)
{
    TIDCardInfo r;
    std::memset(&r, 0, sizeof r);
    DecodeBaseTextInto(r, b.data());
    return r;
}

BaseTextBuilder sampleCard()
{
    BaseTextBuilder b;
    b.name("测试甲")
        .sex("1")
        .nation("01")
        .birthday("19900101")
        .address("示例省示例市虚构路1号")
        .idNumber("11010119900101001X")
        .department("示例市公安局")
        .startDate("20200101")
        .endDate("20400101")
        .reserved("");
    return b;
}

TEST(CodeTables, SexNamesHoldTheTenCodes)
{
    EXPECT_STREQ(SexNames[0], "未知");
    EXPECT_STREQ(SexNames[1], "男");
    EXPECT_STREQ(SexNames[2], "女");
    for (int code = 3; code <= 8; ++code)
        EXPECT_STREQ(SexNames[code], "") << code;
    EXPECT_STREQ(SexNames[9], "未说明");
}

TEST(CodeTables, NationNamesCoverEveryCode)
{
    for (int code = 0; code <= kNationCodeMax; ++code)
        ASSERT_NE(NationNames[code], nullptr) << code;
    for (int code = 1; code <= 56; ++code)
        EXPECT_STRNE(NationNames[code], "") << code;
    for (int code = 57; code <= 96; ++code)
        EXPECT_STREQ(NationNames[code], "") << code;
    EXPECT_STREQ(NationNames[1], "汉族");
    EXPECT_STREQ(NationNames[29], "柯尔克孜族");
    EXPECT_STREQ(NationNames[43], "乌孜别克族");
    EXPECT_STREQ(NationNames[56], "基诺族");
    EXPECT_STREQ(NationNames[97], "其他");
    EXPECT_STREQ(NationNames[98], "外国血统");
    // The longest names fill the 10 bytes the Nation field leaves for text.
    EXPECT_EQ(NationNameGbk(29).size(), 10u);
    EXPECT_EQ(NationNameGbk(43).size(), 10u);
}

TEST(DecodeBaseText, FillsEveryFieldOfATypicalCard)
{
    const TIDCardInfo r = decode(sampleCard());
    EXPECT_EQ(FieldText(r.Name), gbk("测试甲"));
    EXPECT_EQ(FieldText(r.Sex), gbk("男"));
    EXPECT_EQ(FieldText(r.Nation), gbk("汉族"));
    EXPECT_EQ(FieldText(r.Birthday), "19900101");
    EXPECT_EQ(FieldText(r.Address), gbk("示例省示例市虚构路1号"));
    EXPECT_EQ(FieldText(r.IDCardNo), "11010119900101001X");
    EXPECT_EQ(FieldText(r.CheckDepartment), gbk("示例市公安局"));
    EXPECT_EQ(FieldText(r.StartDate), "20200101");
    EXPECT_EQ(FieldText(r.EndDate), "20400101");
    EXPECT_EQ(FieldText(r.Reserved), "");
}

TEST(DecodeBaseText, WritesTheProcessWideRecord)
{
    std::memset(&CardInfo, 0, sizeof CardInfo);
    DecodeBaseText(sampleCard().data());
    EXPECT_EQ(FieldText(CardInfo.IDCardNo), "11010119900101001X");
    std::memset(&CardInfo, 0, sizeof CardInfo);
}

TEST(DecodeBaseText, LeavesTheFieldsAfterReservedAlone)
{
    TIDCardInfo r;
    std::memset(&r, 0xAA, sizeof r);
    DecodeBaseTextInto(r, sampleCard().data());
    for (unsigned char c : r.AppAddress)
        ASSERT_EQ(static_cast<unsigned char>(c), 0xAA);
    for (unsigned char c : r.FingerprintData)
        ASSERT_EQ(c, 0xAA);
    EXPECT_EQ(static_cast<std::uint32_t>(r.FingerprintLength), 0xAAAAAAAAu);
}

struct CodeCase
{
    const char* code;
    const char* expected; // UTF-8
    friend std::ostream& operator<<(std::ostream& os, const CodeCase& c)
    {
        return os << "code \"" << c.code << '"';
    }
};

class SexCode : public testing::TestWithParam<CodeCase>
{
};

TEST_P(SexCode, MapsToItsName)
{
    auto b = sampleCard();
    b.sex(GetParam().code);
    EXPECT_EQ(FieldText(decode(b).Sex), gbk(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(Codes, SexCode,
                         testing::Values(CodeCase{"0", "未知"}, CodeCase{"1", "男"},
                                         CodeCase{"2", "女"}, CodeCase{"5", ""},
                                         CodeCase{"9", "未说明"},
                                         // Not a number: the text stays as read.
                                         CodeCase{"X", "X"}, CodeCase{" ", ""},
                                         CodeCase{"１", "１"}));

TEST(DecodeBaseText, SexNineFillsAllSixBytesAndReadsBackWhole)
{
    auto b = sampleCard();
    b.sex("9");
    const TIDCardInfo r = decode(b);
    EXPECT_EQ(std::memchr(r.Sex, 0, sizeof r.Sex), nullptr);
    EXPECT_EQ(FieldText(r.Sex), gbk("未说明"));
    EXPECT_EQ(FieldText(r.Sex).size(), 6u);
}

class NationCode : public testing::TestWithParam<CodeCase>
{
};

TEST_P(NationCode, MapsToItsNameOrKeepsItsDigits)
{
    auto b = sampleCard();
    b.nation(GetParam().code);
    EXPECT_EQ(FieldText(decode(b).Nation), gbk(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(Codes, NationCode,
                         testing::Values(CodeCase{"01", "汉族"}, CodeCase{"1", "汉族"},
                                         CodeCase{"56", "基诺族"}, CodeCase{"97", "其他"},
                                         CodeCase{"98", "外国血统"}, CodeCase{"60", ""},
                                         CodeCase{"00", "00"}, CodeCase{"99", "99"},
                                         CodeCase{"-1", "-1"}, CodeCase{"ab", "ab"},
                                         CodeCase{"", ""}));

TEST(DecodeBaseText, RemovesEveryBlankFromNames)
{
    auto b = sampleCard();
    b.name("欧阳 明");
    EXPECT_EQ(FieldText(decode(b).Name), gbk("欧阳明"));
    b.name("  李 四  ");
    EXPECT_EQ(FieldText(decode(b).Name), gbk("李四"));
}

TEST(DecodeBaseText, KeepsTheMiddleDotOfMinorityNames)
{
    auto b = sampleCard();
    b.name("阿依古丽·买买提");
    EXPECT_EQ(FieldText(decode(b).Name), gbk("阿依古丽·买买提"));
}

TEST(DecodeBaseText, AnAddressOf35DoubleByteCharactersFillsTheField)
{
    const std::string address =
        "一二三四五六七八九十一二三四五六七八九十一二三四五六七八九十一二三四五";
    auto b = sampleCard();
    b.address(address);
    const TIDCardInfo r = decode(b);
    EXPECT_EQ(FieldText(r.Address), gbk(address.c_str()));
    EXPECT_EQ(FieldText(r.Address).size(), 70u);
    EXPECT_EQ(r.Address[70], '\0');
}

TEST(DecodeBaseText, ADateOfDoubleByteCharactersIsCutToNineBytes)
{
    auto b = sampleCard();
    b.endDate("长期有效长期有效");
    const TIDCardInfo r = decode(b);
    EXPECT_EQ(std::memchr(r.EndDate, 0, sizeof r.EndDate), nullptr);
    EXPECT_EQ(FieldText(r.EndDate), gbk("长期有效长期有效").substr(0, 9));
}

TEST(DecodeBaseText, ACharacterGbkLacksBecomesAQuestionMark)
{
    auto b = sampleCard();
    b.name("测\u0E01试"); // a Thai letter
    EXPECT_EQ(FieldText(decode(b).Name), gbk("测?试"));
    b.name("测😀试"); // outside UCS-2 altogether: each half of the pair is replaced
    EXPECT_EQ(FieldText(decode(b).Name), gbk("测??试"));
}

TEST(DecodeBaseText, AFieldStartingWithNulIsEmptyAndTextEndsAtTheFirstNul)
{
    auto b = sampleCard();
    b.field(0, 30, "", false);
    EXPECT_EQ(FieldText(decode(b).Name), "");
    b.field(0, 30, "张三", false);
    b.bytes()[6] = 'X'; // behind the NUL that ends the name
    EXPECT_EQ(FieldText(decode(b).Name), gbk("张三"));
}

TEST(DecodeBaseText, ReadsExactlyTheFirst256Bytes)
{
    // The decoder is handed a buffer of exactly 256 bytes; AddressSanitizer
    // catches any read past it. Non-blank text up to the last byte proves the
    // Reserved field is read to its end.
    auto b = sampleCard();
    b.reserved("RRRRRRRRRRRRRRRRRR");
    auto exact = std::make_unique<unsigned char[]>(kBaseTextSize);
    std::memcpy(exact.get(), b.data(), kBaseTextSize);
    TIDCardInfo r{};
    DecodeBaseTextInto(r, exact.get());
    EXPECT_EQ(FieldText(r.Reserved), "RRRRRRRRRRRRRRRRRR");
    EXPECT_EQ(r.Reserved[18], '\0');
}

TEST(DecodeBaseText, IdNumberFillsEighteenBytesAndANul)
{
    const TIDCardInfo r = decode(sampleCard());
    EXPECT_EQ(std::strlen(r.IDCardNo), 18u);
}

TEST(FieldText, StopsAtTheFieldSizeWithoutANul)
{
    const char field[4] = {'a', 'b', 'c', 'd'};
    EXPECT_EQ(FieldText(field), "abcd");
    const char shorter[4] = {'a', 0, 'c', 'd'};
    EXPECT_EQ(FieldText(shorter), "a");
}

} // namespace

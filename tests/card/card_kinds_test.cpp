#include <cstring>
#include <gtest/gtest.h>

#include "base_text_builder.h"
#include "card/card_kinds.h"
#include "card/country_codes.h"
#include "card/gbk.h"

namespace {

std::string utf8(const std::string& gbk)
{
    return GbkToUtf8(gbk);
}

TCardKindInfo decodeKind(const BaseTextBuilder& b)
{
    TCardKindInfo info;
    std::memset(&info, 0xA5, sizeof info);
    DecodeCardKind(b.data(), info);
    return info;
}

BaseTextBuilder withMark(const std::string& mark)
{
    BaseTextBuilder b;
    b.field(0, 256, "");
    return b.field(kKindMarkOffset, 2, mark);
}

BaseTextBuilder foreignCard(const std::string& englishName, const std::string& country)
{
    BaseTextBuilder b = withMark("I");
    b.field(0, 120, englishName)
        .field(120, 2, "2")
        .field(122, 30, "USA998503150001")
        .field(152, 6, country)
        .field(158, 30, "约翰·示例")
        .field(188, 16, "20200315")
        .field(204, 16, "20300315")
        .field(220, 16, "19850315")
        .field(236, 4, "01")
        .field(240, 8, "9900");
    return b;
}

TEST(CardKinds, TheMarkAloneTellsTheKind)
{
    const struct
    {
        std::uint16_t mark;
        CardKind kind;
    } cases[] = {
        {0x0020, CardKind::IdCard},
        {0x0000, CardKind::IdCard},
        {'I', CardKind::ForeignPermanent},
        {'J', CardKind::HkMacaoTaiwanPermit},
        {'Y', CardKind::ForeignPermanent2023},
        {'i', CardKind::Unknown},
        {'A', CardKind::Unknown},
        {0x4900, CardKind::Unknown}, // 'I' in the wrong byte
        {0x4E2D, CardKind::Unknown},
    };
    for (const auto& c : cases) {
        BaseTextBuilder b;
        b.bytes()[kKindMarkOffset] = static_cast<unsigned char>(c.mark & 0xFF);
        b.bytes()[kKindMarkOffset + 1] = static_cast<unsigned char>(c.mark >> 8);
        EXPECT_EQ(CardKindOf(b.data()), c.kind) << std::hex << c.mark;
        EXPECT_EQ(CardKindDecoded(c.kind),
                  c.kind != CardKind::ForeignPermanent2023 && c.kind != CardKind::Unknown);
    }
}

TEST(CardKinds, IdCardWithFilledReservedBytesStaysAnIdCard)
{
    BaseTextBuilder b;
    b.name("测试甲").idNumber("11010119900101001X").reserved("ABCDEFGHIJKLMN");
    b.field(250, 6, "XYZ");
    const TCardKindInfo info = decodeKind(b);
    EXPECT_EQ(info.Kind, CardKind::IdCard);
    EXPECT_EQ(CardNumberText(info), "11010119900101001X");
    // Only the number: an identity card's record is CardInfo.
    const TCardKindInfo zero{};
    EXPECT_EQ(std::memcmp(&info.Foreign, &zero.Foreign, sizeof zero.Foreign), 0);
    EXPECT_EQ(std::memcmp(&info.Permit, &zero.Permit, sizeof zero.Permit), 0);
}

TEST(CardKinds, ForeignCardDecodesEveryField)
{
    const TCardKindInfo info = decodeKind(foreignCard("SAMPLE JOHN", "USA"));
    ASSERT_EQ(info.Kind, CardKind::ForeignPermanent);
    const TForeignCardInfo& r = info.Foreign;
    EXPECT_EQ(FieldText(r.EnglishName), "SAMPLE JOHN");
    EXPECT_EQ(utf8(FieldText(r.Sex)), "女");
    EXPECT_EQ(FieldText(r.CardNo), "USA998503150001");
    EXPECT_EQ(FieldText(r.NationalityCode), "USA");
    EXPECT_EQ(utf8(FieldText(r.Nationality)), "美国");
    EXPECT_EQ(utf8(FieldText(r.ChineseName)), "约翰·示例");
    EXPECT_EQ(FieldText(r.StartDate), "20200315");
    EXPECT_EQ(FieldText(r.EndDate), "20300315");
    EXPECT_EQ(FieldText(r.Birthday), "19850315");
    EXPECT_EQ(FieldText(r.CardVersion), "01");
    EXPECT_EQ(FieldText(r.AuthorityCode), "9900");
    EXPECT_EQ(utf8(FieldText(r.Authority)), kForeignCardIssuer);
    EXPECT_EQ(CardNumberText(info), "USA998503150001");
    // A code the table does not list shows as itself.
    EXPECT_EQ(FieldText(decodeKind(foreignCard("X", "XXA")).Foreign.Nationality), "XXA");
}

TEST(CardKinds, ForeignEnglishNameKeepsOneBlankBetweenWords)
{
    const struct
    {
        const char* onCard;
        const char* decoded;
    } cases[] = {
        {"SAMPLE JOHN", "SAMPLE JOHN"},
        {"  SAMPLE   JOHN  PAUL ", "SAMPLE JOHN PAUL"},
        {"", ""},
        // 60 characters fill the field: 60 bytes and a NUL.
        {"ABCDEFGHIJ ABCDEFGHIJ ABCDEFGHIJ ABCDEFGHIJ ABCDEFGHIJ ABCDE",
         "ABCDEFGHIJ ABCDEFGHIJ ABCDEFGHIJ ABCDEFGHIJ ABCDEFGHIJ ABCDE"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FieldText(decodeKind(foreignCard(c.onCard, "USA")).Foreign.EnglishName),
                  c.decoded);
}

TEST(CardKinds, PermitDecodesEveryFieldAndItsRegion)
{
    BaseTextBuilder b = withMark("J");
    b.name("陈示例")
        .sex("1")
        .nation("99") // reserved on a permit: never shown
        .birthday("19900720")
        .address("示例省示例市港湾路8号")
        .idNumber("810000199007200016")
        .department("示例市公安局")
        .startDate("20210101")
        .endDate("20260101")
        .field(220, 18, "H99000001")
        .field(238, 4, "01");
    const TCardKindInfo info = decodeKind(b);
    ASSERT_EQ(info.Kind, CardKind::HkMacaoTaiwanPermit);
    const TPermitCardInfo& r = info.Permit;
    EXPECT_EQ(utf8(FieldText(r.Name)), "陈示例");
    EXPECT_EQ(utf8(FieldText(r.Sex)), "男");
    EXPECT_EQ(FieldText(r.Birthday), "19900720");
    EXPECT_EQ(utf8(FieldText(r.Address)), "示例省示例市港湾路8号");
    EXPECT_EQ(FieldText(r.IDCardNo), "810000199007200016");
    EXPECT_EQ(utf8(FieldText(r.CheckDepartment)), "示例市公安局");
    EXPECT_EQ(FieldText(r.StartDate), "20210101");
    EXPECT_EQ(FieldText(r.EndDate), "20260101");
    EXPECT_EQ(FieldText(r.PassNo), "H99000001");
    EXPECT_EQ(FieldText(r.IssueCount), "01");
    EXPECT_EQ(CardNumberText(info), "810000199007200016");

    const std::pair<const char*, const char*> regions[] = {
        {"81", "香港"}, {"82", "澳门"}, {"83", "台湾"}, {"99", ""}};
    for (const auto& [prefix, region] : regions) {
        b.idNumber(std::string(prefix) + "0000199007200016");
        EXPECT_EQ(utf8(FieldText(decodeKind(b).Permit.Region)), region) << prefix;
    }
}

TEST(CardKinds, UndecodedKindsFillNoRecordButANumberOfTheirOwn)
{
    for (const char* mark : {"Y", "Q"}) {
        BaseTextBuilder b = withMark(mark);
        b.name("张示例").idNumber("990101198503150113");
        const TCardKindInfo info = decodeKind(b);
        EXPECT_FALSE(CardKindDecoded(info.Kind)) << mark;
        const TCardKindInfo zero{};
        EXPECT_EQ(std::memcmp(&info.Foreign, &zero.Foreign, sizeof zero.Foreign), 0) << mark;
        EXPECT_EQ(std::memcmp(&info.Permit, &zero.Permit, sizeof zero.Permit), 0) << mark;
        const std::string number = CardNumberText(info);
        EXPECT_EQ(number.substr(0, 2), std::string(mark) + "-") << number;
        EXPECT_EQ(number.size(), 10u) << number;
        b.name("李示例");
        EXPECT_NE(CardNumberText(decodeKind(b)), number) << "another card, another number";
    }
    EXPECT_EQ(CardNumberText(decodeKind(withMark("\xE4\xB8\xAD"))).substr(0, 2), "?-");
}

TEST(CountryCodes, TableHoldsEveryCodeWithItsShortName)
{
    EXPECT_EQ(kCountryCodeCount, 249u);
    const std::pair<const char*, const char*> known[] = {
        {"CHN", "中国"},   {"USA", "美国"},     {"GBR", "英国"},   {"DEU", "德国"},
        {"JPN", "日本"},   {"FRA", "法国"},     {"RUS", "俄罗斯"}, {"KOR", "韩国"},
        {"ABW", "阿鲁巴"}, {"ZWE", "津巴布韦"}, {"SSD", "南苏丹"}, {"PRK", "朝鲜"},
    };
    for (const auto& [code, name] : known) {
        ASSERT_NE(CountryName(code), nullptr) << code;
        EXPECT_STREQ(CountryName(code), name) << code;
    }
    for (const char* code : {"XXA", "usa", "US", "USAA", ""})
        EXPECT_EQ(CountryName(code), nullptr) << code;
    // Every name is GBK text that fits the record's Nationality field.
    for (const CountryCode& c : kCountryCodes) {
        const std::string gbk = CountryNameGbk(c.code);
        EXPECT_LT(gbk.size(), sizeof(TForeignCardInfo::Nationality)) << c.code;
        EXPECT_EQ(gbk.find('?'), std::string::npos) << c.code;
        EXPECT_EQ(GbkToUtf8(gbk), c.name) << c.code;
    }
}

} // namespace

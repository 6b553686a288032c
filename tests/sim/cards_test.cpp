// The built-in sample cards: what they exercise, that they are plainly
// fictional, and that their base text decodes to exactly their fields.

#include <algorithm>
#include <gtest/gtest.h>
#include <set>

#include "../card/base_text_builder.h"
#include "card/card_info.h"
#include "card/card_kinds.h"
#include "card/country_codes.h"
#include "card/gbk.h"
#include "sim/cards.h"

namespace {

using namespace termbsim;

std::size_t characters(const std::string& utf8)
{
    return utf8CodePoints(utf8).size();
}

// ISO 7064 MOD 11-2, written out again here rather than taken from the model.
bool validIdNumber(const std::string& id)
{
    if (id.size() != 18 || !std::all_of(id.begin(), id.begin() + 17, ::isdigit))
        return false;
    const int weights[17] = {7, 9, 10, 5, 8, 4, 2, 1, 6, 3, 7, 9, 10, 5, 8, 4, 2};
    int sum = 0;
    for (int i = 0; i < 17; ++i)
        sum += (id[i] - '0') * weights[i];
    return id[17] == "10X98765432"[sum % 11];
}

TEST(SampleCards, ExerciseWhatTheToolMustHandle)
{
    const auto& cards = BuiltinCards();
    ASSERT_GE(cards.size(), 8u);
    std::set<std::string> nations, sexes, keys;
    bool longDottedName = false, fullAddress = false, longTerm = false, withoutFingerprint = false,
         checkX = false;
    for (const CardSpec& c : cards) {
        const CardFields& f = c.fields;
        keys.insert(c.key);
        if (c.kind != termbsim::CardKind::IdCard)
            continue;
        nations.insert(f.nation);
        sexes.insert(f.sex);
        longDottedName |= f.name.find("·") != std::string::npos && characters(f.name) == 15;
        fullAddress |= characters(f.address) == 35;
        longTerm |= f.end == "长期";
        withoutFingerprint |= !c.hasFingerprint;
        checkX |= f.idNumber.back() == 'X';
    }
    EXPECT_EQ(keys.size(), cards.size()) << "keys must be unique";
    for (const char* code : {"01", "56", "97", "98", "60"})
        EXPECT_TRUE(nations.count(code)) << code;
    for (const char* code : {"1", "2", "9"})
        EXPECT_TRUE(sexes.count(code)) << code;
    EXPECT_TRUE(longDottedName);
    EXPECT_TRUE(fullAddress);
    EXPECT_TRUE(longTerm);
    EXPECT_TRUE(withoutFingerprint);
    EXPECT_TRUE(checkX);
}

// The identity cards come first, so the demo's first cards stay as they were;
// every other kind follows.
int idCardCount()
{
    const auto& cards = BuiltinCards();
    return static_cast<int>(
        std::find_if(cards.begin(), cards.end(),
                     [](const CardSpec& c) { return c.kind != termbsim::CardKind::IdCard; }) -
        cards.begin());
}

TEST(SampleCards, IdCardsFirstThenEveryOtherKind)
{
    const auto& cards = BuiltinCards();
    EXPECT_EQ(idCardCount(), 8);
    std::set<termbsim::CardKind> kinds;
    for (std::size_t i = idCardCount(); i < cards.size(); ++i)
        kinds.insert(cards[i].kind);
    EXPECT_EQ(kinds.count(termbsim::CardKind::IdCard), 0u);
    EXPECT_EQ(kinds.size(), std::size(kLayouts) - 1);
}

class SampleCard : public ::testing::TestWithParam<int>
{
protected:
    const CardSpec& card() const { return BuiltinCards()[GetParam()]; }
};

TEST_P(SampleCard, IsPlainlyFictionalWithAValidIdNumber)
{
    const CardFields& f = card().fields;
    EXPECT_TRUE(validIdNumber(f.idNumber)) << f.idNumber;
    EXPECT_EQ(IdCheckCharacter(f.idNumber.substr(0, 17)), f.idNumber[17]);
    // Region codes 99xxxx belong to no real place, so no number is a real one.
    EXPECT_EQ(f.idNumber.substr(0, 2), "99");
    EXPECT_EQ(f.idNumber.substr(6, 8), f.birth);
    if (f.sex == "1" || f.sex == "2") {
        EXPECT_EQ((f.idNumber[16] - '0') % 2, f.sex == "1" ? 1 : 0) << "sequence parity is the sex";
    }
    EXPECT_NE(f.address.find("示例"), std::string::npos);
    EXPECT_NE(f.authority.find("示例"), std::string::npos);
}

TEST_P(SampleCard, BaseTextHasTheCardLayout)
{
    CardImage image;
    std::string error;
    ASSERT_TRUE(BuildCardImage(card(), image, error)) << error;
    const CardFields& f = card().fields;
    // Built again with the card tests' own builder: blank-padded UCS-2 LE.
    BaseTextBuilder expected;
    expected.name(f.name)
        .sex(f.sex)
        .nation(f.nation)
        .birthday(f.birth)
        .address(f.address)
        .idNumber(f.idNumber)
        .department(f.authority)
        .startDate(f.start)
        .endDate(f.end)
        .reserved(f.reserved);
    EXPECT_TRUE(std::equal(image.baseText.begin(), image.baseText.end(), expected.bytes().begin()));
    EXPECT_EQ(image.fingerprint.size(), card().hasFingerprint ? 1024u : 0u);
}

TEST_P(SampleCard, BaseTextDecodesToExactlyTheCardsFields)
{
    CardImage image;
    std::string error;
    ASSERT_TRUE(BuildCardImage(card(), image, error)) << error;
    TIDCardInfo record{};
    DecodeBaseTextInto(record, image.baseText.data());
    const CardFields& f = card().fields;
    auto gbk = [](const std::string& utf8) {
        std::string s = Utf8ToGbk(utf8);
        s.erase(std::remove(s.begin(), s.end(), ' '), s.end());
        return s;
    };
    EXPECT_EQ(FieldText(record.Name), gbk(f.name));
    EXPECT_EQ(FieldText(record.Sex), SexNameGbk(std::stoi(f.sex)));
    const int nation = std::stoi(f.nation);
    EXPECT_EQ(FieldText(record.Nation), NationNameGbk(nation));
    EXPECT_EQ(FieldText(record.Birthday), f.birth);
    EXPECT_EQ(FieldText(record.Address), gbk(f.address));
    EXPECT_EQ(FieldText(record.IDCardNo), f.idNumber);
    EXPECT_EQ(FieldText(record.CheckDepartment), gbk(f.authority));
    EXPECT_EQ(FieldText(record.StartDate), f.start);
    EXPECT_EQ(FieldText(record.EndDate), gbk(f.end));
    EXPECT_EQ(FieldText(record.Reserved), "");
    // No character of a sample card is lost in GBK.
    EXPECT_EQ(FieldText(record.Name).find('?'), std::string::npos);
    EXPECT_EQ(FieldText(record.Address).find('?'), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(EveryIdCard, SampleCard, ::testing::Range(0, idCardCount()));

class OtherKindCard : public SampleCard
{
};

// Each field as the card's record holds it, and the sample data's own rules.
TEST_P(OtherKindCard, IsFictionalAndDecodesBackThroughTheCore)
{
    CardImage image;
    std::string error;
    ASSERT_TRUE(BuildCardImage(card(), image, error)) << error;
    TCardKindInfo info{};
    DecodeCardKind(image.baseText.data(), info);
    const CardFields& f = card().fields;
    const auto text = [](const std::string& gbk) { return GbkToUtf8(gbk); };
    switch (card().kind) {
    case termbsim::CardKind::ForeignPermanent: {
        ASSERT_EQ(info.Kind, ::CardKind::ForeignPermanent);
        const TForeignCardInfo& r = info.Foreign;
        const std::pair<std::string, std::string> fields[] = {
            {FieldText(r.EnglishName), f.englishName},
            {text(FieldText(r.Sex)), f.sex == "1" ? "男" : "女"},
            {FieldText(r.CardNo), f.idNumber},
            {FieldText(r.NationalityCode), f.nationality},
            {text(FieldText(r.ChineseName)), f.name},
            {FieldText(r.StartDate), f.start},
            {FieldText(r.EndDate), f.end},
            {FieldText(r.Birthday), f.birth},
            {FieldText(r.CardVersion), f.version},
            {FieldText(r.AuthorityCode), f.authority},
        };
        for (const auto& [decoded, given] : fields)
            EXPECT_EQ(decoded, given);
        EXPECT_NE(CountryName(f.nationality), nullptr);
        EXPECT_EQ(f.idNumber.substr(0, 3), f.nationality);
        EXPECT_EQ(f.idNumber.find_first_not_of("0123456789", 3), std::string::npos);
        EXPECT_EQ(f.idNumber.substr(3, 2), "99") << "no real office's digits";
        EXPECT_EQ(CardNumberText(info), f.idNumber);
        break;
    }
    case termbsim::CardKind::HkMacaoTaiwanPermit: {
        ASSERT_EQ(info.Kind, ::CardKind::HkMacaoTaiwanPermit);
        const TPermitCardInfo& r = info.Permit;
        const std::pair<std::string, std::string> fields[] = {
            {text(FieldText(r.Name)), f.name},
            {FieldText(r.Birthday), f.birth},
            {text(FieldText(r.Address)), f.address},
            {FieldText(r.IDCardNo), f.idNumber},
            {text(FieldText(r.CheckDepartment)), f.authority},
            {FieldText(r.StartDate), f.start},
            {FieldText(r.EndDate), f.end},
            {FieldText(r.PassNo), f.passNumber},
            {FieldText(r.IssueCount), f.issueCount},
        };
        for (const auto& [decoded, given] : fields)
            EXPECT_EQ(decoded, given);
        EXPECT_TRUE(validIdNumber(f.idNumber)) << f.idNumber;
        EXPECT_EQ(f.idNumber.substr(6, 8), f.birth);
        EXPECT_EQ((f.idNumber[16] - '0') % 2, f.sex == "1" ? 1 : 0);
        EXPECT_NE(FieldText(r.Region), "") << "begins 81, 82 or 83";
        EXPECT_NE(f.address.find("示例"), std::string::npos);
        EXPECT_EQ(CardNumberText(info), f.idNumber);
        break;
    }
    default:
        // Not decoded: the mark and blanks only, shown as not supported.
        EXPECT_FALSE(CardKindDecoded(info.Kind));
        EXPECT_EQ(std::count(image.baseText.begin(), image.baseText.end(), ' '), 127);
        EXPECT_FALSE(CardNumberText(info).empty());
    }
}

INSTANTIATE_TEST_SUITE_P(EveryOtherCard, OtherKindCard,
                         ::testing::Range(idCardCount(), static_cast<int>(BuiltinCards().size())));

TEST(SampleCards, DecodedEdgeCasesReadAsTheToolShowsThem)
{
    const auto decode = [](int index) {
        CardImage image;
        std::string error;
        EXPECT_TRUE(BuildCardImage(BuiltinCards()[index], image, error)) << error;
        TIDCardInfo record{};
        DecodeBaseTextInto(record, image.baseText.data());
        return record;
    };
    const TIDCardInfo han = decode(0);
    EXPECT_EQ(GbkToUtf8(FieldText(han.Name)), "张示例");
    EXPECT_EQ(GbkToUtf8(FieldText(han.Sex)), "男");
    EXPECT_EQ(GbkToUtf8(FieldText(han.Nation)), "汉族");
    EXPECT_EQ(GbkToUtf8(FieldText(decode(1).Name)), "阿卜杜热合曼·买买提示例尼亚孜");
    const TIDCardInfo longAddress = decode(2);
    EXPECT_EQ(std::string(longAddress.Address, 71).find('\0'), 70u) << "70 bytes and a NUL";
    EXPECT_EQ(GbkToUtf8(FieldText(longAddress.Nation)), "基诺族");
    const TIDCardInfo other = decode(3);
    EXPECT_EQ(GbkToUtf8(FieldText(other.Sex)), "未说明"); // fills all 6 bytes
    EXPECT_EQ(GbkToUtf8(FieldText(other.Nation)), "其他");
    const TIDCardInfo foreign = decode(4);
    EXPECT_EQ(GbkToUtf8(FieldText(foreign.Nation)), "外国血统");
    EXPECT_EQ(GbkToUtf8(FieldText(foreign.EndDate)), "长期");
    EXPECT_EQ(FieldText(decode(5).Nation), "");
}

TEST(SampleCards, FieldsThatDoNotFitAreRefused)
{
    CardSpec card = BuiltinCards()[0];
    card.fields.name = "一二三四五六七八九十一二三四五六";
    CardImage image;
    std::string error;
    EXPECT_FALSE(BuildCardImage(card, image, error));
    EXPECT_EQ(error, "name has 16 characters; the field holds 15");
    card = BuiltinCards()[0];
    card.fields.address = "\xF0\x9F\x98\x80"; // beyond U+FFFF
    EXPECT_FALSE(BuildCardImage(card, image, error));
    EXPECT_NE(error.find("address"), std::string::npos);
}

TEST(SampleCards, ZeroPaddingEndsFieldsWithNul)
{
    CardSpec card = BuiltinCards()[0];
    card.zeroPadding = true;
    CardImage image;
    std::string error;
    ASSERT_TRUE(BuildCardImage(card, image, error)) << error;
    // 张示例 is three characters: the fourth unit of the name is U+0000.
    EXPECT_EQ(image.baseText[6], 0);
    EXPECT_EQ(image.baseText[7], 0);
    EXPECT_EQ(image.baseText[28], 0);
}

} // namespace

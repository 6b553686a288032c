#include "card/card_kinds.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "card/country_codes.h"
#include "card/gbk.h"

namespace {

// How a field's text is made from the base text, after the conversion to GBK.
enum class Rule {
    NoBlanks,    // every blank removed, as the identity card's fields
    Sex,         // NoBlanks, then the code becomes its sex name
    EnglishName, // ends trimmed, each run of inner blanks kept as one blank
};

struct KindField
{
    std::size_t offset; // in the base text
    std::size_t length; // bytes
    std::size_t recordOffset;
    std::size_t recordSize;
    Rule rule;
    BaseFieldRole role;
};

#define KIND_FIELD(Record, member, offset, length, rule, role)                                     \
    KindField                                                                                      \
    {                                                                                              \
        offset, length, offsetof(Record, member), sizeof(Record::member), rule,                    \
            BaseFieldRole::role                                                                    \
    }

constexpr KindField kForeignFields[] = {
    KIND_FIELD(TForeignCardInfo, EnglishName, 0, 120, Rule::EnglishName, Name),
    KIND_FIELD(TForeignCardInfo, Sex, 120, 2, Rule::Sex, Sex),
    KIND_FIELD(TForeignCardInfo, CardNo, 122, 30, Rule::NoBlanks, Number),
    KIND_FIELD(TForeignCardInfo, NationalityCode, 152, 6, Rule::NoBlanks, Code),
    KIND_FIELD(TForeignCardInfo, ChineseName, 158, 30, Rule::NoBlanks, Name),
    KIND_FIELD(TForeignCardInfo, StartDate, 188, 16, Rule::NoBlanks, Date),
    KIND_FIELD(TForeignCardInfo, EndDate, 204, 16, Rule::NoBlanks, Date),
    KIND_FIELD(TForeignCardInfo, Birthday, 220, 16, Rule::NoBlanks, Date),
    KIND_FIELD(TForeignCardInfo, CardVersion, 236, 4, Rule::NoBlanks, Code),
    KIND_FIELD(TForeignCardInfo, AuthorityCode, 240, 8, Rule::NoBlanks, Authority),
};

// The identity card's fields where the permit keeps them; bytes 32-35 (the
// nation on an identity card) are reserved.
constexpr KindField kPermitFields[] = {
    KIND_FIELD(TPermitCardInfo, Name, 0, 30, Rule::NoBlanks, Name),
    KIND_FIELD(TPermitCardInfo, Sex, 30, 2, Rule::Sex, Sex),
    KIND_FIELD(TPermitCardInfo, Birthday, 36, 16, Rule::NoBlanks, Date),
    KIND_FIELD(TPermitCardInfo, Address, 52, 70, Rule::NoBlanks, Address),
    KIND_FIELD(TPermitCardInfo, IDCardNo, 122, 36, Rule::NoBlanks, Number),
    KIND_FIELD(TPermitCardInfo, CheckDepartment, 158, 30, Rule::NoBlanks, Authority),
    KIND_FIELD(TPermitCardInfo, StartDate, 188, 16, Rule::NoBlanks, Date),
    KIND_FIELD(TPermitCardInfo, EndDate, 204, 16, Rule::NoBlanks, Date),
    KIND_FIELD(TPermitCardInfo, PassNo, 220, 18, Rule::NoBlanks, Number),
    KIND_FIELD(TPermitCardInfo, IssueCount, 238, 4, Rule::NoBlanks, Code),
};

#undef KIND_FIELD

// The identity card's and the permit's ID number, for the card's number.
constexpr std::size_t kIdNumberOffset = 122;
constexpr std::size_t kIdNumberLength = 36;

// An English name as the card prints it: "SMITH JOHN" stays two words.
// Padding blanks go; a GBK trail byte is never 0x20.
std::string collapseBlanks(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == ' ' && (out.empty() || out.back() == ' '))
            continue;
        out += c;
    }
    if (!out.empty() && out.back() == ' ')
        out.pop_back();
    return out;
}

std::string fieldText(const unsigned char* baseText, const KindField& f)
{
    std::string text = BaseTextFieldGbk(baseText, f.offset, f.length);
    if (f.rule == Rule::EnglishName)
        return collapseBlanks(text);
    RemoveBlanks(text);
    return f.rule == Rule::Sex ? SexFieldText(text) : text;
}

template <class Record, std::size_t N>
void decodeFields(const unsigned char* baseText, const KindField (&fields)[N], Record& out)
{
    for (const KindField& f : fields)
        StoreFieldText(reinterpret_cast<char*>(&out) + f.recordOffset, f.recordSize,
                       fieldText(baseText, f));
}

template <std::size_t N> void store(char (&field)[N], const std::string& text)
{
    StoreFieldText(field, N, text);
}

const char* permitRegion(const std::string& idNumber)
{
    const std::string prefix = idNumber.substr(0, 2);
    return prefix == "81" ? "香港" : prefix == "82" ? "澳门" : prefix == "83" ? "台湾" : "";
}

// For a card whose number cannot be read: the mark (or '?' when it is no
// printable letter) and the FNV-1a checksum of the base text.
std::string standInNumber(const unsigned char* baseText)
{
    std::uint32_t h = 2166136261u;
    for (std::size_t i = 0; i < kBaseTextSize; ++i)
        h = (h ^ baseText[i]) * 16777619u;
    const unsigned mark = baseText[kKindMarkOffset] | baseText[kKindMarkOffset + 1] << 8;
    char text[16];
    std::snprintf(text, sizeof text, "%c-%08X", mark > 0x20 && mark < 0x7F ? char(mark) : '?',
                  static_cast<unsigned>(h));
    return text;
}

} // namespace

CardKind CardKindOf(const unsigned char* baseText)
{
    const unsigned mark = baseText[kKindMarkOffset] | baseText[kKindMarkOffset + 1] << 8;
    switch (mark) {
    case 0x0000:
    case 0x0020:
        return CardKind::IdCard;
    case 'I':
        return CardKind::ForeignPermanent;
    case 'J':
        return CardKind::HkMacaoTaiwanPermit;
    case 'Y':
        return CardKind::ForeignPermanent2023;
    default:
        return CardKind::Unknown;
    }
}

const char* CardKindName(CardKind kind)
{
    switch (kind) {
    case CardKind::IdCard:
        return "居民身份证";
    case CardKind::ForeignPermanent:
        return "外国人永久居留身份证";
    case CardKind::HkMacaoTaiwanPermit:
        return "港澳台居民居住证";
    case CardKind::ForeignPermanent2023:
        return "外国人永久居留身份证（2023年版）";
    case CardKind::Unknown:
        break;
    }
    return "未知证件";
}

bool CardKindDecoded(CardKind kind)
{
    return kind != CardKind::ForeignPermanent2023 && kind != CardKind::Unknown;
}

void DecodeForeignBaseText(const unsigned char* baseText, TForeignCardInfo& out)
{
    decodeFields(baseText, kForeignFields, out);
    store(out.Nationality, CountryNameGbk(FieldText(out.NationalityCode)));
    store(out.Authority, Utf8ToGbk(kForeignCardIssuer));
}

void DecodePermitBaseText(const unsigned char* baseText, TPermitCardInfo& out)
{
    decodeFields(baseText, kPermitFields, out);
    store(out.Region, Utf8ToGbk(permitRegion(FieldText(out.IDCardNo))));
}

void DecodeCardKind(const unsigned char* baseText, TCardKindInfo& out)
{
    std::memset(&out, 0, sizeof out);
    out.Kind = CardKindOf(baseText);
    switch (out.Kind) {
    case CardKind::IdCard:
        store(out.Number, fieldText(baseText, {kIdNumberOffset, kIdNumberLength, 0, 0,
                                               Rule::NoBlanks, BaseFieldRole::Number}));
        break;
    case CardKind::ForeignPermanent:
        DecodeForeignBaseText(baseText, out.Foreign);
        store(out.Number, FieldText(out.Foreign.CardNo));
        break;
    case CardKind::HkMacaoTaiwanPermit:
        DecodePermitBaseText(baseText, out.Permit);
        store(out.Number, FieldText(out.Permit.IDCardNo));
        break;
    case CardKind::ForeignPermanent2023:
    case CardKind::Unknown:
        store(out.Number, standInNumber(baseText));
        break;
    }
}

namespace {

template <std::size_t N> std::vector<BaseFieldPlace> placesOf(const KindField (&fields)[N])
{
    std::vector<BaseFieldPlace> out;
    for (const KindField& f : fields)
        out.push_back({f.offset, f.length, f.role});
    return out;
}

} // namespace

std::vector<BaseFieldPlace> BaseTextFields(CardKind kind)
{
    switch (kind) {
    case CardKind::IdCard: {
        std::size_t n = 0;
        const BaseFieldPlace* fields = IdCardBaseFields(n);
        return {fields, fields + n};
    }
    case CardKind::ForeignPermanent:
        return placesOf(kForeignFields);
    case CardKind::HkMacaoTaiwanPermit:
        return placesOf(kPermitFields);
    case CardKind::ForeignPermanent2023:
    case CardKind::Unknown:
        break;
    }
    return {};
}

std::string CardNumberText(const TCardKindInfo& info)
{
    return FieldText(info.Number);
}

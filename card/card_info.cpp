#include "card/card_info.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <iterator>
#include <utility>

#include "base/text.h"
#include "card/gbk.h"

const char* const SexNames[kSexCodeCount] = {
    "未知", "男", "女", "", "", "", "", "", "", "未说明",
};

// clang-format off: ten codes a row, so a code is easy to find.
const char* const NationNames[kNationCodeMax + 1] = {
    "", // no nation has code 0
    "汉族", "蒙古族", "回族", "藏族", "维吾尔族", "苗族", "彝族", "壮族", "布依族",
    "朝鲜族", // 1-10
    "满族", "侗族", "瑶族", "白族", "土家族", "哈尼族", "哈萨克族", "傣族", "黎族",
    "傈僳族", // 11-20
    "佤族", "畲族", "高山族", "拉祜族", "水族", "东乡族", "纳西族", "景颇族", "柯尔克孜族",
    "土族", // 21-30
    "达斡尔族", "仫佬族", "羌族", "布朗族", "撒拉族", "毛南族", "仡佬族", "锡伯族", "阿昌族",
    "普米族", // 31-40
    "塔吉克族", "怒族", "乌孜别克族", "俄罗斯族", "鄂温克族", "德昂族", "保安族", "裕固族", "京族",
    "塔塔尔族",                                                   // 41-50
    "独龙族", "鄂伦春族", "赫哲族", "门巴族", "珞巴族", "基诺族", // 51-56
    // 57 to 96 name no nation.
    "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "",
    "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "其他", "外国血统", // 97, 98
};
// clang-format on

namespace {

template <std::size_t N> std::array<std::string, N> toGbk(const char* const (&names)[N])
{
    std::array<std::string, N> out;
    for (std::size_t i = 0; i < N; ++i)
        out[i] = Utf8ToGbk(names[i]);
    return out;
}

template <class Table> const std::string& lookup(const Table& table, int code)
{
    static const std::string empty;
    return code >= 0 && static_cast<std::size_t>(code) < table.size() ? table[code] : empty;
}

// Where each field lies in the base text and which record field it fills.
struct BaseField
{
    std::size_t offset;
    std::size_t length;
    std::size_t recordOffset;
    std::size_t recordSize;
    BaseFieldRole role;
};

using Role = BaseFieldRole;
constexpr BaseField kNameField{0, 30, offsetof(TIDCardInfo, Name), 31, Role::Name};
constexpr BaseField kSexField{30, 2, offsetof(TIDCardInfo, Sex), 6, Role::Sex};
constexpr BaseField kNationField{32, 4, offsetof(TIDCardInfo, Nation), 11, Role::Nation};

constexpr BaseField kBaseFields[] = {
    kNameField,
    kSexField,
    kNationField,
    {36, 16, offsetof(TIDCardInfo, Birthday), 9, Role::Date},
    {52, 70, offsetof(TIDCardInfo, Address), 71, Role::Address},
    {122, 36, offsetof(TIDCardInfo, IDCardNo), 19, Role::Number},
    {158, 30, offsetof(TIDCardInfo, CheckDepartment), 31, Role::Authority},
    {188, 16, offsetof(TIDCardInfo, StartDate), 9, Role::Date},
    {204, 16, offsetof(TIDCardInfo, EndDate), 9, Role::Date},
    {220, 36, offsetof(TIDCardInfo, Reserved), 37, Role::Reserved},
};
constexpr std::size_t kBaseFieldCount = std::size(kBaseFields);

template <std::size_t... I>
constexpr std::array<BaseFieldPlace, sizeof...(I)> placesOf(std::index_sequence<I...>)
{
    return {BaseFieldPlace{kBaseFields[I].offset, kBaseFields[I].length, kBaseFields[I].role}...};
}
constexpr auto kBaseFieldPlaces = placesOf(std::make_index_sequence<kBaseFieldCount>{});

static_assert(kBaseFields[9].offset + kBaseFields[9].length == kBaseTextSize);

std::string decodeField(const unsigned char* base, const BaseField& f)
{
    std::string text = BaseTextFieldGbk(base, f.offset, f.length);
    RemoveBlanks(text);
    return text;
}

} // namespace

const BaseFieldPlace* IdCardBaseFields(std::size_t& count)
{
    count = kBaseFieldPlaces.size();
    return kBaseFieldPlaces.data();
}

const std::string& SexNameGbk(int code)
{
    static const auto table = toGbk(SexNames);
    return lookup(table, code);
}

const std::string& NationNameGbk(int code)
{
    static const auto table = toGbk(NationNames);
    return lookup(table, code >= 1 ? code : -1);
}

std::string FieldText(const char* field, std::size_t size)
{
    const void* nul = std::memchr(field, 0, size);
    return std::string(field, nul ? static_cast<const char*>(nul) - field : size);
}

std::string BaseTextFieldGbk(const unsigned char* baseText, std::size_t offset, std::size_t length)
{
    const unsigned char* p = baseText + offset;
    std::size_t units = 0;
    while (units < length / 2 && (p[2 * units] | p[2 * units + 1]) != 0)
        ++units;
    return Ucs2LeToGbk(p, units);
}

void RemoveBlanks(std::string& text)
{
    text.erase(std::remove(text.begin(), text.end(), ' '), text.end());
}

std::string SexFieldText(const std::string& codeText)
{
    std::int32_t code = 0;
    if (ParseInt32(codeText, code) && code >= 0 && code < kSexCodeCount)
        return SexNameGbk(code);
    return codeText;
}

void StoreFieldText(char* field, std::size_t size, const std::string& text)
{
    const std::size_t n = std::min(text.size(), size);
    std::memcpy(field, text.data(), n);
    std::memset(field + n, 0, size - n);
}

void DecodeBaseTextInto(TIDCardInfo& record, const unsigned char* baseText)
{
    for (const BaseField& f : kBaseFields) {
        std::string text = decodeField(baseText, f);
        // A sex or nation code that is not a number keeps its text as read.
        std::int32_t code = 0;
        if (f.offset == kSexField.offset)
            text = SexFieldText(text);
        else if (f.offset == kNationField.offset && ParseInt32(text, code) && code >= 1 &&
                 code <= kNationCodeMax)
            text = NationNameGbk(code);
        StoreFieldText(reinterpret_cast<char*>(&record) + f.recordOffset, f.recordSize, text);
    }
}

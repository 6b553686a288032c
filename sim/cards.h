#pragma once
// The fictional cards of the virtual reader: their printed data, the 256-byte
// base text a reader returns for them, their fingerprint data and photo.

#include <array>
#include <cstdint>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "sim/photo.h"
#include "sim/portrait.h"

namespace termbsim {

inline constexpr std::size_t kBaseTextSize = 256;
inline constexpr std::size_t kFingerprintSize = 1024;

// The kinds of card a reader returns through the same read call; every kind
// but the identity card carries its mark in the base text's bytes 248-249.
enum class CardKind { IdCard, ForeignPermanent, HkMacaoTaiwanPermit, ForeignPermanent2023 };

// A card's printed data as UTF-8 text, one member per base-text field. A kind
// uses the members its layout names (kind layouts below); the rest stay unused.
struct CardFields
{
    std::string name;
    std::string sex;    // code digit
    std::string nation; // two code digits
    std::string birth;  // YYYYMMDD
    std::string address;
    std::string idNumber;
    std::string authority;
    std::string start;
    std::string end; // YYYYMMDD or 长期
    std::string reserved;
    // Other kinds only; initialised so the identity cards' lists may end early.
    std::string englishName{}; // foreign card
    std::string nationality{}; // foreign card: three letters of GB/T 2659
    std::string version{};     // foreign card: card version, two digits
    std::string passNumber{};  // permit: the holder's travel permit number
    std::string issueCount{};  // permit: two digits
};

struct CardSpec
{
    std::string key; // how a scenario names a built-in card, e.g. "han-male"
    CardKind kind = CardKind::IdCard;
    CardFields fields;
    bool hasFingerprint = true;
    bool zeroPadding = false; // fields end with U+0000 instead of blanks
    PortraitLook look;
    std::optional<PaletteImage> photo; // a photo given by file; else drawn from `look`
};

// What the reader hands out for a card.
struct CardImage
{
    std::array<std::uint8_t, kBaseTextSize> baseText{};
    std::vector<std::uint8_t> photo;       // compressed, at most kWltMaxSize bytes
    std::vector<std::uint8_t> fingerprint; // kFingerprintSize bytes, or empty
};

// The built-in sample cards, in a fixed order; every name, number and address
// is made up (region codes 99xxxx are assigned to no real place).
const std::vector<CardSpec>& BuiltinCards();

// The card's photo as a palette image (the given one or the drawn portrait).
PaletteImage CardPhotoImage(const CardSpec& card);

// One base-text field: where it lies and how many UCS-2 characters it holds.
struct BaseField
{
    const char* key; // as in scenario files
    std::size_t offset;
    std::size_t length; // bytes
    std::string CardFields::*member;
};
inline constexpr BaseField kBaseFields[] = {
    {"name", 0, 30, &CardFields::name},
    {"sex", 30, 2, &CardFields::sex},
    {"nation", 32, 4, &CardFields::nation},
    {"birth", 36, 16, &CardFields::birth},
    {"address", 52, 70, &CardFields::address},
    {"id_number", 122, 36, &CardFields::idNumber},
    {"authority", 158, 30, &CardFields::authority},
    {"start", 188, 16, &CardFields::start},
    {"end", 204, 16, &CardFields::end},
    {"reserved", 220, 36, &CardFields::reserved},
};

// The foreign permanent resident card (2017): the card number is
// `id_number`, the code of the office that took the application `authority`.
inline constexpr BaseField kForeignFields[] = {
    {"english_name", 0, 120, &CardFields::englishName},
    {"sex", 120, 2, &CardFields::sex},
    {"id_number", 122, 30, &CardFields::idNumber},
    {"nationality", 152, 6, &CardFields::nationality},
    {"name", 158, 30, &CardFields::name},
    {"start", 188, 16, &CardFields::start},
    {"end", 204, 16, &CardFields::end},
    {"birth", 220, 16, &CardFields::birth},
    {"version", 236, 4, &CardFields::version},
    {"authority", 240, 8, &CardFields::authority},
};
// The residence permit: the identity card's layout without the nation (bytes
// 32-35 reserved) and with the pass number and the issue count in place of
// the reserved field.
constexpr std::array<BaseField, 10> PermitFields()
{
    std::array<BaseField, 10> out{};
    std::size_t n = 0;
    for (const BaseField& f : kBaseFields) {
        if (f.member != &CardFields::nation && f.member != &CardFields::reserved)
            out[n++] = f;
    }
    out[n++] = {"pass_number", 220, 18, &CardFields::passNumber};
    out[n++] = {"issue_count", 238, 4, &CardFields::issueCount};
    return out;
}
inline constexpr std::array<BaseField, 10> kPermitFields = PermitFields();

// A kind's layout: its scenario name, its mark (a blank for the identity
// card, whose `reserved` field covers the mark's bytes) and its fields. The
// 2023 foreign card's layout is not modelled: it carries its mark and blanks.
struct CardLayout
{
    CardKind kind;
    const char* key; // as in scenario files
    char mark;
    const BaseField* fields;
    std::size_t fieldCount;
    const BaseField* begin() const { return fields; }
    const BaseField* end() const { return fields + fieldCount; }
};
inline constexpr std::size_t kMarkOffset = 248;
inline constexpr CardLayout kLayouts[] = {
    {CardKind::IdCard, "id", ' ', kBaseFields, std::size(kBaseFields)},
    {CardKind::ForeignPermanent, "foreign", 'I', kForeignFields, std::size(kForeignFields)},
    {CardKind::HkMacaoTaiwanPermit, "permit", 'J', kPermitFields.data(), kPermitFields.size()},
    {CardKind::ForeignPermanent2023, "foreign-2023", 'Y', nullptr, 0},
};
const CardLayout& LayoutOf(CardKind kind);

// UTF-8 text as UCS-2 code units; false for invalid UTF-8 and for characters
// beyond U+FFFF, which UCS-2 cannot hold.
bool Utf8ToUcs2(const std::string& text, std::vector<std::uint16_t>& units);

// Builds everything the reader returns for `card`. False and a reason when a
// field does not fit or the photo does not fit the format or kWltMaxSize.
bool BuildCardImage(const CardSpec& card, CardImage& image, std::string& error);

// ISO 7064 MOD 11-2 check character of the first 17 digits of an ID number.
char IdCheckCharacter(const std::string& first17);

} // namespace termbsim

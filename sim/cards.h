#pragma once
// The fictional cards of the virtual reader: their printed data, the 256-byte
// base text a reader returns for them, their fingerprint data and photo.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim/photo.h"
#include "sim/portrait.h"

namespace termbsim {

inline constexpr std::size_t kBaseTextSize = 256;
inline constexpr std::size_t kFingerprintSize = 1024;

// A card's printed data as UTF-8 text, one member per base-text field.
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
};

struct CardSpec
{
    std::string key; // how a scenario names a built-in card, e.g. "han-male"
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
const std::vector<CardSpec>& builtinCards();

// The card's photo as a palette image (the given one or the drawn portrait).
PaletteImage cardPhoto(const CardSpec& card);

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

// UTF-8 text as UCS-2 code units; false for invalid UTF-8 and for characters
// beyond U+FFFF, which UCS-2 cannot hold.
bool utf8ToUcs2(const std::string& text, std::vector<std::uint16_t>& units);

// Builds everything the reader returns for `card`. False and a reason when a
// field does not fit or the photo does not fit the format or kWltMaxSize.
bool buildCardImage(const CardSpec& card, CardImage& image, std::string& error);

// ISO 7064 MOD 11-2 check character of the first 17 digits of an ID number.
char idCheckCharacter(const std::string& first17);

} // namespace termbsim

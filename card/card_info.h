#pragma once
// The decoded card record, the sex and nation code tables, and the decoding of
// a card's 256-byte base text into the record.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Size of the base text the card holds: ten fixed-width UCS-2 LE fields.
inline constexpr std::size_t kBaseTextSize = 256;
inline constexpr std::size_t kFingerprintSize = 1024;

// The card record. Text fields hold GBK text followed by a NUL when shorter
// than the field; a text that fills its field has no NUL. The layout is the
// one the reader library writes the fingerprint into, so it is fixed.
struct TIDCardInfo
{
    char Name[31];
    char Sex[6];
    char Nation[11];
    char Birthday[9];
    char Address[71];
    char IDCardNo[19];
    char CheckDepartment[31];
    char StartDate[9];
    char EndDate[9];
    char Reserved[37];
    char AppAddress[71];
    unsigned char FingerprintData[kFingerprintSize];
    std::int32_t FingerprintLength;
};

static_assert(offsetof(TIDCardInfo, Name) == 0);
static_assert(offsetof(TIDCardInfo, Sex) == 31);
static_assert(offsetof(TIDCardInfo, Nation) == 37);
static_assert(offsetof(TIDCardInfo, Birthday) == 48);
static_assert(offsetof(TIDCardInfo, Address) == 57);
static_assert(offsetof(TIDCardInfo, IDCardNo) == 128);
static_assert(offsetof(TIDCardInfo, CheckDepartment) == 147);
static_assert(offsetof(TIDCardInfo, StartDate) == 178);
static_assert(offsetof(TIDCardInfo, EndDate) == 187);
static_assert(offsetof(TIDCardInfo, Reserved) == 196);
static_assert(offsetof(TIDCardInfo, AppAddress) == 233);
static_assert(offsetof(TIDCardInfo, FingerprintData) == 304);
static_assert(offsetof(TIDCardInfo, FingerprintLength) == 1328);
static_assert(sizeof(TIDCardInfo) == 1332);

// A fixed-size text field read as text: its bytes up to the first NUL, and at
// most `size` bytes.
std::string FieldText(const char* field, std::size_t size);

template <std::size_t N> std::string FieldText(const char (&field)[N])
{
    return FieldText(field, N);
}

// `text` without its leading and trailing bytes 0x00 to 0x20: the one
// trimming rule of the settings file, the card view and the settings dialog.
std::string TrimText(std::string_view text);

// The code tables, as UTF-8 source text. SexNames is indexed by the sex code
// 0 to 9; NationNames by the nation code 1 to 98 (entry 0 is unused and empty).
inline constexpr int kSexCodeCount = 10;
inline constexpr int kNationCodeMax = 98;
extern const char* const SexNames[kSexCodeCount];
extern const char* const NationNames[kNationCodeMax + 1];

// The same names in GBK, as the record stores them; empty outside the ranges.
const std::string& SexNameGbk(int code);
const std::string& NationNameGbk(int code);

// Decodes the first 256 bytes at `baseText` into the ten text fields of
// CardInfo, Name to Reserved. Touches nothing else and never throws.
void DecodeBaseText(const unsigned char* baseText);

// The same into any record; DecodeBaseText(p) is DecodeBaseTextInto(CardInfo, p).
void DecodeBaseTextInto(TIDCardInfo& record, const unsigned char* baseText);

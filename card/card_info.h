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

// The card's photo as the reader library's converter makes it: a Windows
// bitmap file of 102 by 126 pixels at 24 bits per pixel, in an output buffer
// one byte longer.
inline constexpr int kCardBitmapSize = 38862;
inline constexpr unsigned kCardBitmapBufferSize = kCardBitmapSize + 1;

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

// The code tables, as UTF-8 source text. SexNames is indexed by the sex code
// 0 to 9; NationNames by the nation code 1 to 98 (entry 0 is unused and empty).
inline constexpr int kSexCodeCount = 10;
inline constexpr int kNationCodeMax = 98;
extern const char* const SexNames[kSexCodeCount];
extern const char* const NationNames[kNationCodeMax + 1];

// The same names in GBK, as the record stores them; empty outside the ranges.
const std::string& SexNameGbk(int code);
const std::string& NationNameGbk(int code);

// What a field of the base text holds, for code that handles the fields by
// their meaning without decoding them (a recording's redaction).
enum class BaseFieldRole {
    Name,      // a holder's name, in any script
    Sex,       // the sex code
    Nation,    // the nation code
    Date,      // YYYYMMDD, or a text such as 长期 for no end
    Address,   // the holder's address
    Number,    // a number that names the holder or the card
    Authority, // the issuing authority, or the code of the office
    Code,      // a code that names no one: nationality, card version, issue count
    Reserved,  // reserved bytes; on the identity card they cover the kind mark
};
struct BaseFieldPlace
{
    std::size_t offset; // in the base text, bytes
    std::size_t length; // bytes
    BaseFieldRole role;
};

// The identity card's ten fields, in order, covering all 256 bytes.
const BaseFieldPlace* IdCardBaseFields(std::size_t& count);

// Decodes the first 256 bytes at `baseText` into the ten text fields of
// `record`, Name to Reserved. Touches nothing else and never throws.
// DecodeBaseText (app/shared_state.h) does it for the process-wide CardInfo.
void DecodeBaseTextInto(TIDCardInfo& record, const unsigned char* baseText);

// The steps of the decoding, shared with the decoders of the other card kinds.

// One base-text field as GBK: its UCS-2 LE units from `offset` up to the first
// U+0000 or `length` bytes, blanks kept.
std::string BaseTextFieldGbk(const unsigned char* baseText, std::size_t offset, std::size_t length);

// Removes every blank (0x20), inside the text too. A GBK trail byte is never
// 0x20, so no double-byte character is touched.
void RemoveBlanks(std::string& text);

// What the sex field stores for the code text read: the SexNames entry (GBK)
// for a code 0 to 9; any other text, a non-number included, stays as it is.
std::string SexFieldText(const std::string& codeText);

// Stores `text` in a fixed-size field: its bytes and a NUL, or the first
// `size` bytes without a NUL when the text is as long or longer.
void StoreFieldText(char* field, std::size_t size, const std::string& text);

#pragma once
// The kinds of card a reader returns through the same read call, told apart
// by the kind mark at bytes 248-249 of the 256-byte base text, and the
// decoding of the kinds whose base text is laid out differently from the
// resident identity card's.
//
// After a successful read the reading thread decodes the resident identity
// card's record as always (DecodeBaseText into CardInfo) and also calls
// DecodeCardKind on the same base text; the card view then shows CardInfo for
// an identity card and the kind's own record for the others.

#include <cstddef>
#include <string>
#include <vector>

#include "card/card_info.h"

enum class CardKind {
    IdCard,               // resident identity card: mark blank or U+0000
    ForeignPermanent,     // foreign permanent resident card, 2017 layout: mark 'I'
    HkMacaoTaiwanPermit,  // residence permit for Hong Kong, Macao and Taiwan residents: mark 'J'
    ForeignPermanent2023, // foreign permanent resident card, 2023 layout: mark 'Y'
    Unknown,              // any other mark: nothing is decoded
};

// Where the kind mark lies: one UCS-2 LE character.
inline constexpr std::size_t kKindMarkOffset = 248;

// The kind by the mark of the first 256 bytes at `baseText`.
CardKind CardKindOf(const unsigned char* baseText);

// The kind's name (UTF-8 source text), e.g. "外国人永久居留身份证", for the card
// view's title; "未知证件" for Unknown.
const char* CardKindName(CardKind kind);

// False for the kinds whose layout the tool does not decode (the 2023 foreign
// card and Unknown): the card view shows kUnsupportedLayoutText for them
// instead of any field.
bool CardKindDecoded(CardKind kind);
inline constexpr const char* kUnsupportedLayoutText = "此类证件的版式暂不支持";

// The issuer printed on the foreign permanent resident card. Its base text
// holds only the code of the office that took the application, so the record
// stores this fixed name as the issuer and the code beside it.
inline constexpr const char* kForeignCardIssuer = "中华人民共和国国家移民管理局";

// Foreign permanent resident card, 2017 layout. Text fields as in
// TIDCardInfo: GBK, a NUL when shorter than the field, each one byte longer
// than the longest text it is made for.
struct TForeignCardInfo
{
    char EnglishName[121];   // 60 characters; ends trimmed, inner blanks kept as one
    char Sex[6];             // as TIDCardInfo::Sex
    char CardNo[16];         // 15 characters: country letters and twelve digits
    char NationalityCode[4]; // three letters (GB/T 2659)
    char Nationality[31];    // the country's Chinese short name, or the code itself
    char ChineseName[31];    // may be empty: not every holder has one
    char StartDate[9];
    char EndDate[9];
    char Birthday[9];
    char CardVersion[3];
    char AuthorityCode[5]; // code of the office that took the application
    char Authority[31];    // kForeignCardIssuer in GBK
};

// Residence permit for Hong Kong, Macao and Taiwan residents: the identity
// card's layout without the nation, with the pass number and issue count.
struct TPermitCardInfo
{
    char Name[31];
    char Sex[6];
    char Birthday[9];
    char Address[71];
    char IDCardNo[19]; // begins 81 Hong Kong, 82 Macao, 83 Taiwan
    char Region[5];    // 香港, 澳门 or 台湾 by the ID number; empty for another prefix
    char CheckDepartment[31];
    char StartDate[9];
    char EndDate[9];
    char PassNo[10];    // number of the holder's travel permit, 9 characters
    char IssueCount[3]; // how many times the permit has been issued
};

// What DecodeCardKind makes of a base text. Only the record of `Kind` is
// filled; the other stays zero.
struct TCardKindInfo
{
    CardKind Kind;
    char Number[19]; // the card's number for every kind (see CardNumberText)
    TForeignCardInfo Foreign;
    TPermitCardInfo Permit;
};

void DecodeForeignBaseText(const unsigned char* baseText, TForeignCardInfo& out);
void DecodePermitBaseText(const unsigned char* baseText, TPermitCardInfo& out);

// Zero-fills `out`, sets the kind from the mark and decodes the kind's record.
// For an identity card it decodes no record (CardInfo is its record) but the
// number. Reads exactly the first 256 bytes and never throws.
void DecodeCardKind(const unsigned char* baseText, TCardKindInfo& out);

// The card's number as text: the ID number of an identity card or a permit,
// the card number of a 2017 foreign card. For a kind that is not decoded it
// is a stand-in that is never empty, the mark and a checksum of the base text
// (e.g. "Y-1A2B3C4D"), so the reading thread can still tell that a card is
// shown.
std::string CardNumberText(const TCardKindInfo& info);

// Where the fields of `kind` lie in its base text and what each holds, in
// order; empty for a kind whose layout is not decoded. The kind mark lies
// outside the foreign card's and the permit's fields.
std::vector<BaseFieldPlace> BaseTextFields(CardKind kind);

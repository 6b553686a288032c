#pragma once
// Text of the card view, worked out on the GBK bytes the card record holds:
// line breaks, dates, the fingerprint line. Widths and positions count bytes,
// and a double-byte character is never split. No Qt here, so these routines
// can be tested and fuzzed on their own.

#include <cstdint>
#include <string>
#include <string_view>

#include "card/card_info.h"

// Breaks `text` into lines of at most `width` bytes with CR LF. Each line ends
// before the first character that starts at byte `width` or later (positions
// count from 1; a byte above 0x80 starts a double-byte character), so a line
// holds `width` - 1 single-byte characters or `width` bytes of double-byte
// ones. No break is made when the rest would be a single byte. A width below 2
// is taken as 2, the narrowest width at which every line holds a character.
std::string WrapText(std::string_view text, int width);

// Each byte as two upper-case hexadecimal digits and a blank; a count of 0 or
// less gives an empty text.
std::string BytesToHex(const unsigned char* bytes, int count);

// A date field for display: trimmed, and when that leaves 8 bytes or more,
// bytes 1-4, `separator`, 5-6, `separator`, 7-8 (anything after the eighth
// byte is dropped). A shorter text is returned trimmed but otherwise as is,
// and so is a text whose first eight bytes hold a double-byte character,
// which the cuts would split.
std::string FormatDate(std::string_view field, std::string_view separator);

// The date of birth sets its numbers in front of the year, month and day marks
// of the card face; the validity dates read YYYY.MM.DD.
inline constexpr std::string_view kBirthdaySeparator = "     ";
inline constexpr std::string_view kValiditySeparator = ".";

// The fingerprint line under the card. A length of exactly the buffer's size
// is a complete fingerprint, shown in hexadecimal; 0 or less means that none
// was read; any other length is not one the reader should give, so the line
// shows the data as raw text and is marked (`unexpected`) for the view to
// show it in red. Control characters in that text are shown in caret
// notation (a line feed as ^J), so the line stays one line.
struct FingerprintLine
{
    std::string text; // GBK
    bool unexpected = false;
};
FingerprintLine FingerprintLineFor(const unsigned char (&data)[kFingerprintSize],
                                   std::int32_t length);

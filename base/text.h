#pragma once
// The text rules every layer shares: reading a number, trimming, and comparing
// without regard to letter case. Each rule is defined here once.

#include <cstdint>
#include <string>
#include <string_view>

// True and the value when `text` is a decimal 32-bit signed integer with an
// optional sign and nothing else around it.
bool ParseInt32(std::string_view text, std::int32_t& value);

// The value of such an integer (ParseInt32), or 0 for text that does not
// convert (the empty text and out-of-range numbers included): the one rule by
// which settings text becomes a number.
std::int32_t IntOrZero(std::string_view text);

// `text` without its leading and trailing bytes 0x00 to 0x20: the one
// trimming rule of the settings file, the card view and the settings dialog.
std::string TrimText(std::string_view text);

// Plain byte order with ASCII letters compared as lower case: the order in
// which serial ports are listed and searched.
bool LessIgnoringCase(std::string_view a, std::string_view b);
bool EqualIgnoringCase(std::string_view a, std::string_view b);

// `text` with every control byte (0x00 to 0x1F and 0x7F) in caret notation:
// a line feed as ^J, an escape as ^[, a delete as ^?. Text from a card or a
// reader library is data; shown this way it stays on its line and can never
// move a terminal's cursor or retitle it. Bytes from 0x80 up are kept, so
// GBK and UTF-8 text keeps its characters (neither has a control byte
// inside a character).
std::string CaretNotation(std::string_view text);

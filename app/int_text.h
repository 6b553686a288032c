#pragma once
// The one rule by which text becomes a number: a decimal 32-bit signed integer
// with an optional sign, nothing else around it.

#include <cstdint>
#include <string_view>

// True and the value when `text` is such an integer within 32 bits.
bool ParseInt32(std::string_view text, std::int32_t& value);

// Integer-or-zero: the value, or 0 for text that does not convert (the empty
// text and out-of-range numbers included).
std::int32_t IntOrZero(std::string_view text);

#pragma once
// Reading text as a number: a decimal 32-bit signed integer with an optional
// sign, nothing else around it.

#include <cstdint>
#include <string_view>

// True and the value when `text` is such an integer within 32 bits.
bool ParseInt32(std::string_view text, std::int32_t& value);

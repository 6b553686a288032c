#pragma once
// Integer-or-zero: the one rule by which settings text becomes a number.

#include <cstdint>
#include <string_view>

#include "card/decimal.h"

// The value of a decimal 32-bit integer (ParseInt32), or 0 for text that does
// not convert (the empty text and out-of-range numbers included).
std::int32_t IntOrZero(std::string_view text);

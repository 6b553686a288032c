#include "config/int_text.h"

std::int32_t IntOrZero(std::string_view text)
{
    std::int32_t v = 0;
    return ParseInt32(text, v) ? v : 0;
}

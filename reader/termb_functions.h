#pragma once
// The reader library's nine functions by number, in the order the function
// table lists them: the one name every layer uses for "which call".

#include <cstdint>

enum class TermbFunction : std::uint8_t {
    OpenPort = 1,
    ClosePort,
    GetSAMIDToStr,
    StartFindIDCard,
    SelectIDCard,
    ReadBaseMsg,
    ReadBaseFPMsg,
    ReadNewAppMsg,
    Wlt2Bmp,
};
inline constexpr int kTermbFunctionCount = 9;

// The library's name of the function, e.g. "SDT_ReadBaseFPMsg".
const char* TermbFunctionName(TermbFunction function);

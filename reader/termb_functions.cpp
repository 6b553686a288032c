#include "reader/termb_functions.h"

const char* TermbFunctionName(TermbFunction function)
{
    static const char* const names[kTermbFunctionCount] = {
        "SDT_OpenPort",        "SDT_ClosePort",     "SDT_GetSAMIDToStr",
        "SDT_StartFindIDCard", "SDT_SelectIDCard",  "SDT_ReadBaseMsg",
        "SDT_ReadBaseFPMsg",   "SDT_ReadNewAppMsg", "Wlt2Bmp"};
    const int n = static_cast<int>(function) - 1;
    return n >= 0 && n < kTermbFunctionCount ? names[n] : "?";
}

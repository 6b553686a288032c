// The exported face of the virtual reader: the nine functions of the vendor's
// reader library with their exact argument lists, the function by which the
// tool recognises the virtual reader, and two hooks for tests. Everything else
// in the library is hidden.

#include <exception>
#include <type_traits>

#include "reader/termb.h"
#include "sim/photo.h"
#include "sim/virtual_reader.h"

#if defined(_WIN32)
#define TERMB_VIRTUAL_EXPORT extern "C" __declspec(dllexport)
#else
#define TERMB_VIRTUAL_EXPORT extern "C" __attribute__((visibility("default")))
#endif

using termbsim::TheReader;

namespace {

// No exception may cross into the tool: it is C code's caller.
template <typename Fn> int guarded(Fn fn, int onError)
{
    try {
        return fn();
    } catch (...) {
        return onError;
    }
}

} // namespace

TERMB_VIRTUAL_EXPORT int TERMB_CALL SDT_OpenPort(int port)
{
    return guarded([&] { return TheReader().openPort(port); }, termbsim::kPortNotAttached);
}

TERMB_VIRTUAL_EXPORT int TERMB_CALL SDT_ClosePort(int port)
{
    return guarded([&] { return TheReader().closePort(port); }, termbsim::kPortNotAttached);
}

TERMB_VIRTUAL_EXPORT int TERMB_CALL SDT_GetSAMIDToStr(int port, char* samId, int)
{
    return guarded([&] { return TheReader().getSamId(port, samId); }, termbsim::kPortNotAttached);
}

TERMB_VIRTUAL_EXPORT int TERMB_CALL SDT_StartFindIDCard(int port, unsigned char* manage, int)
{
    return guarded([&] { return TheReader().startFindIdCard(port, manage); },
                   termbsim::kPortNotAttached);
}

TERMB_VIRTUAL_EXPORT int TERMB_CALL SDT_SelectIDCard(int port, unsigned char* manage, int)
{
    return guarded([&] { return TheReader().selectIdCard(port, manage); }, termbsim::kNoCard);
}

TERMB_VIRTUAL_EXPORT int TERMB_CALL SDT_ReadBaseMsg(int port, unsigned char* text,
                                                    unsigned int* textLen, unsigned char* photo,
                                                    unsigned int* photoLen, int)
{
    return guarded(
        [&] {
            return TheReader().readBase(port, text, textLen, photo, photoLen, nullptr, nullptr,
                                        false);
        },
        termbsim::kCardLeft);
}

TERMB_VIRTUAL_EXPORT int TERMB_CALL SDT_ReadBaseFPMsg(int port, unsigned char* text,
                                                      unsigned int* textLen, unsigned char* photo,
                                                      unsigned int* photoLen,
                                                      unsigned char* fingerprint,
                                                      int* fingerprintLen, int)
{
    return guarded(
        [&] {
            return TheReader().readBase(port, text, textLen, photo, photoLen, fingerprint,
                                        fingerprintLen, true);
        },
        termbsim::kCardLeft);
}

TERMB_VIRTUAL_EXPORT int TERMB_CALL SDT_ReadNewAppMsg(int port, unsigned char* appMsg,
                                                      unsigned int* len, int)
{
    return guarded([&] { return TheReader().readNewAppMsg(port, appMsg, len); },
                   termbsim::kCardLeft);
}

TERMB_VIRTUAL_EXPORT int TERMB_CALL Wlt2Bmp(unsigned char* wlt, unsigned char* bmp)
{
    return guarded([&] { return TheReader().wlt2Bmp(wlt, bmp); }, termbsim::kDecodeCorrupt);
}

TERMB_VIRTUAL_EXPORT const char* TermbVirtualReaderInfo()
{
    try {
        return TheReader().info();
    } catch (...) {
        return "zuviruzozozad virtual reader";
    }
}

// Test hook: reads TERMB_VIRTUAL_SCENARIO again and starts afresh, as if the
// library had just been loaded.
TERMB_VIRTUAL_EXPORT void TermbVirtualReset()
{
    try {
        TheReader().reset();
    } catch (...) {
    }
}

// Test hook: moves the timeline's clock forward by `milliseconds`.
TERMB_VIRTUAL_EXPORT void TermbVirtualAdvanceClock(long long milliseconds)
{
    try {
        TheReader().advanceClock(milliseconds);
    } catch (...) {
    }
}

// The exports have exactly the types the tool binds them to.
static_assert(std::is_same_v<decltype(&SDT_OpenPort), SDT_OpenPort_t>);
static_assert(std::is_same_v<decltype(&SDT_ClosePort), SDT_ClosePort_t>);
static_assert(std::is_same_v<decltype(&SDT_GetSAMIDToStr), SDT_GetSAMIDToStr_t>);
static_assert(std::is_same_v<decltype(&SDT_StartFindIDCard), SDT_StartFindIDCard_t>);
static_assert(std::is_same_v<decltype(&SDT_SelectIDCard), SDT_SelectIDCard_t>);
static_assert(std::is_same_v<decltype(&SDT_ReadBaseMsg), SDT_ReadBaseMsg_t>);
static_assert(std::is_same_v<decltype(&SDT_ReadBaseFPMsg), SDT_ReadBaseFPMsg_t>);
static_assert(std::is_same_v<decltype(&SDT_ReadNewAppMsg), SDT_ReadNewAppMsg_t>);
static_assert(std::is_same_v<decltype(&Wlt2Bmp), Wlt2Bmp_t>);

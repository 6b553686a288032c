// A reader library that behaves until told otherwise. The file named by
// HOSTILE_TERMB_CONTROL, read at every call, may hold "<function> <how>": that
// function then writes through a null pointer ("null"), aborts ("abort"),
// never returns ("hang"), ends its process with code 0 ("exit"), writes
// bytes that are no answer to its host's channel ("garbage"), or, for the
// read with fingerprint, writes 2000 bytes past each of its buffers after
// answering as usual ("overrun"). Otherwise
// every call fills its buffers whole, from its arguments and their earlier
// contents, so that any byte lost or changed on the way shows.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "hostile_process.h"
#include "reader/termb.h"

#ifdef _WIN32
#define EXPORT extern "C" __declspec(dllexport)
#else
#define EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace {

// True when told to overrun; ends or stalls the process for the other orders.
bool misbehave(const char* function)
{
    const char* control = std::getenv("HOSTILE_TERMB_CONTROL");
    std::FILE* file = control ? std::fopen(control, "r") : nullptr;
    if (!file)
        return false;
    char name[64] = {}, how[16] = {};
    const bool told = std::fscanf(file, "%63s %15s", name, how) == 2;
    std::fclose(file);
    if (!told || std::strcmp(name, function) != 0)
        return false;
    if (!std::strcmp(how, "null"))
        *static_cast<volatile int*>(nullptr) = 1;
    if (!std::strcmp(how, "abort"))
        std::abort();
    if (!std::strcmp(how, "hang"))
        HangForever();
    if (!std::strcmp(how, "exit"))
        ExitProcessNow();
    if (!std::strcmp(how, "garbage")) {
        const unsigned char junk[] = {8, 0, 0, 0, 0x7F, 1, 2, 3, 4, 5, 6, 7};
        if (!WriteToHostChannel(junk, sizeof junk))
            std::abort();
        HangForever();
    }
    return !std::strcmp(how, "overrun");
}

void fill(unsigned char* buffer, unsigned size, unsigned seed)
{
    for (unsigned i = 0; i < size; ++i)
        buffer[i] = static_cast<unsigned char>((buffer[i] ^ (i * 31 + seed)) % 253);
}

} // namespace

EXPORT int TERMB_CALL SDT_OpenPort(int port)
{
    misbehave("SDT_OpenPort");
    return port == 1001 ? kTermbOk : 1;
}
EXPORT int TERMB_CALL SDT_ClosePort(int port)
{
    misbehave("SDT_ClosePort");
    return port + 1;
}
EXPORT int TERMB_CALL SDT_GetSAMIDToStr(int port, char* samId, int ifOpen)
{
    misbehave("SDT_GetSAMIDToStr");
    char earlier[101] = {}; // what the buffer held, so the caller's bytes must reach us
    std::memcpy(earlier, samId + 100, 100);
    std::snprintf(samId, 201, "05.01-%d-%d-%s", port, ifOpen, earlier);
    return kTermbOk;
}
EXPORT int TERMB_CALL SDT_StartFindIDCard(int port, unsigned char* manage, int)
{
    misbehave("SDT_StartFindIDCard");
    fill(manage, kManageBufferSize, port);
    return kTermbCardFound;
}
EXPORT int TERMB_CALL SDT_SelectIDCard(int port, unsigned char* manage, int)
{
    misbehave("SDT_SelectIDCard");
    fill(manage, kManageBufferSize - 1, port + 1);
    return kTermbSelectedAlt;
}
EXPORT int TERMB_CALL SDT_ReadBaseMsg(int port, unsigned char* text, unsigned int* textLen,
                                      unsigned char* photo, unsigned int* photoLen, int)
{
    misbehave("SDT_ReadBaseMsg");
    fill(text, kTextBufferSize, *textLen);
    fill(photo, kPhotoBufferSize, *photoLen);
    *textLen += 256;
    *photoLen = 0xFFFFFFF0u;
    return kTermbOk;
}
EXPORT int TERMB_CALL SDT_ReadBaseFPMsg(int port, unsigned char* text, unsigned int* textLen,
                                        unsigned char* photo, unsigned int* photoLen,
                                        unsigned char* fp, int* fpLen, int)
{
    const bool overrun = misbehave("SDT_ReadBaseFPMsg");
    fill(text, kTextBufferSize, *textLen);
    fill(photo, kPhotoBufferSize - 10, *photoLen);
    fill(fp, static_cast<unsigned>(*fpLen), port);
    if (overrun)
        for (unsigned char* end : {text + kTextBufferSize, photo + kPhotoBufferSize, fp + *fpLen})
            std::memset(end, 0x5A, 2000);
    *textLen = 256;
    *photoLen = 1024;
    *fpLen = -*fpLen / 2;
    return kTermbOk;
}
EXPORT int TERMB_CALL SDT_ReadNewAppMsg(int port, unsigned char* msg, unsigned int* len, int)
{
    misbehave("SDT_ReadNewAppMsg");
    std::memset(msg, 'A', 70);
    *len = 70;
    return kTermbAppMsgNone;
}
EXPORT int TERMB_CALL Wlt2Bmp(unsigned char* wlt, unsigned char* bmp)
{
    misbehave("Wlt2Bmp");
    for (int i = 0; i < kTermbBitmapSize; ++i)
        bmp[i] = static_cast<unsigned char>(wlt[i % kPhotoBufferSize] + i);
    wlt[0] ^= 0xFF;
    return kTermbBitmapSize;
}

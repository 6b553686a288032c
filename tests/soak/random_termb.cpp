// A reader library that answers every call at random, for running the real
// program a long time with ever new card text (memory checks, crash soak).
// Mostly the answers of a working reader with cards coming and going, so
// that many cards are shown; now and then any other code. The base text is
// random UCS-2, mostly CJK ideographs, so that nearly every card brings
// characters not drawn before. Seeded by RANDOM_TERMB_SEED (default 1):
// the same seed gives the same answers call for call. When
// RANDOM_TERMB_COUNT_FILE names a file, it holds the number of successful
// base reads so far.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <random>
#include <string>

#include "reader/termb.h"

namespace {

std::mutex g_mutex;

std::mt19937& rng()
{
    static std::mt19937 generator = [] {
        const char* seed = std::getenv("RANDOM_TERMB_SEED");
        return std::mt19937(seed ? static_cast<unsigned>(std::strtoul(seed, nullptr, 10)) : 1u);
    }();
    return generator;
}

int uniform(int low, int high)
{
    return std::uniform_int_distribution<int>(low, high)(rng());
}

bool chance(double p)
{
    return std::bernoulli_distribution(p)(rng());
}

// `usual` with probability p, otherwise another code: one the tool knows, or
// any number at all.
int answer(double p, int usual)
{
    if (chance(p))
        return usual;
    static const int known[] = {0, 1, 2, 3, 16, 33, 65, 128, 129, 144, 145, 159, -1};
    if (chance(0.8))
        return known[uniform(0, static_cast<int>(std::size(known)) - 1)];
    return static_cast<int>(rng()());
}

void putU16(unsigned char* out, unsigned value)
{
    out[0] = static_cast<unsigned char>(value & 0xff);
    out[1] = static_cast<unsigned char>(value >> 8);
}

void putU32(unsigned char* out, std::uint32_t value)
{
    putU16(out, value & 0xffff);
    putU16(out + 2, value >> 16);
}

// 256 bytes of UCS-2 LE: mostly ideographs, some blanks and digits, rarely
// any code unit at all (surrogate halves among them).
void randomBaseText(unsigned char* text)
{
    for (int i = 0; i < 256; i += 2) {
        const int kind = uniform(0, 99);
        unsigned unit;
        if (kind < 82)
            unit = static_cast<unsigned>(uniform(0x4E00, 0x9FA5));
        else if (kind < 90)
            unit = 0x20;
        else if (kind < 98)
            unit = static_cast<unsigned>(uniform('0', '9'));
        else
            unit = static_cast<unsigned>(uniform(0, 0xFFFF));
        putU16(text + i, unit);
    }
}

void randomBytes(unsigned char* out, int length)
{
    for (int i = 0; i < length; ++i)
        out[i] = static_cast<unsigned char>(rng()());
}

void countRead()
{
    static const char* const file = std::getenv("RANDOM_TERMB_COUNT_FILE");
    static long reads = 0;
    ++reads;
    if (!file)
        return;
    // Replaced whole, so that a reader of the file never sees it empty.
    const std::string part = std::string(file) + ".part";
    if (std::FILE* out = std::fopen(part.c_str(), "w")) {
        std::fprintf(out, "%ld\n", reads);
        if (std::fclose(out) == 0)
            std::rename(part.c_str(), file);
    }
}

int read(unsigned char* text, unsigned* textLen, unsigned char* photo, unsigned* photoLen)
{
    const int result = answer(0.95, kTermbOk);
    if (result != kTermbOk || !text || !textLen || !photo || !photoLen)
        return result;
    countRead();
    randomBaseText(text);
    *textLen = 256;
    const int length = uniform(0, 1024);
    randomBytes(photo, length);
    // Now and then a length beyond the tool's buffer, which it must not trust.
    *photoLen = chance(0.02) ? static_cast<unsigned>(uniform(0, 1 << 20)) : length;
    return result;
}

} // namespace

extern "C" {

__attribute__((visibility("default"))) int SDT_OpenPort(int)
{
    std::lock_guard lock(g_mutex);
    return answer(0.95, kTermbOk);
}

__attribute__((visibility("default"))) int SDT_ClosePort(int)
{
    std::lock_guard lock(g_mutex);
    return answer(0.95, kTermbOk);
}

__attribute__((visibility("default"))) int SDT_GetSAMIDToStr(int, char* samId, int)
{
    std::lock_guard lock(g_mutex);
    const int result = answer(0.95, kTermbOk);
    if (!samId)
        return result;
    // Printable text of up to 100 characters (the tool's buffer holds 201);
    // sometimes one of the numbers that make the tool read without
    // fingerprints.
    const int length = uniform(0, 100);
    for (int i = 0; i < length; ++i)
        samId[i] = static_cast<char>(uniform(0x21, 0x7e));
    samId[length] = '\0';
    if (length >= 3 && chance(0.2))
        std::memcpy(samId, chance(0.5) ? "5-1" : "5-2", 3);
    return result;
}

__attribute__((visibility("default"))) int SDT_StartFindIDCard(int, unsigned char*, int)
{
    std::lock_guard lock(g_mutex);
    return answer(0.9, kTermbCardFound);
}

__attribute__((visibility("default"))) int SDT_SelectIDCard(int, unsigned char*, int)
{
    std::lock_guard lock(g_mutex);
    return answer(0.9, kTermbOk);
}

__attribute__((visibility("default"))) int SDT_ReadBaseMsg(int, unsigned char* text,
                                                           unsigned* textLen, unsigned char* photo,
                                                           unsigned* photoLen, int)
{
    std::lock_guard lock(g_mutex);
    return read(text, textLen, photo, photoLen);
}

__attribute__((visibility("default"))) int
SDT_ReadBaseFPMsg(int, unsigned char* text, unsigned* textLen, unsigned char* photo,
                  unsigned* photoLen, unsigned char* fingerprint, int* fingerprintLen, int)
{
    std::lock_guard lock(g_mutex);
    const int result = read(text, textLen, photo, photoLen);
    if (result != kTermbOk || !fingerprint || !fingerprintLen)
        return result;
    // Within the buffer the tool offers; the length reported is sometimes
    // more than was written, or negative.
    const int length = uniform(0, *fingerprintLen > 0 ? *fingerprintLen : 0);
    randomBytes(fingerprint, length);
    *fingerprintLen = chance(0.05) ? uniform(-1024, 1 << 16) : length;
    return result;
}

__attribute__((visibility("default"))) int SDT_ReadNewAppMsg(int, unsigned char*, unsigned* len,
                                                             int)
{
    std::lock_guard lock(g_mutex);
    if (len)
        *len = 0;
    // Mostly the card is gone at once, so the next card follows.
    return answer(0.8, chance(0.85) ? kTermbCardGone : kTermbAppMsgNone);
}

__attribute__((visibility("default"))) int Wlt2Bmp(unsigned char* wlt, unsigned char* bmp)
{
    std::lock_guard lock(g_mutex);
    if (!wlt || !bmp || chance(0.8))
        return chance(0.5) ? -2 : uniform(-5, 0);
    // A complete 102 x 126 24-bit bitmap file of random pixels.
    constexpr int width = 102, height = 126, row = (width * 3 + 3) / 4 * 4;
    std::memset(bmp, 0, 54);
    bmp[0] = 'B';
    bmp[1] = 'M';
    putU32(bmp + 2, kTermbBitmapSize);
    putU32(bmp + 10, 54);
    putU32(bmp + 14, 40);
    putU32(bmp + 18, width);
    putU32(bmp + 22, height);
    putU16(bmp + 26, 1);
    putU16(bmp + 28, 24);
    putU32(bmp + 34, row * height);
    randomBytes(bmp + 54, row * height);
    return kTermbBitmapSize;
}

} // extern "C"

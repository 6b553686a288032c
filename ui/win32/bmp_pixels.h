#pragma once
// The Win32 view's reading of a bitmap file (the card photo) into pixels.
// Plain C++ without the Windows headers, so the host builds it too and the
// fuzzer runs it (fuzz/fuzz_win32_bmp.cpp).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

struct BmpPixels
{
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels; // 0xAARRGGBB, opaque, rows top-down, `width` apart
};

// Bitmaps of either side larger than this are refused.
inline constexpr int kBmpMaxSide = 4096;

// A Windows bitmap file in memory, 24 or 32 bits per pixel, uncompressed
// (the card photo the reader library writes), rows bottom-up or top-down.
// Nothing when the bytes are no such bitmap or end before its last row.
std::optional<BmpPixels> DecodeBmp(const unsigned char* bytes, std::size_t size);

#include "ui/win32/bmp_pixels.h"

namespace {

constexpr std::uint32_t kBiRgb = 0;
constexpr std::uint32_t kBiBitfields = 3;
constexpr std::size_t kFileHeader = 14;
constexpr std::size_t kInfoHeader = 40;

std::uint32_t readLe(const unsigned char* p, int bytes)
{
    std::uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | p[i];
    return v;
}

} // namespace

std::optional<BmpPixels> DecodeBmp(const unsigned char* bytes, std::size_t size)
{
    if (!bytes || size < kFileHeader + kInfoHeader || bytes[0] != 'B' || bytes[1] != 'M')
        return std::nullopt;
    const std::uint32_t dataOffset = readLe(bytes + 10, 4);
    const unsigned char* info = bytes + kFileHeader;
    const std::uint32_t infoSize = readLe(info, 4);
    const auto width = static_cast<std::int32_t>(readLe(info + 4, 4));
    const auto rawHeight = static_cast<std::int32_t>(readLe(info + 8, 4));
    const int bitCount = static_cast<int>(readLe(info + 14, 2));
    const std::uint32_t compression = readLe(info + 16, 4);
    const bool bottomUp = rawHeight > 0;
    // The height is bounded before it is negated: the smallest int32 has no
    // positive counterpart.
    if (infoSize < kInfoHeader || width <= 0 || width > kBmpMaxSide || rawHeight == 0 ||
        rawHeight > kBmpMaxSide || rawHeight < -kBmpMaxSide || (bitCount != 24 && bitCount != 32) ||
        !(compression == kBiRgb || (compression == kBiBitfields && bitCount == 32)))
        return std::nullopt;
    const int height = bottomUp ? rawHeight : -rawHeight;
    const std::size_t stride = ((static_cast<std::size_t>(width) * bitCount + 31) / 32) * 4;
    if (dataOffset > size || size - dataOffset < stride * static_cast<std::size_t>(height))
        return std::nullopt;

    BmpPixels out;
    out.width = width;
    out.height = height;
    out.pixels.resize(static_cast<std::size_t>(width) * height);
    const int step = bitCount / 8;
    for (int y = 0; y < height; ++y) {
        const unsigned char* row = bytes + dataOffset + stride * (bottomUp ? height - 1 - y : y);
        std::uint32_t* line = out.pixels.data() + static_cast<std::size_t>(y) * width;
        for (int x = 0; x < width; ++x)
            line[x] = 0xff000000u | readLe(row + x * step, 3); // blue, green, red; opaque
    }
    return out;
}

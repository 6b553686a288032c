// The Win32 view's bitmap reader on any file content: it never reads outside
// the bytes (AddressSanitizer), refuses or gives width x height opaque
// pixels within its bounds, and where Qt's reader takes the same plain
// bitmap (24 or 32 bits, uncompressed, pixel data after the headers) both
// give the same pixels.
#include <QImage>
#include <cstdint>
#include <cstdlib>

#include "ui/win32/bmp_pixels.h"

namespace {

std::uint32_t readLe32(const std::uint8_t* p)
{
    return p[0] | p[1] << 8 | p[2] << 16 | std::uint32_t(p[3]) << 24;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::optional<BmpPixels> bmp = DecodeBmp(data, size);
    if (!bmp)
        return 0;
    if (bmp->width < 1 || bmp->height < 1 || bmp->width > kBmpMaxSide ||
        bmp->height > kBmpMaxSide || bmp->pixels.size() != std::size_t(bmp->width) * bmp->height)
        std::abort();
    for (const std::uint32_t pixel : bmp->pixels)
        if (pixel >> 24 != 0xff)
            std::abort();

    // Qt's reader as the reference, on the files both read the same way: the
    // plain 40-byte header, no compression, pixel data after the headers.
    if (readLe32(data + 14) != 40 || readLe32(data + 30) != 0 || readLe32(data + 10) < 54 ||
        std::size_t(bmp->width) * bmp->height > 512 * 512)
        return 0;
    QImage reference;
    if (!reference.loadFromData(data, int(size), "BMP") ||
        reference.size() != QSize(bmp->width, bmp->height))
        return 0;
    reference = reference.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < bmp->height; ++y)
        for (int x = 0; x < bmp->width; ++x)
            if (reference.pixel(x, y) != bmp->pixels[std::size_t(y) * bmp->width + x])
                std::abort();
    return 0;
}

#pragma once
// Decoding of a JPEG image held in memory into 8-bit RGB pixels through
// libjpeg. Kept free of Qt so the windows wrap the pixels as they like.

#include <cstddef>
#include <vector>

struct RgbImage
{
    int width = 0;
    int height = 0;
    // Rows top to bottom, three bytes (red, green, blue) a pixel, no padding.
    std::vector<unsigned char> pixels;
};

// Decodes `size` bytes at `data` into `image` and returns true. A damaged or
// truncated image returns false and leaves `image` empty; libjpeg's own way
// of ending the process on errors is never taken.
bool DecodeJpeg(const unsigned char* data, std::size_t size, RgbImage& image);

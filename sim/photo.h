#pragma once
// The virtual reader's photos: a 102 x 126 palette image, its compressed form
// (our own lossless format, see README.md), and the 24-bit Windows bitmap file
// that Wlt2Bmp makes of it.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace termbsim {

inline constexpr int kPhotoWidth = 102;
inline constexpr int kPhotoHeight = 126;
inline constexpr int kPhotoPixels = kPhotoWidth * kPhotoHeight;

// The bitmap file: 54-byte header, then bottom-up rows of 102 * 3 bytes padded
// to 308.
inline constexpr std::size_t kBmpHeaderSize = 54;
inline constexpr std::size_t kBmpRowSize = 308;
inline constexpr std::size_t kBmpFileSize = kBmpHeaderSize + kBmpRowSize * kPhotoHeight; // 38862

// The compressed form. A card's chip holds at most 1024 bytes of photo; the
// tool's photo buffer is 2001 bytes, and nothing longer is ever read.
inline constexpr std::size_t kWltHeaderSize = 10;
inline constexpr std::size_t kCardPhotoLimit = 1024;
inline constexpr std::size_t kWltMaxSize = 2001;
inline constexpr int kMaxPaletteSize = 15; // op 15 is "copy from the row above"

struct Rgb
{
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
    bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
    bool operator!=(const Rgb& o) const { return !(*this == o); }
};

// One palette index per pixel, rows top-down, left to right.
struct PaletteImage
{
    std::vector<Rgb> palette;
    std::vector<std::uint8_t> pixels = std::vector<std::uint8_t>(kPhotoPixels, 0);

    Rgb at(int x, int y) const { return palette[pixels[y * kPhotoWidth + x]]; }
};

// The compressed form of `image`; empty when the palette has more than 15
// colours or an index outside it.
std::vector<std::uint8_t> EncodePhoto(const PaletteImage& image);

// Result codes of DecodePhoto other than kBmpFileSize.
inline constexpr int kDecodeNullArgument = -1;
inline constexpr int kDecodeNotOurFormat = -2; // magic or size fields wrong
inline constexpr int kDecodeCorrupt = -3;      // checksum, palette or run data wrong

// Decodes the compressed photo at `wlt` into the complete bitmap file at
// `bmp` (kBmpFileSize bytes) and returns kBmpFileSize, or returns a negative
// code and leaves `bmp` untouched. Reads the 10-byte header and then exactly
// the payload it declares, never more than kWltMaxSize bytes in all.
int DecodePhoto(const std::uint8_t* wlt, std::uint8_t* bmp);

// The bitmap file of an image.
std::vector<std::uint8_t> BmpFromImage(const PaletteImage& image);

// A 102 x 126, 24-bit uncompressed bitmap file (bottom-up or top-down) as a
// palette image. False and a reason when the file is not such a bitmap or has
// more than 15 colours.
bool ImageFromBmp(const std::vector<std::uint8_t>& file, PaletteImage& image, std::string& error);

} // namespace termbsim

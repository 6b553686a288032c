#include "sim/photo.h"

#include <algorithm>
#include <cstring>
#include <map>

namespace termbsim {

namespace {

constexpr std::uint8_t kMagic[4] = {'Z', 'V', 'W', '1'};
constexpr int kCopyAbove = 15;
// A run byte holds its length less one in the low nibble; 15 there means the
// length is 16 plus the next byte.
constexpr int kShortRunMax = 15;
constexpr int kLongRunMax = 16 + 255;

void put16(std::vector<std::uint8_t>& out, std::size_t at, unsigned v)
{
    out[at] = static_cast<std::uint8_t>(v & 0xFF);
    out[at + 1] = static_cast<std::uint8_t>((v >> 8) & 0xFF);
}

void put32(std::uint8_t* p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::uint32_t get32(const std::uint8_t* p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

unsigned checksum(const std::uint8_t* p, std::size_t n)
{
    unsigned sum = 0;
    for (std::size_t i = 0; i < n; ++i)
        sum = (sum + p[i]) & 0xFFFF;
    return sum;
}

void appendRun(std::vector<std::uint8_t>& out, int op, int length)
{
    if (length <= kShortRunMax) {
        out.push_back(static_cast<std::uint8_t>((op << 4) | (length - 1)));
    } else {
        out.push_back(static_cast<std::uint8_t>((op << 4) | 15));
        out.push_back(static_cast<std::uint8_t>(length - 16));
    }
}

void writeBmpHeader(std::uint8_t* bmp)
{
    std::memset(bmp, 0, kBmpHeaderSize);
    bmp[0] = 'B';
    bmp[1] = 'M';
    put32(bmp + 2, kBmpFileSize);
    put32(bmp + 10, kBmpHeaderSize);
    put32(bmp + 14, 40); // BITMAPINFOHEADER
    put32(bmp + 18, kPhotoWidth);
    put32(bmp + 22, kPhotoHeight); // positive: bottom-up rows
    bmp[26] = 1;                   // planes
    bmp[28] = 24;                  // bits per pixel
    put32(bmp + 34, kBmpRowSize * kPhotoHeight);
    put32(bmp + 38, 3780); // 96 dpi
    put32(bmp + 42, 3780);
}

void writeBmpPixels(std::uint8_t* bmp, const std::vector<Rgb>& palette, const std::uint8_t* pixels)
{
    for (int y = 0; y < kPhotoHeight; ++y) {
        std::uint8_t* row = bmp + kBmpHeaderSize + (kPhotoHeight - 1 - y) * kBmpRowSize;
        for (int x = 0; x < kPhotoWidth; ++x) {
            const Rgb& c = palette[pixels[y * kPhotoWidth + x]];
            row[3 * x] = c.b;
            row[3 * x + 1] = c.g;
            row[3 * x + 2] = c.r;
        }
        std::memset(row + 3 * kPhotoWidth, 0, kBmpRowSize - 3 * kPhotoWidth);
    }
}

} // namespace

std::vector<std::uint8_t> EncodePhoto(const PaletteImage& image)
{
    const auto& px = image.pixels;
    if (image.palette.empty() || image.palette.size() > kMaxPaletteSize ||
        px.size() != static_cast<std::size_t>(kPhotoPixels))
        return {};
    if (std::any_of(px.begin(), px.end(), [&](auto i) { return i >= image.palette.size(); }))
        return {};

    std::vector<std::uint8_t> out(kWltHeaderSize, 0);
    std::memcpy(out.data(), kMagic, 4);
    out[6] = kPhotoWidth;
    out[7] = kPhotoHeight;
    out.push_back(static_cast<std::uint8_t>(image.palette.size()));
    for (const Rgb& c : image.palette) {
        out.push_back(c.r);
        out.push_back(c.g);
        out.push_back(c.b);
    }
    // Greedy: at each pixel take the longer of a run of one colour and a run
    // of pixels equal to the ones above them. The figure's outline changes
    // little from row to row, so most rows are a few short copies.
    int i = 0;
    while (i < kPhotoPixels) {
        int same = 1;
        while (i + same < kPhotoPixels && same < kLongRunMax && px[i + same] == px[i])
            ++same;
        int above = 0;
        if (i >= kPhotoWidth) {
            while (i + above < kPhotoPixels && above < kLongRunMax &&
                   px[i + above] == px[i + above - kPhotoWidth])
                ++above;
        }
        if (above >= same) {
            appendRun(out, kCopyAbove, above);
            i += above;
        } else {
            appendRun(out, px[i], same);
            i += same;
        }
    }
    const std::size_t payload = out.size() - kWltHeaderSize;
    put16(out, 4, static_cast<unsigned>(payload));
    put16(out, 8, checksum(out.data() + kWltHeaderSize, payload));
    return out;
}

int DecodePhoto(const std::uint8_t* wlt, std::uint8_t* bmp)
{
    if (!wlt || !bmp)
        return kDecodeNullArgument;
    // Only the header is looked at until it has said how long the rest is.
    if (std::memcmp(wlt, kMagic, 4) != 0 || wlt[6] != kPhotoWidth || wlt[7] != kPhotoHeight)
        return kDecodeNotOurFormat;
    const std::size_t payload = wlt[4] | (wlt[5] << 8);
    if (payload == 0 || kWltHeaderSize + payload > kWltMaxSize)
        return kDecodeNotOurFormat;
    const std::uint8_t* p = wlt + kWltHeaderSize;
    const std::uint8_t* end = p + payload;
    if (checksum(p, payload) != static_cast<unsigned>(wlt[8] | (wlt[9] << 8)))
        return kDecodeCorrupt;

    const int colours = *p++;
    if (colours < 1 || colours > kMaxPaletteSize || end - p < 3 * colours)
        return kDecodeCorrupt;
    std::vector<Rgb> palette(colours);
    for (Rgb& c : palette) {
        c = {p[0], p[1], p[2]};
        p += 3;
    }
    std::vector<std::uint8_t> pixels(kPhotoPixels);
    int i = 0;
    while (i < kPhotoPixels) {
        if (p == end)
            return kDecodeCorrupt;
        const int op = *p >> 4;
        int length = (*p & 0x0F) + 1;
        ++p;
        if (length == 16) {
            if (p == end)
                return kDecodeCorrupt;
            length = 16 + *p++;
        }
        if (length > kPhotoPixels - i)
            return kDecodeCorrupt;
        if (op == kCopyAbove) {
            if (i < kPhotoWidth)
                return kDecodeCorrupt;
            for (int k = 0; k < length; ++k, ++i)
                pixels[i] = pixels[i - kPhotoWidth];
        } else {
            if (op >= colours)
                return kDecodeCorrupt;
            std::fill_n(pixels.begin() + i, length, static_cast<std::uint8_t>(op));
            i += length;
        }
    }
    if (p != end)
        return kDecodeCorrupt;
    writeBmpHeader(bmp);
    writeBmpPixels(bmp, palette, pixels.data());
    return static_cast<int>(kBmpFileSize);
}

std::vector<std::uint8_t> BmpFromImage(const PaletteImage& image)
{
    std::vector<std::uint8_t> bmp(kBmpFileSize);
    writeBmpHeader(bmp.data());
    writeBmpPixels(bmp.data(), image.palette, image.pixels.data());
    return bmp;
}

bool ImageFromBmp(const std::vector<std::uint8_t>& file, PaletteImage& image, std::string& error)
{
    if (file.size() < kBmpHeaderSize || file[0] != 'B' || file[1] != 'M') {
        error = "not a Windows bitmap file";
        return false;
    }
    const std::uint8_t* h = file.data();
    const std::uint32_t offset = get32(h + 10);
    const auto width = static_cast<std::int32_t>(get32(h + 18));
    const auto height = static_cast<std::int32_t>(get32(h + 22));
    const int bits = h[28] | (h[29] << 8);
    const std::uint32_t compression = get32(h + 30);
    if (get32(h + 14) < 40 || width != kPhotoWidth ||
        (height != kPhotoHeight && height != -kPhotoHeight) || bits != 24 || compression != 0) {
        error = "the bitmap must be 102 x 126 pixels, 24 bits, uncompressed";
        return false;
    }
    if (offset < kBmpHeaderSize || offset > file.size() ||
        file.size() - offset < kBmpRowSize * kPhotoHeight) {
        error = "the bitmap file is cut short";
        return false;
    }
    std::map<std::uint32_t, std::uint8_t> index;
    PaletteImage out;
    for (int y = 0; y < kPhotoHeight; ++y) {
        const int fileRow = height > 0 ? kPhotoHeight - 1 - y : y;
        const std::uint8_t* row = h + offset + fileRow * kBmpRowSize;
        for (int x = 0; x < kPhotoWidth; ++x) {
            const Rgb c{row[3 * x + 2], row[3 * x + 1], row[3 * x]};
            const std::uint32_t key = (c.r << 16) | (c.g << 8) | c.b;
            auto it = index.find(key);
            if (it == index.end()) {
                if (out.palette.size() == kMaxPaletteSize) {
                    error = "the bitmap has more than 15 colours, more than the virtual "
                            "reader's photo format holds";
                    return false;
                }
                it = index.emplace(key, static_cast<std::uint8_t>(out.palette.size())).first;
                out.palette.push_back(c);
            }
            out.pixels[y * kPhotoWidth + x] = it->second;
        }
    }
    image = std::move(out);
    return true;
}

} // namespace termbsim

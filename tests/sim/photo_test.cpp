// The compressed photo format and the drawn portraits, through the model and
// through the library's own Wlt2Bmp.

#include <cstring>
#include <gtest/gtest.h>
#include <queue>
#ifndef _WIN32
#include <sys/mman.h>
#include <unistd.h>
#endif

#include "sim/cards.h"
#include "sim/photo.h"
#include "sim_support.h"

namespace {

using namespace termbsim;

std::uint32_t le32(const std::uint8_t* p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::vector<std::uint8_t> decodeWithLibrary(std::vector<std::uint8_t> wlt, int& code)
{
    wlt.resize(kPhotoBufferSize, 0); // the tool hands over its whole photo buffer
    std::vector<std::uint8_t> bmp(kBitmapBufferSize, 0xEE);
    code = virtualReader().api.Wlt2Bmp(wlt.data(), bmp.data());
    return bmp;
}

class BuiltinPhoto : public ::testing::TestWithParam<int>
{
protected:
    const CardSpec& card() const { return BuiltinCards()[GetParam()]; }
};

TEST_P(BuiltinPhoto, FitsTheCardsPhotoSize)
{
    CardImage image;
    std::string error;
    ASSERT_TRUE(BuildCardImage(card(), image, error)) << error;
    EXPECT_LE(image.photo.size(), kCardPhotoLimit);
    EXPECT_EQ(image.photo.size(), kWltHeaderSize + (image.photo[4] | (image.photo[5] << 8)));
}

TEST_P(BuiltinPhoto, DecodesToExactlyThePhotoItWasMadeFrom)
{
    const PaletteImage photo = CardPhotoImage(card());
    int code = 0;
    const std::vector<std::uint8_t> bmp = decodeWithLibrary(EncodePhoto(photo), code);
    ASSERT_EQ(code, kTermbBitmapSize);
    const std::vector<std::uint8_t> expected = BmpFromImage(photo);
    ASSERT_EQ(expected.size(), 38862u);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), bmp.begin()));
    EXPECT_EQ(bmp[38862], 0xEE) << "wrote past the bitmap";
    // And pixel by pixel against the palette image, not only the writer.
    for (int y = 0; y < kPhotoHeight; ++y) {
        for (int x = 0; x < kPhotoWidth; ++x) {
            const std::uint8_t* p = bmp.data() + 54 + (kPhotoHeight - 1 - y) * 308 + 3 * x;
            const Rgb c = photo.at(x, y);
            ASSERT_EQ((Rgb{p[2], p[1], p[0]}), c) << x << "," << y;
        }
    }
}

TEST_P(BuiltinPhoto, IsAValidWindowsBitmapFile)
{
    int code = 0;
    const std::vector<std::uint8_t> bmp =
        decodeWithLibrary(EncodePhoto(CardPhotoImage(card())), code);
    ASSERT_EQ(code, 38862);
    const std::uint8_t* h = bmp.data();
    EXPECT_EQ(h[0], 'B');
    EXPECT_EQ(h[1], 'M');
    EXPECT_EQ(le32(h + 2), 38862u);      // file size
    EXPECT_EQ(le32(h + 10), 54u);        // pixel data offset
    EXPECT_EQ(le32(h + 14), 40u);        // BITMAPINFOHEADER
    EXPECT_EQ(le32(h + 18), 102u);       // width
    EXPECT_EQ(le32(h + 22), 126u);       // height, positive: bottom-up
    EXPECT_EQ(h[26] | (h[27] << 8), 1);  // planes
    EXPECT_EQ(h[28] | (h[29] << 8), 24); // bits per pixel
    EXPECT_EQ(le32(h + 30), 0u);         // BI_RGB
    EXPECT_EQ(le32(h + 34), 126u * 308u);
    for (int row = 0; row < 126; ++row) {
        EXPECT_EQ(bmp[54 + row * 308 + 306], 0);
        EXPECT_EQ(bmp[54 + row * 308 + 307], 0);
    }
}

// The tool cuts away every pixel of the top-left pixel's colour: that must be
// exactly the background, one uniform area around the figure.
TEST_P(BuiltinPhoto, BackgroundIsUniformAndOnlyBackground)
{
    const PaletteImage photo = CardPhotoImage(card());
    const Rgb key = photo.at(0, 0);
    EXPECT_EQ(key, card().look.background);
    int keyPixels = 0;
    for (int i = 0; i < kPhotoPixels; ++i)
        keyPixels += photo.palette[photo.pixels[i]] == key;
    // Every key-coloured pixel is reachable from the corner through key-coloured
    // pixels: no hole of background colour inside the figure.
    std::vector<bool> seen(kPhotoPixels, false);
    std::queue<int> todo;
    todo.push(0);
    seen[0] = true;
    int reached = 0;
    while (!todo.empty()) {
        const int i = todo.front();
        todo.pop();
        ++reached;
        const int x = i % kPhotoWidth, y = i / kPhotoWidth;
        const int next[4][2] = {{x - 1, y}, {x + 1, y}, {x, y - 1}, {x, y + 1}};
        for (auto [nx, ny] : next) {
            const int j = ny * kPhotoWidth + nx;
            if (nx >= 0 && ny >= 0 && nx < kPhotoWidth && ny < kPhotoHeight && !seen[j] &&
                photo.at(nx, ny) == key) {
                seen[j] = true;
                todo.push(j);
            }
        }
    }
    EXPECT_EQ(reached, keyPixels);
    // A real figure: the face at the centre, the shoulders at the bottom.
    EXPECT_NE(photo.at(51, 52), key);
    EXPECT_NE(photo.at(51, 125), key);
    EXPECT_GT(keyPixels, kPhotoPixels / 4);
    EXPECT_LT(keyPixels, kPhotoPixels * 3 / 4);
}

INSTANTIATE_TEST_SUITE_P(EveryCard, BuiltinPhoto,
                         ::testing::Range(0, static_cast<int>(BuiltinCards().size())));

TEST(PhotoFormat, NearestColourToTheBackgroundIsKept)
{
    // han-male's shirt is white less one step of blue on a white background.
    const PaletteImage photo = CardPhotoImage(BuiltinCards()[0]);
    EXPECT_EQ(photo.at(0, 0), (Rgb{255, 255, 255}));
    EXPECT_EQ(photo.at(51 - 10, 95), (Rgb{255, 255, 254}));
}

TEST(PhotoFormat, FigureColourEqualToTheBackgroundIsMovedOffIt)
{
    PortraitLook look = BuiltinCards()[0].look;
    look.clothes = look.background;
    const PaletteImage photo = DrawPortrait(look);
    for (int x = 0; x < kPhotoWidth; ++x)
        EXPECT_NE(photo.at(x, 125), look.background) << x;
}

// A hand-made image: stripes, a checkerboard corner and every palette entry.
PaletteImage patternImage(int colours)
{
    PaletteImage image;
    for (int i = 0; i < colours; ++i)
        image.palette.push_back({static_cast<std::uint8_t>(i * 17),
                                 static_cast<std::uint8_t>(255 - i),
                                 static_cast<std::uint8_t>(i * 3)});
    for (int y = 0; y < kPhotoHeight; ++y)
        for (int x = 0; x < kPhotoWidth; ++x)
            image.pixels[y * kPhotoWidth + x] =
                static_cast<std::uint8_t>(x < 8 && y < 8 ? (x + y) % colours : (y / 9) % colours);
    return image;
}

TEST(PhotoFormat, RoundTripOfAnyPaletteUpToFifteen)
{
    for (int colours : {1, 2, 15}) {
        const PaletteImage image = patternImage(colours);
        const std::vector<std::uint8_t> wlt = EncodePhoto(image);
        ASSERT_FALSE(wlt.empty());
        std::vector<std::uint8_t> bmp(kBmpFileSize);
        ASSERT_EQ(DecodePhoto(wlt.data(), bmp.data()), 38862) << colours;
        EXPECT_EQ(bmp, BmpFromImage(image)) << colours;
    }
    EXPECT_TRUE(EncodePhoto(patternImage(16)).empty());
}

// Damages a valid photo and, unless told not to, mends the checksum so that
// the damage itself is what the decoder must find.
std::vector<std::uint8_t> damaged(void (*damage)(std::vector<std::uint8_t>&), bool fixChecksum)
{
    std::vector<std::uint8_t> wlt = EncodePhoto(CardPhotoImage(BuiltinCards()[0]));
    damage(wlt);
    if (fixChecksum) {
        const std::size_t n = wlt[4] | (wlt[5] << 8);
        unsigned sum = 0;
        for (std::size_t i = 0; i < n && kWltHeaderSize + i < wlt.size(); ++i)
            sum += wlt[kWltHeaderSize + i];
        wlt[8] = static_cast<std::uint8_t>(sum & 0xFF);
        wlt[9] = static_cast<std::uint8_t>((sum >> 8) & 0xFF);
    }
    return wlt;
}

void setPayloadLength(std::vector<std::uint8_t>& w, std::size_t n)
{
    w[4] = static_cast<std::uint8_t>(n & 0xFF);
    w[5] = static_cast<std::uint8_t>(n >> 8);
}

struct BadPhoto
{
    const char* what;
    void (*damage)(std::vector<std::uint8_t>&);
    bool fixChecksum;
    int code;
    friend void PrintTo(const BadPhoto& b, std::ostream* os) { *os << b.what; }
};

class RejectsBadPhoto : public ::testing::TestWithParam<BadPhoto>
{
};

TEST_P(RejectsBadPhoto, WithoutWritingTheBitmap)
{
    const BadPhoto& c = GetParam();
    std::vector<std::uint8_t> wlt = damaged(c.damage, c.fixChecksum);
    wlt.resize(kPhotoBufferSize, 0);
    std::vector<std::uint8_t> bmp(kBitmapBufferSize, 0xEE);
    EXPECT_EQ(virtualReader().api.Wlt2Bmp(wlt.data(), bmp.data()), c.code);
    EXPECT_TRUE(std::all_of(bmp.begin(), bmp.end(), [](auto b) { return b == 0xEE; }));
}

constexpr std::size_t kPalette = kWltHeaderSize; // offset of the palette count

INSTANTIATE_TEST_SUITE_P(
    Cases, RejectsBadPhoto,
    ::testing::Values(BadPhoto{"magic", [](auto& w) { w[0] = 'X'; }, true, -2},
                      BadPhoto{"width", [](auto& w) { w[6] = 101; }, true, -2},
                      BadPhoto{"height", [](auto& w) { w[7] = 127; }, true, -2},
                      BadPhoto{"empty payload", [](auto& w) { setPayloadLength(w, 0); }, false, -2},
                      BadPhoto{"payload beyond 2001 bytes",
                               [](auto& w) { setPayloadLength(w, 1992); }, false, -2},
                      BadPhoto{"checksum", [](auto& w) { w.back() ^= 0x01; }, false, -3},
                      BadPhoto{"no palette", [](auto& w) { w[kPalette] = 0; }, true, -3},
                      BadPhoto{"palette of 16", [](auto& w) { w[kPalette] = 16; }, true, -3},
                      BadPhoto{"colour outside the palette",
                               [](auto& w) { w[kPalette + 1 + 3 * w[kPalette]] = 0xE0; }, true, -3},
                      BadPhoto{"copy from above in the first row",
                               [](auto& w) { w[kPalette + 1 + 3 * w[kPalette]] = 0xF0; }, true, -3},
                      BadPhoto{"runs end early",
                               [](auto& w) {
                                   w.pop_back();
                                   setPayloadLength(w, w.size() - kWltHeaderSize);
                               },
                               true, -3},
                      BadPhoto{"bytes after the last pixel",
                               [](auto& w) {
                                   w.push_back(0x00);
                                   setPayloadLength(w, w.size() - kWltHeaderSize);
                               },
                               true, -3},
                      BadPhoto{
                          "run past the last pixel",
                          [](auto& w) {
                              w.insert(w.begin() + kPalette + 1 + 3 * w[kPalette], {0x0F, 0xFF});
                              setPayloadLength(w, w.size() - kWltHeaderSize);
                          },
                          true, -3}),
    [](const auto& info) {
        std::string name = info.param.what;
        std::replace_if(
            name.begin(), name.end(),
            [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
        return name;
    });

TEST(PhotoFormat, NullArgumentsAreRefused)
{
    std::vector<std::uint8_t> wlt = EncodePhoto(CardPhotoImage(BuiltinCards()[0]));
    std::vector<std::uint8_t> bmp(kBitmapBufferSize);
    EXPECT_EQ(virtualReader().api.Wlt2Bmp(nullptr, bmp.data()), -1);
    EXPECT_EQ(virtualReader().api.Wlt2Bmp(wlt.data(), nullptr), -1);
}

#ifndef _WIN32
// Memory whose end is followed by an inaccessible page: a read past the end
// crashes the test instead of passing unnoticed.
class GuardedBuffer
{
public:
    GuardedBuffer()
    {
        m_page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
        m_size = ((kWltMaxSize + m_page - 1) / m_page + 1) * m_page;
        m_base = static_cast<std::uint8_t*>(
            ::mmap(nullptr, m_size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
        ::mprotect(m_base + m_size - m_page, m_page, PROT_NONE);
    }
    ~GuardedBuffer() { ::munmap(m_base, m_size); }
    // `bytes` placed so that their last byte is the last accessible one.
    std::uint8_t* place(const std::vector<std::uint8_t>& bytes)
    {
        std::uint8_t* p = m_base + m_size - m_page - bytes.size();
        std::memcpy(p, bytes.data(), bytes.size());
        return p;
    }

private:
    std::size_t m_page = 0;
    std::size_t m_size = 0;
    std::uint8_t* m_base = nullptr;
};

TEST(PhotoFormat, ReadsNoFurtherThanTheDeclaredPayload)
{
    GuardedBuffer guarded;
    std::vector<std::uint8_t> bmp(kBitmapBufferSize);
    const auto& wlt2bmp = virtualReader().api.Wlt2Bmp;
    for (const CardSpec& card : BuiltinCards()) {
        const std::vector<std::uint8_t> wlt = EncodePhoto(CardPhotoImage(card));
        EXPECT_EQ(wlt2bmp(guarded.place(wlt), bmp.data()), 38862) << card.key;
    }
    // A header that claims more than 2001 bytes is refused on its own.
    std::vector<std::uint8_t> header(EncodePhoto(CardPhotoImage(BuiltinCards()[0])));
    header.resize(kWltHeaderSize);
    setPayloadLength(header, 60000);
    EXPECT_LT(wlt2bmp(guarded.place(header), bmp.data()), 0);
    // One that claims exactly the 2001 bytes may read them all, and no more.
    std::vector<std::uint8_t> full(kWltMaxSize, 0x11);
    std::copy(header.begin(), header.begin() + 4, full.begin());
    full[6] = 102;
    full[7] = 126;
    setPayloadLength(full, kWltMaxSize - kWltHeaderSize);
    EXPECT_LT(wlt2bmp(guarded.place(full), bmp.data()), 0);
}

#endif

std::vector<std::uint8_t> bmpFile(const PaletteImage& image, bool topDown)
{
    std::vector<std::uint8_t> file = BmpFromImage(image);
    if (topDown) {
        const std::int32_t h = -kPhotoHeight;
        std::memcpy(file.data() + 22, &h, 4);
        for (int y = 0; y < kPhotoHeight / 2; ++y)
            std::swap_ranges(file.begin() + 54 + y * 308, file.begin() + 54 + (y + 1) * 308,
                             file.begin() + 54 + (kPhotoHeight - 1 - y) * 308);
    }
    return file;
}

TEST(PhotoFormat, ReadsBitmapFilesBottomUpAndTopDown)
{
    const PaletteImage image = patternImage(5);
    for (bool topDown : {false, true}) {
        PaletteImage back;
        std::string error;
        ASSERT_TRUE(ImageFromBmp(bmpFile(image, topDown), back, error)) << error;
        EXPECT_EQ(BmpFromImage(back), BmpFromImage(image)) << topDown;
    }
}

TEST(PhotoFormat, RefusesBitmapsItCannotHold)
{
    PaletteImage back;
    std::string error;
    EXPECT_FALSE(ImageFromBmp({'B', 'M', 0}, back, error));
    std::vector<std::uint8_t> file = BmpFromImage(patternImage(3));
    file[18] = 100; // width
    EXPECT_FALSE(ImageFromBmp(file, back, error));
    EXPECT_NE(error.find("102 x 126"), std::string::npos) << error;
    file = BmpFromImage(patternImage(3));
    file[28] = 32;
    EXPECT_FALSE(ImageFromBmp(file, back, error));
    file = BmpFromImage(patternImage(3));
    file.resize(1000);
    EXPECT_FALSE(ImageFromBmp(file, back, error));
    EXPECT_NE(error.find("short"), std::string::npos) << error;
    PaletteImage many = patternImage(15);
    many.palette.push_back({1, 2, 3});
    many.pixels[100] = 15;
    EXPECT_FALSE(ImageFromBmp(BmpFromImage(many), back, error));
    EXPECT_NE(error.find("15 colours"), std::string::npos) << error;
}

} // namespace

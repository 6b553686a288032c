#include "sim/portrait.h"

#include <cstdlib>

namespace termbsim {

namespace {

enum Ink : std::uint8_t {
    Background,
    Skin,
    Shade,
    Hair,
    Eye,
    Brow,
    Lips,
    Clothes,
    Collar,
    Frame,
    InkCount
};

Rgb darker(Rgb c, int percent)
{
    auto f = [&](std::uint8_t v) { return static_cast<std::uint8_t>(v * (100 - percent) / 100); };
    return {f(c.r), f(c.g), f(c.b)};
}

// Pixel (x, y) lies inside the ellipse with centre (cx, cy) and radii rx, ry;
// integers only, so every platform draws the same pixels.
bool inEllipse(int x, int y, int cx, int cy, int rx, int ry)
{
    const long dx = x - cx, dy = y - cy;
    return dx * dx * ry * ry + dy * dy * rx * rx <= static_cast<long>(rx) * rx * ry * ry;
}

class Canvas
{
public:
    explicit Canvas(PaletteImage& image) : m_image(image) {}

    template <typename Inside> void paint(Ink ink, Inside inside)
    {
        for (int y = 0; y < kPhotoHeight; ++y)
            for (int x = 0; x < kPhotoWidth; ++x)
                if (inside(x, y))
                    m_image.pixels[y * kPhotoWidth + x] = ink;
    }

private:
    PaletteImage& m_image;
};

} // namespace

PaletteImage DrawPortrait(const PortraitLook& look)
{
    PaletteImage image;
    image.palette.resize(InkCount);
    image.palette[Background] = look.background;
    image.palette[Skin] = look.skin;
    image.palette[Shade] = darker(look.skin, 15);
    image.palette[Hair] = look.hair;
    image.palette[Eye] = {30, 24, 20};
    image.palette[Brow] = darker(look.hair, 20);
    image.palette[Lips] = {176, 84, 78};
    image.palette[Clothes] = look.clothes;
    image.palette[Collar] = look.collar;
    image.palette[Frame] = {40, 40, 48};
    for (int i = Skin; i < InkCount; ++i) {
        if (image.palette[i] == look.background)
            image.palette[i].b ^= 1;
    }

    constexpr int cx = kPhotoWidth / 2; // 51
    Canvas c(image);
    if (look.hairStyle == HairStyle::Long)
        c.paint(Hair, [](int x, int y) { return y < 100 && inEllipse(x, y, cx, 58, 28, 42); });
    if (look.hairStyle == HairStyle::Bun)
        c.paint(Hair, [](int x, int y) { return inEllipse(x, y, cx, 19, 11, 9); });
    c.paint(Shade, [](int x, int y) { return y >= 66 && y < 100 && std::abs(x - cx) <= 9; });
    c.paint(Clothes, [](int x, int y) { return inEllipse(x, y, cx, 134, 54, 42); });
    // The open collar: a V of skin framed by the shirt.
    c.paint(Collar,
            [](int x, int y) { return y >= 92 && y < 118 && std::abs(x - cx) * 3 <= 130 - y; });
    c.paint(Shade, [](int x, int y) { return y >= 88 && std::abs(x - cx) * 3 <= 106 - y; });
    c.paint(Shade, [](int x, int y) {
        return inEllipse(x, y, cx - 21, 54, 4, 7) || inEllipse(x, y, cx + 21, 54, 4, 7);
    });
    c.paint(Skin, [](int x, int y) { return inEllipse(x, y, cx, 52, 20, 26); });
    switch (look.hairStyle) {
    case HairStyle::Short:
        c.paint(Hair, [](int x, int y) {
            return inEllipse(x, y, cx, 46, 22, 26) && (y < 36 || (y < 50 && std::abs(x - cx) > 15));
        });
        break;
    case HairStyle::Long:
    case HairStyle::Bun:
        c.paint(Hair, [](int x, int y) {
            return inEllipse(x, y, cx, 48, 22, 26) &&
                   (y < 34 - std::abs(x - cx) / 4 || (y < 60 && std::abs(x - cx) > 17));
        });
        break;
    case HairStyle::Cropped:
        c.paint(Hair, [](int x, int y) { return inEllipse(x, y, cx, 50, 21, 27) && y < 32; });
        break;
    }
    c.paint(Brow, [](int x, int y) {
        return y >= 43 && y <= 44 && std::abs(x - cx) >= 4 && std::abs(x - cx) <= 13;
    });
    c.paint(Eye, [](int x, int y) {
        return inEllipse(x, y, cx - 8, 50, 3, 2) || inEllipse(x, y, cx + 8, 50, 3, 2);
    });
    if (look.glasses) {
        c.paint(Frame, [](int x, int y) {
            const bool left =
                inEllipse(x, y, cx - 8, 50, 7, 5) && !inEllipse(x, y, cx - 8, 50, 6, 4);
            const bool right =
                inEllipse(x, y, cx + 8, 50, 7, 5) && !inEllipse(x, y, cx + 8, 50, 6, 4);
            return left || right || (y == 49 && std::abs(x - cx) <= 1);
        });
    }
    c.paint(Shade, [](int x, int y) { return y >= 55 && y <= 61 && x == cx; });
    c.paint(Lips, [](int x, int y) { return inEllipse(x, y, cx, 67, 6, 2); });
    return image;
}

} // namespace termbsim

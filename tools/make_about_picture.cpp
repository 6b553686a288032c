// Draws the about box's background picture and writes it as a JPEG through
// libjpeg's compressor: a light grey vertical gradient, the program's logo in
// the upper left corner and a thin engraved rule just above the first text
// line. Built and run by CMake as a host tool; the output lands in the build
// tree and is compiled into the windows as a resource.
//
//   make_about_picture <output.jpg>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include <jpeglib.h>

namespace {

constexpr int kWidth = 327;
constexpr int kHeight = 254;
constexpr int kRuleY = 80; // the first text line starts at 88

struct Rgb
{
    double r, g, b;
};

Rgb mix(Rgb a, Rgb b, double t)
{
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

class Canvas
{
public:
    Canvas() : m_pixels(static_cast<size_t>(kWidth) * kHeight) {}

    Rgb& at(int x, int y) { return m_pixels[static_cast<size_t>(y) * kWidth + x]; }

    // Paints `colour` over the pixels inside `shape`, weighted by how much of
    // each pixel the shape covers (4 x 4 samples), for smooth edges.
    template <typename Shape, typename Colour>
    void fill(int left, int top, int right, int bottom, Shape inside, Colour colour)
    {
        for (int y = std::max(top, 0); y < std::min(bottom, kHeight); ++y)
            for (int x = std::max(left, 0); x < std::min(right, kWidth); ++x) {
                int hits = 0;
                for (int sy = 0; sy < 4; ++sy)
                    for (int sx = 0; sx < 4; ++sx)
                        hits += inside(x + (sx + 0.5) / 4, y + (sy + 0.5) / 4) ? 1 : 0;
                if (hits > 0)
                    at(x, y) = mix(at(x, y), colour(x, y), hits / 16.0);
            }
    }

    bool writeJpeg(const char* path) const
    {
        std::FILE* out = std::fopen(path, "wb");
        if (!out)
            return false;
        jpeg_compress_struct info{};
        jpeg_error_mgr errors{};
        info.err = jpeg_std_error(&errors);
        jpeg_create_compress(&info);
        jpeg_stdio_dest(&info, out);
        info.image_width = kWidth;
        info.image_height = kHeight;
        info.input_components = 3;
        info.in_color_space = JCS_RGB;
        jpeg_set_defaults(&info);
        jpeg_set_quality(&info, 92, TRUE);
        jpeg_start_compress(&info, TRUE);
        std::vector<unsigned char> row(kWidth * 3);
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                const Rgb& p = m_pixels[static_cast<size_t>(y) * kWidth + x];
                row[x * 3] = static_cast<unsigned char>(std::lround(std::clamp(p.r, 0.0, 255.0)));
                row[x * 3 + 1] =
                    static_cast<unsigned char>(std::lround(std::clamp(p.g, 0.0, 255.0)));
                row[x * 3 + 2] =
                    static_cast<unsigned char>(std::lround(std::clamp(p.b, 0.0, 255.0)));
            }
            JSAMPROW rows[] = {row.data()};
            jpeg_write_scanlines(&info, rows, 1);
        }
        jpeg_finish_compress(&info);
        jpeg_destroy_compress(&info);
        return std::fclose(out) == 0;
    }

private:
    std::vector<Rgb> m_pixels;
};

// A rounded rectangle from (x0, y0) to (x1, y1) with corner radius r.
auto roundedRect(double x0, double y0, double x1, double y1, double r)
{
    return [=](double x, double y) {
        if (x < x0 || x > x1 || y < y0 || y > y1)
            return false;
        const double cx = std::clamp(x, x0 + r, x1 - r);
        const double cy = std::clamp(y, y0 + r, y1 - r);
        return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r;
    };
}

auto circle(double cx, double cy, double r)
{
    return [=](double x, double y) { return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r; };
}

auto solid(Rgb c)
{
    return [=](int, int) { return c; };
}

void drawBackground(Canvas& canvas)
{
    const Rgb top{250, 250, 251};
    const Rgb bottom{221, 223, 227};
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            canvas.at(x, y) = mix(top, bottom, static_cast<double>(y) / (kHeight - 1));
}

// The logo: a blue tile holding a white card with a portrait and text lines,
// the thing the program reads.
void drawLogo(Canvas& canvas)
{
    const int left = 22, top = 14, size = 54;
    canvas.fill(left + 1, top + 2, left + size + 3, top + size + 4,
                roundedRect(left + 1.5, top + 2.5, left + size + 1.5, top + size + 2.5, 11),
                solid({190, 193, 200}));
    canvas.fill(left, top, left + size + 1, top + size + 1,
                roundedRect(left, top, left + size, top + size, 11), [=](int, int y) {
                    return mix({58, 118, 200}, {24, 66, 140}, double(y - top) / size);
                });
    const double cx0 = left + 9, cy0 = top + 15, cx1 = left + size - 9, cy1 = top + size - 15;
    canvas.fill(left, top, left + size, top + size, roundedRect(cx0, cy0, cx1, cy1, 3),
                solid({250, 251, 253}));
    canvas.fill(left, top, left + size, top + size,
                roundedRect(cx0 + 4, cy0 + 4, cx0 + 15, cy1 - 4, 2), solid({196, 210, 232}));
    canvas.fill(left, top, left + size, top + size, circle(cx0 + 9.5, cy0 + 9.5, 3.2),
                solid({86, 128, 196}));
    for (int line = 0; line < 3; ++line) {
        const double y = cy0 + 6 + line * 6;
        const double x1 = line == 2 ? cx1 - 10 : cx1 - 4;
        canvas.fill(left, top, left + size, top + size, roundedRect(cx0 + 19, y, x1, y + 2.2, 1.1),
                    solid({150, 162, 184}));
    }
}

// An engraved rule: a dark line with a light one under it.
void drawRule(Canvas& canvas)
{
    for (int x = 16; x < kWidth - 16; ++x) {
        canvas.at(x, kRuleY) = {178, 182, 190};
        canvas.at(x, kRuleY + 1) = {255, 255, 255};
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output.jpg>\n", argv[0]);
        return 2;
    }
    Canvas canvas;
    drawBackground(canvas);
    drawLogo(canvas);
    drawRule(canvas);
    if (!canvas.writeJpeg(argv[1])) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}

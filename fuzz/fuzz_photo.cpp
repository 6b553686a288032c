// The card view's photo on any file content: loading it never crashes the
// view, and the photo's cut-out is exactly the pixels whose colour differs
// from the top-left pixel's (checked pixel by pixel, on every image the BMP
// loader accepts, and on the panel's mask when the view shows the photo).
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QRegion>
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "present/card_view_model.h"
#include "ui/qt/card_view.h"
#include "ui/qt/photo_region.h"

namespace {

QApplication* g_app = nullptr;
CardView* g_view = nullptr;

// The region as one flag per pixel of a width x height image; aborts on a
// rectangle outside the image or two rectangles that overlap.
std::vector<bool> regionPixels(const QRegion& region, int width, int height)
{
    std::vector<bool> inside(std::size_t(width) * height, false);
    for (const QRect& r : region) {
        if (r.left() < 0 || r.top() < 0 || r.right() >= width || r.bottom() >= height)
            std::abort();
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x) {
                if (inside[std::size_t(y) * width + x])
                    std::abort();
                inside[std::size_t(y) * width + x] = true;
            }
    }
    return inside;
}

// The cut by hand: every pixel whose colour (without alpha) is not the
// top-left pixel's.
std::vector<bool> bruteForceCut(const QImage& bitmap)
{
    const QImage image = bitmap.convertToFormat(QImage::Format_RGB32);
    const QRgb key = image.pixel(0, 0) & RGB_MASK;
    std::vector<bool> kept(std::size_t(image.width()) * image.height());
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            kept[std::size_t(y) * image.width() + x] = (image.pixel(x, y) & RGB_MASK) != key;
    return kept;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    g_app = new QApplication(*argc, *argv);
    g_view = new CardView;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The bytes as the bitmap the reading thread kept for the card.
    const TIDCardInfo card{};
    const TCardKindInfo kind{};
    g_view->ShowCardInfo(CardViewFor(card, kind, 0, data, size));

    QImage image;
    if (!image.loadFromData(data, int(size), "BMP") || image.isNull())
        return 0;
    const int width = image.width(), height = image.height();
    if (qint64(width) * height > 512 * 512)
        return 0; // the cut is the same code on any size; keep runs fast
    const std::vector<bool> expected = bruteForceCut(image);
    if (regionPixels(PhotoRegion(image), width, height) != expected)
        std::abort();

    auto* panel = g_view->findChild<QWidget*>(QStringLiteral("PhotoPanel"));
    auto* label = g_view->findChild<QLabel*>(QStringLiteral("PhotoImage"));
    if (!panel || !label)
        std::abort();
    // The view shows this photo, masked to its cut; a photo that is all
    // background is masked away entirely. Compared with the photo the view
    // holds: a truncated file leaves pixels the BMP reader never wrote, which
    // differ from one load to the next.
    if (!panel->isVisibleTo(g_view))
        std::abort();
    // Any size shows at its own size, no larger than the photo's place.
    const QImage shown = label->pixmap().toImage();
    if (shown.size() != image.size().boundedTo(QSize(102, 126)))
        std::abort();
    const std::vector<bool> cut = bruteForceCut(shown);
    const bool allBackground = std::find(cut.begin(), cut.end(), true) == cut.end();
    const QRegion mask = panel->mask() & QRegion(0, 0, shown.width(), shown.height());
    if (allBackground ? !mask.isEmpty() : regionPixels(mask, shown.width(), shown.height()) != cut)
        std::abort();
    return 0;
}

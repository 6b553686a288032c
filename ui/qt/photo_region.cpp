#include "ui/photo_region.h"

#include <QRect>
#include <QWidget>
#include <vector>

QRegion photoRegion(const QImage& bitmap)
{
    if (bitmap.isNull())
        return {};
    // Colours are compared without alpha, as a 24-bit bitmap has none.
    const QImage image = bitmap.convertToFormat(QImage::Format_RGB32);
    const int width = image.width();
    const int height = image.height();
    const QRgb key = image.pixel(0, 0) & RGB_MASK;

    // One pass over the rows: each row's maximal runs of kept pixels become
    // rectangles one row high, and a row whose runs equal those of the band
    // above extends that band. This is the y-x banded, non-touching form
    // QRegion::setRects takes as is, so the region is built without a single
    // region operation however ragged the background's edge.
    std::vector<QRect> rects;
    std::vector<QRect> row;
    // At most every other pixel of a row starts a run. Reserving that up
    // front keeps the worst photo to one allocation instead of a series of
    // regrowths through the allocator's large-block path.
    rects.reserve(static_cast<std::size_t>((width + 1) / 2) * height);
    row.reserve(static_cast<std::size_t>((width + 1) / 2));
    std::size_t bandStart = 0; // first rectangle of the band above
    bool haveBand = false;
    for (int y = 0; y < height; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        row.clear();
        int x = 0;
        while (x < width) {
            while (x < width && (line[x] & RGB_MASK) == key)
                ++x;
            const int left = x;
            while (x < width && (line[x] & RGB_MASK) != key)
                ++x;
            if (x > left)
                row.emplace_back(left, y, x - left, 1);
        }
        const std::size_t bandSize = rects.size() - bandStart;
        bool sameAsBand = haveBand && !row.empty() && bandSize == row.size() &&
                          rects[bandStart].bottom() == y - 1;
        for (std::size_t i = 0; sameAsBand && i < row.size(); ++i)
            sameAsBand = rects[bandStart + i].left() == row[i].left() &&
                         rects[bandStart + i].right() == row[i].right();
        if (sameAsBand) {
            for (std::size_t i = bandStart; i < rects.size(); ++i)
                rects[i].setBottom(y);
        } else if (!row.empty()) {
            bandStart = rects.size();
            haveBand = true;
            rects.insert(rects.end(), row.begin(), row.end());
        }
    }
    QRegion region;
    region.setRects(rects.data(), static_cast<int>(rects.size()));
    return region;
}

void SetPhotoRegion(const QImage& bitmap, QWidget* window)
{
    const QRegion region = photoRegion(bitmap);
    if (region.isEmpty()) {
        // QWidget::setMask treats an empty region as "no mask" and would show
        // the whole photo; a mask that lies wholly outside the widget shows
        // none of it, which is what a photo that is all background means.
        window->setMask(QRegion(-1, -1, 1, 1));
        return;
    }
    window->setMask(region);
}

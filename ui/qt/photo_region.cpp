#include "ui/qt/photo_region.h"

#include <QRect>
#include <QWidget>
#include <vector>

#include "present/card_view_model.h"

QRegion PhotoRegion(const QImage& bitmap)
{
    if (bitmap.isNull())
        return {};
    // RGB32 rows are the 0x??RRGGBB pixels the layer's cut-out reads.
    const QImage image = bitmap.convertToFormat(QImage::Format_RGB32);
    const std::vector<UiLayout::Rect> kept =
        PhotoRegionRects(reinterpret_cast<const std::uint32_t*>(image.constBits()), image.width(),
                         image.height(), static_cast<std::size_t>(image.bytesPerLine()) / 4);
    std::vector<QRect> rects;
    rects.reserve(kept.size());
    for (const UiLayout::Rect& r : kept)
        rects.emplace_back(r.x, r.y, r.width, r.height);
    // Already in the y-x banded, non-touching form setRects takes as is.
    QRegion region;
    region.setRects(rects.data(), static_cast<int>(rects.size()));
    return region;
}

void SetPhotoRegion(const QImage& bitmap, QWidget* window)
{
    const QRegion region = PhotoRegion(bitmap);
    if (region.isEmpty()) {
        // QWidget::setMask treats an empty region as "no mask" and would show
        // the whole photo; a mask that lies wholly outside the widget shows
        // none of it, which is what a photo that is all background means.
        window->setMask(QRegion(-1, -1, 1, 1));
        return;
    }
    window->setMask(region);
}

// The main window's start-up pictures as drawn when the program was built:
// wrapping them costs a copy, where drawing them (gradients, curves and the
// banner's title in a font loaded for it alone) took a good part of the
// start.

#include <QImage>
#include <iterator>

#include "stored_pictures_data.inc"
#include "ui/qt/pictures.h"

namespace Pictures {

QPixmap StoredPixmap(StoredPicture which)
{
    static_assert(std::size(kStoredPictureData) == kStoredPictureCount,
                  "one stored picture per StoredPicture");
    const StoredPictureData& data = kStoredPictureData[static_cast<int>(which)];
    const QImage image(reinterpret_cast<const uchar*>(data.pixels), data.width, data.height,
                       data.width * 4, QImage::Format_ARGB32_Premultiplied);
    return QPixmap::fromImage(image);
}

} // namespace Pictures

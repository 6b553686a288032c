#pragma once
// Cutting the photo's background away: the region of a photo without the
// pixels of its background colour, and giving that region to the widget that
// shows the photo.

#include <QImage>
#include <QRegion>

class QWidget;

// The photo's area, (0,0) to its size, without every pixel whose colour is
// exactly that of the top-left pixel (the background the photo was taken
// against). Pixels of that colour inside the face are cut away too.
QRegion PhotoRegion(const QImage& bitmap);

// Masks `window` to PhotoRegion(bitmap); bitmap coordinates are the window's
// coordinates, since the photo sits at the window's origin without a border.
void SetPhotoRegion(const QImage& bitmap, QWidget* window);

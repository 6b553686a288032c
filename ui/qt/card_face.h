#pragma once
// The picture of the card face under the card view: a pale card with rounded
// corners and the printed captions in a column at the left, each placed so
// that the view's label for it stands to its right.

#include <QFont>
#include <QPixmap>

inline constexpr int kCardFaceWidth = 480;
inline constexpr int kCardFaceHeight = 253;

// `captionFont` prints the captions; `dataFont` is the font of the data
// labels, measured to put the year, month and day marks of the date of birth
// into the gaps of its text.
QPixmap cardFacePixmap(const QFont& captionFont, const QFont& dataFont);

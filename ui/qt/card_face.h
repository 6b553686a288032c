#pragma once
// The pictures of the card faces under the card view: a pale card with
// rounded corners and the printed captions in a column at the left, each
// placed so that the view's label for it stands to its right, and on the
// faces of the other card kinds the kind's name as a title line under the
// photo. One drawing for every face, from the presentation layer's
// CardFaceLayoutFor; the Win32 front-end renders its pictures with it too.

#include <QFont>
#include <QPixmap>

#include "present/card_view_model.h"

inline constexpr int kCardFaceWidth = 480;
inline constexpr int kCardFaceHeight = 253;

// `captionFont` prints the captions (and, in bold, the title). With
// `dataFont`, the font of the data labels, the face carries the year, month
// and day marks of the date of birth, placed after the numbers as that font
// draws them; without it, it carries none, and the window that shows it
// draws them itself with its own fonts.
QPixmap CardFacePixmap(CardFace face, const QFont& captionFont, const QFont* dataFont);

#pragma once
// Head-and-shoulders photos drawn by code, for the fictional sample cards.

#include "sim/photo.h"

namespace termbsim {

enum class HairStyle { Short, Long, Bun, Cropped };

// The colours of one portrait. Only the background may have its colour: the
// tool cuts away every pixel of the top-left pixel's colour, so DrawPortrait
// moves any figure colour that equals the background off it by one step.
struct PortraitLook
{
    Rgb background;
    Rgb skin;
    Rgb hair;
    Rgb clothes;
    Rgb collar;
    HairStyle hairStyle = HairStyle::Short;
    bool glasses = false;
};

// A 102 x 126 photo: a uniform background and a figure of at most 14 other
// colours, so it fits the compressed format's palette.
PaletteImage DrawPortrait(const PortraitLook& look);

} // namespace termbsim

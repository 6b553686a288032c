#pragma once
// The card view's content without a toolkit: each text with its control, its
// place, its font and colour role, the photo to show and the photo's cut-out
// as rectangles. A front-end lays the texts over the card face picture in
// the order given and masks the photo's window to the rectangles.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "card/card_info.h"
#include "ui/layout.h"

// The card view fills its fingerprint line only for this selector, the one
// the main window passes.
inline constexpr int kCardViewSelector = 7;

enum class CardFont
{
    Data, // the data labels: "宋体" 13 pixels, bold
    Line, // the fingerprint line: "宋体" 13 pixels, regular
};

enum class CardColour
{
    WindowText, // the window-text colour
    Black,      // colour value 0
    Red,        // colour value 255 (0x00BBGGRR): a fingerprint of unexpected length
};

struct CardText
{
    const char* control;     // NameLabel, SexLabel ...
    UiLayout::Rect place;    // in p_IDCardInfo; width and height 0: sized to its text
    bool wordWrap = false;   // AddressLabel wraps within its fixed size
    CardFont font = CardFont::Data;
    CardColour colour = CardColour::WindowText;
    std::string text;        // UTF-8; CR LF between the lines WrapText made
    bool visible = true;
};

struct CardViewContent
{
    std::vector<CardText> texts; // in the order ShowCardInfo sets them
    // The card's bitmap file (BMP bytes) to show in PhotoImage, or empty for
    // no photo. The front-end decodes it; when it cannot, the photo stays
    // hidden.
    const unsigned char* photo = nullptr;
    std::size_t photoSize = 0;
};

// ShowCardInfo's content for `card` and the bitmap the reading thread kept
// for it. The fingerprint line (Label1) is produced only for the selector 7.
CardViewContent CardViewFor(const TIDCardInfo& card, int selector, const unsigned char* photo,
                            std::size_t photoSize);

// The place of PhotoPanel for a decoded photo of this size: its own size at
// the photo's corner, at most the photo's place of 102 by 126.
UiLayout::Rect PhotoPlace(int width, int height);

// The photo's area without every pixel whose colour is exactly that of the
// top-left pixel, as rectangles in y-x bands (each band's rectangles share
// top and bottom, left to right, bands top to bottom, none touching), the
// form both Qt's QRegion::setRects and Windows' ExtCreateRegion take as is.
// `pixels` holds `height` rows of `width` 32-bit pixels 0x??RRGGBB (the top
// byte is ignored), `stride` pixels apart.
std::vector<UiLayout::Rect> PhotoRegionRects(const std::uint32_t* pixels, int width, int height,
                                             std::size_t stride);

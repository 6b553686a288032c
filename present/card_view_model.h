#pragma once
// The card view's content without a toolkit: the card face to draw, each
// text with its control, its place, its font and colour role, the photo to
// show and the photo's cut-out as rectangles. A front-end lays the texts over
// the card face picture in the order given and masks the photo's window to
// the rectangles. Each card kind has a face of its own, with its own
// captions (CardFaceLayoutFor) and its own labels.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "card/card_info.h"
#include "card/card_kinds.h"
#include "present/layout.h"

// The card view fills its fingerprint line only for this selector, the one
// the main window passes.
inline constexpr int kCardViewSelector = 7;

enum class CardFont {
    Data, // the data labels: "宋体" 13 pixels, bold
    Line, // the fingerprint line: "宋体" 13 pixels, regular
};

enum class CardColour {
    WindowText, // the window-text colour
    Black,      // colour value 0
    Red,        // colour value 255 (0x00BBGGRR): a fingerprint of unexpected length
};

// The picture under the card view's labels: one per card kind the view lays
// out, and a plain one for the kinds it does not.
enum class CardFace {
    IdCard,           // resident identity card
    ForeignPermanent, // foreign permanent resident card (2017 layout)
    ResidencePermit,  // residence permit for Hong Kong, Macao and Taiwan residents
    Unsupported,      // the 2023 foreign card and unknown marks: the kind's name only
};
inline constexpr CardFace kCardFaces[] = {CardFace::IdCard, CardFace::ForeignPermanent,
                                          CardFace::ResidencePermit, CardFace::Unsupported};

CardFace CardFaceOf(CardKind kind);

// A caption printed on a face, its baseline on that of a label whose top is
// `top`, so the two read as one line.
struct CardFaceCaption
{
    std::string_view text; // UTF-8
    int x;
    int top;
};

// What a face carries besides its background: the title line (empty for the
// identity card and the plain face; drawn centred in UiLayout::kCardFaceTitle),
// the captions, and for the faces with a date of birth as the identity card
// prints it, the year, month and day marks, set into the gaps of BirthdayLabel
// at `birthday`.
struct CardFaceLayout
{
    std::string_view title;
    std::vector<CardFaceCaption> captions;
    bool birthdayMarks = false;
    UiLayout::Rect birthday{};
};
CardFaceLayout CardFaceLayoutFor(CardFace face);

struct CardText
{
    const char* control;   // NameLabel, SexLabel ...
    UiLayout::Rect place;  // in p_IDCardInfo; width and height 0: sized to its text
    bool wordWrap = false; // AddressLabel and EnglishNameLabel wrap within their fixed size
    CardFont font = CardFont::Data;
    CardColour colour = CardColour::WindowText;
    std::string text{}; // UTF-8; CR LF between the lines WrapText made
    bool visible = true;
};

struct CardViewContent
{
    CardFace face = CardFace::IdCard; // the picture in Image4
    // Every control of the view (CardViewControls), in the order ShowCardInfo
    // sets them: first those this card's face does not have, hidden, then the
    // face's own. A control keeps its name, font and wrapping on every face,
    // but may stand elsewhere: each text carries its place.
    std::vector<CardText> texts;
    // The card's bitmap file (BMP bytes) to show in PhotoImage, or empty for
    // no photo. The front-end decodes it; when it cannot, the photo stays
    // hidden.
    const unsigned char* photo = nullptr;
    std::size_t photoSize = 0;
};

// ShowCardInfo's content for the card the reading thread read: `card` its
// record as an identity card (CardInfo), `kind` its kind and the kind's own
// record (CardKindInfo), and the bitmap kept for it. An identity card shows
// `card` on the identity card's face; a foreign permanent resident card or a
// residence permit shows its own record on its own face; a kind that is not
// decoded shows its name and kUnsupportedLayoutText. Every kind shows the
// photo, and the fingerprint line (Label1) of `card`, produced only for the
// selector 7.
CardViewContent CardViewFor(const TIDCardInfo& card, const TCardKindInfo& kind, int selector,
                            const unsigned char* photo, std::size_t photoSize);

// Every control the card view shows on any face, each once (with its place
// on the first face that has it), in the order a front-end creates them: the
// identity card's first, as they always were.
std::vector<CardText> CardViewControls();

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

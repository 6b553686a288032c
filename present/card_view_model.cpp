#include "present/card_view_model.h"

#include "base/text.h"

#include <algorithm>

#include "card/gbk.h"
#include "present/card_text.h"
#include "present/texts.h"

namespace {

using UiLayout::kCardCaptionLeft;
using UiLayout::kCardWrapWidth;

CardText dataText(const char* control, int x, int y, const std::string& gbk)
{
    CardText t{control, {x, y, 0, 0}};
    t.text = GbkToUtf8(gbk);
    return t;
}

// A text of two lines at most that wraps within its fixed size.
CardText wrappedText(const char* control, int x, int y, const std::string& gbk)
{
    CardText t = dataText(control, x, y, gbk);
    t.place.width = 254;
    t.place.height = 36;
    t.wordWrap = true;
    return t;
}

// The validity period: start, the line between, end; on every face in the
// identity card's places.
void validityTexts(std::vector<CardText>& texts, const std::string& start, const std::string& end)
{
    texts.push_back(dataText("StartDateLabel", 87, 181, formatDate(start, kValiditySeparator)));
    texts.push_back(dataText("BetweenLabel", 171, 174, std::string(UiText::kBetween)));
    texts.push_back(dataText("EndDateLabel", 182, 181, formatDate(end, kValiditySeparator)));
}

// The issuing authority: trimmed before it is broken, the reverse of the address.
std::string authorityText(const std::string& gbk)
{
    return WrapText(TrimText(gbk), kCardWrapWidth);
}

// The fields the identity card and the residence permit share, in the
// identity card's places and order; the permit has no nation.
template <class Record>
void residentTexts(std::vector<CardText>& texts, const Record& card, const std::string* nation)
{
    texts.push_back(dataText("NameLabel", 75, 21, FieldText(card.Name)));
    texts.push_back(dataText("SexLabel", 75, 45, FieldText(card.Sex)));
    if (nation)
        texts.push_back(dataText("NationLabel", 175, 45, *nation));
    texts.push_back(wrappedText("AddressLabel", 75, 93,
                                TrimText(WrapText(FieldText(card.Address), kCardWrapWidth))));
    texts.push_back(dataText("IDCardNoLabel", 116, 132, FieldText(card.IDCardNo)));
    texts.push_back(
        dataText("CheckDepartmentLabel", 87, 157, authorityText(FieldText(card.CheckDepartment))));
    texts.push_back(dataText("BirthdayLabel", 75, 69,
                             formatDate(FieldText(card.Birthday), kBirthdaySeparator)));
    validityTexts(texts, FieldText(card.StartDate), FieldText(card.EndDate));
}

void idCardTexts(std::vector<CardText>& texts, const TIDCardInfo& card)
{
    const std::string nation = FieldText(card.Nation);
    residentTexts(texts, card, &nation);
}

// The foreign permanent resident card: the names on the first rows, the
// English one on two lines like the address, then a row each, down to the
// validity period in the identity card's place and the card version under it.
void foreignTexts(std::vector<CardText>& texts, const TForeignCardInfo& card)
{
    texts.push_back(dataText("NameLabel", 87, 21, FieldText(card.ChineseName)));
    texts.push_back(wrappedText("EnglishNameLabel", 87, 45,
                                TrimText(WrapText(FieldText(card.EnglishName), kCardWrapWidth))));
    texts.push_back(dataText("SexLabel", 75, 84, FieldText(card.Sex)));
    texts.push_back(dataText("NationalityLabel", 175, 84, FieldText(card.Nationality)));
    texts.push_back(dataText("BirthdayLabel", 87, 108,
                             formatDate(FieldText(card.Birthday), kValiditySeparator)));
    texts.push_back(dataText("CardNoLabel", 87, 132, FieldText(card.CardNo)));
    texts.push_back(
        dataText("CheckDepartmentLabel", 87, 157, authorityText(FieldText(card.Authority))));
    validityTexts(texts, FieldText(card.StartDate), FieldText(card.EndDate));
    texts.push_back(dataText("CardVersionLabel", 87, 205, FieldText(card.CardVersion)));
}

// The residence permit: the identity card's fields in their places without
// the nation, and on the last row the pass number and the issue count.
void permitTexts(std::vector<CardText>& texts, const TPermitCardInfo& card)
{
    residentTexts(texts, card, nullptr);
    texts.push_back(dataText("PassNoLabel", 100, 205, FieldText(card.PassNo)));
    texts.push_back(dataText("IssueCountLabel", 256, 205, FieldText(card.IssueCount)));
}

// A kind whose layout is not decoded: its name and the notice, nothing of
// its base text.
void unsupportedTexts(std::vector<CardText>& texts, CardKind kind)
{
    CardText name{"KindLabel", {kCardCaptionLeft, 21, 0, 0}};
    name.text = CardKindName(kind);
    texts.push_back(name);
    CardText notice{"UnsupportedLabel", {kCardCaptionLeft, 45, 0, 0}};
    notice.text = kUnsupportedLayoutText;
    texts.push_back(notice);
}

CardText fingerprintText(const TIDCardInfo& card, int selector)
{
    CardText line{"Label1", {21, 228, 439, 19}};
    line.font = CardFont::Line;
    line.visible = false;
    if (selector == kCardViewSelector) {
        const FingerprintLine fp = fingerprintLine(card.FingerprintData, card.FingerprintLength);
        line.text = GbkToUtf8(fp.text);
        line.colour = fp.unexpected ? CardColour::Red : CardColour::Black;
        line.visible = true;
    }
    return line;
}

CardFaceCaption caption(std::string_view text, int top, int x = kCardCaptionLeft)
{
    return {text, x, top};
}

} // namespace

CardFace CardFaceOf(CardKind kind)
{
    switch (kind) {
    case CardKind::IdCard:
        return CardFace::IdCard;
    case CardKind::ForeignPermanent:
        return CardFace::ForeignPermanent;
    case CardKind::HkMacaoTaiwanPermit:
        return CardFace::ResidencePermit;
    case CardKind::ForeignPermanent2023:
    case CardKind::Unknown:
        break;
    }
    return CardFace::Unsupported;
}

CardFaceLayout CardFaceLayoutFor(CardFace face)
{
    using namespace UiText;
    CardFaceLayout layout;
    switch (face) {
    case CardFace::IdCard:
        layout.captions = {caption(kCaptionName, 21),        caption(kCaptionSex, 45),
                           caption(kCaptionNation, 45, 140), caption(kCaptionBirth, 69),
                           caption(kCaptionAddress, 93),     caption(kCaptionIdNumber, 132),
                           caption(kCaptionAuthority, 157),  caption(kCaptionValidity, 181),
                           caption(kCaptionAppAddress, 205)};
        layout.birthdayMarks = true;
        layout.birthday = {75, 69, 0, 0};
        break;
    case CardFace::ForeignPermanent:
        layout.title = CardKindName(CardKind::ForeignPermanent);
        layout.captions = {caption(kCaptionChineseName, 21), caption(kCaptionEnglishName, 45),
                           caption(kCaptionSex, 84),         caption(kCaptionNationality, 84, 140),
                           caption(kCaptionBirthDate, 108),  caption(kCaptionCardNo, 132),
                           caption(kCaptionAuthority, 157),  caption(kCaptionValidity, 181),
                           caption(kCaptionCardVersion, 205)};
        break;
    case CardFace::ResidencePermit:
        layout.title = CardKindName(CardKind::HkMacaoTaiwanPermit);
        layout.captions = {caption(kCaptionName, 21),
                           caption(kCaptionSex, 45),
                           caption(kCaptionBirth, 69),
                           caption(kCaptionAddress, 93),
                           caption(kCaptionIdNumber, 132),
                           caption(kCaptionAuthority, 157),
                           caption(kCaptionValidity, 181),
                           caption(kCaptionPassNo, 205),
                           caption(kCaptionIssueCount, 205, 190)};
        layout.birthdayMarks = true;
        layout.birthday = {75, 69, 0, 0};
        break;
    case CardFace::Unsupported:
        break;
    }
    return layout;
}

CardViewContent CardViewFor(const TIDCardInfo& card, const TCardKindInfo& kind, int selector,
                            const unsigned char* photo, std::size_t photoSize)
{
    CardViewContent view;
    view.face = CardFaceOf(kind.Kind);
    auto& texts = view.texts;
    switch (view.face) {
    case CardFace::IdCard:
        idCardTexts(texts, card);
        break;
    case CardFace::ForeignPermanent:
        foreignTexts(texts, kind.Foreign);
        break;
    case CardFace::ResidencePermit:
        permitTexts(texts, kind.Permit);
        break;
    case CardFace::Unsupported:
        unsupportedTexts(texts, kind.Kind);
        break;
    }
    if (photo && photoSize > 0) {
        view.photo = photo;
        view.photoSize = photoSize;
    }
    if (view.face == CardFace::IdCard)
        texts.push_back(dataText("AppAddressLabel", 87, 205, FieldText(card.AppAddress)));
    texts.push_back(fingerprintText(card, selector));
    return view;
}

std::vector<CardText> CardViewControls()
{
    std::vector<CardText> controls;
    const TIDCardInfo card{};
    TCardKindInfo kind{};
    for (CardKind k : {CardKind::IdCard, CardKind::ForeignPermanent, CardKind::HkMacaoTaiwanPermit,
                       CardKind::Unknown}) {
        kind.Kind = k;
        for (const CardText& text : CardViewFor(card, kind, kCardViewSelector, nullptr, 0).texts) {
            const bool known =
                std::any_of(controls.begin(), controls.end(), [&](const CardText& c) {
                    return std::string_view(c.control) == text.control;
                });
            if (!known)
                controls.push_back(text);
        }
    }
    return controls;
}

UiLayout::Rect PhotoPlace(int width, int height)
{
    const UiLayout::Rect& place = UiLayout::kPhotoPanel;
    return {place.x, place.y, std::clamp(width, 0, place.width),
            std::clamp(height, 0, place.height)};
}

std::vector<UiLayout::Rect> PhotoRegionRects(const std::uint32_t* pixels, int width, int height,
                                             std::size_t stride)
{
    std::vector<UiLayout::Rect> rects;
    if (!pixels || width <= 0 || height <= 0)
        return rects;
    // Colours are compared without the top byte, as a 24-bit bitmap has no
    // alpha.
    constexpr std::uint32_t kRgb = 0xFFFFFF;
    const std::uint32_t key = pixels[0] & kRgb;

    // One pass over the rows: each row's maximal runs of kept pixels become
    // rectangles one row high, and a row whose runs equal those of the band
    // above extends that band. This is the y-x banded, non-touching form the
    // toolkits take as is, so the region is built without a single region
    // operation however ragged the background's edge.
    std::vector<UiLayout::Rect> row;
    // At most every other pixel of a row starts a run. Reserving that up
    // front keeps the worst photo to one allocation.
    rects.reserve(static_cast<std::size_t>((width + 1) / 2) * static_cast<std::size_t>(height));
    row.reserve(static_cast<std::size_t>((width + 1) / 2));
    std::size_t bandStart = 0; // first rectangle of the band above
    bool haveBand = false;
    for (int y = 0; y < height; ++y) {
        const std::uint32_t* line = pixels + stride * static_cast<std::size_t>(y);
        row.clear();
        int x = 0;
        while (x < width) {
            while (x < width && (line[x] & kRgb) == key)
                ++x;
            const int left = x;
            while (x < width && (line[x] & kRgb) != key)
                ++x;
            if (x > left)
                row.push_back({left, y, x - left, 1});
        }
        const std::size_t bandSize = rects.size() - bandStart;
        bool sameAsBand = haveBand && !row.empty() && bandSize == row.size() &&
                          rects[bandStart].y + rects[bandStart].height == y;
        for (std::size_t i = 0; sameAsBand && i < row.size(); ++i)
            sameAsBand = rects[bandStart + i].x == row[i].x &&
                         rects[bandStart + i].width == row[i].width;
        if (sameAsBand) {
            for (std::size_t i = bandStart; i < rects.size(); ++i)
                ++rects[i].height;
        } else if (!row.empty()) {
            bandStart = rects.size();
            haveBand = true;
            rects.insert(rects.end(), row.begin(), row.end());
        }
    }
    return rects;
}

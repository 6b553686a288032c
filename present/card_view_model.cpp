#include "present/card_view_model.h"

#include <algorithm>

#include "base/text.h"
#include "card/gbk.h"
#include "present/card_text.h"
#include "present/texts.h"

namespace {

using UiLayout::kCardCaptionLeft;
using UiLayout::kCardWrapWidth;

using namespace UiLayout;

CardText dataText(const char* control, const Rect& place, const std::string& gbk)
{
    CardText t{control, place};
    t.text = GbkToUtf8(gbk);
    return t;
}

// A text of two lines at most that wraps within its fixed size.
CardText wrappedText(const char* control, const Rect& place, const std::string& gbk)
{
    CardText t = dataText(control, place, gbk);
    t.wordWrap = true;
    return t;
}

// The validity period: start, the line between, end; on every face in the
// identity card's places.
void validityTexts(std::vector<CardText>& texts, const std::string& start, const std::string& end)
{
    texts.push_back(
        dataText("StartDateLabel", kStartDateLabel, FormatDate(start, kValiditySeparator)));
    texts.push_back(dataText("BetweenLabel", kBetweenLabel, std::string(UiText::kBetween)));
    texts.push_back(dataText("EndDateLabel", kEndDateLabel, FormatDate(end, kValiditySeparator)));
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
    texts.push_back(dataText("NameLabel", kNameLabel, FieldText(card.Name)));
    texts.push_back(dataText("SexLabel", kSexLabel, FieldText(card.Sex)));
    if (nation)
        texts.push_back(dataText("NationLabel", kNationLabel, *nation));
    texts.push_back(wrappedText("AddressLabel", kAddressLabel,
                                TrimText(WrapText(FieldText(card.Address), kCardWrapWidth))));
    texts.push_back(dataText("IDCardNoLabel", kIDCardNoLabel, FieldText(card.IDCardNo)));
    texts.push_back(dataText("CheckDepartmentLabel", kCheckDepartmentLabel,
                             authorityText(FieldText(card.CheckDepartment))));
    texts.push_back(dataText("BirthdayLabel", kBirthdayLabel,
                             FormatDate(FieldText(card.Birthday), kBirthdaySeparator)));
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
    texts.push_back(dataText("NameLabel", kForeignNameLabel, FieldText(card.ChineseName)));
    texts.push_back(wrappedText("EnglishNameLabel", kEnglishNameLabel,
                                TrimText(WrapText(FieldText(card.EnglishName), kCardWrapWidth))));
    texts.push_back(dataText("SexLabel", kForeignSexLabel, FieldText(card.Sex)));
    texts.push_back(dataText("NationalityLabel", kNationalityLabel, FieldText(card.Nationality)));
    texts.push_back(dataText("BirthdayLabel", kForeignBirthdayLabel,
                             FormatDate(FieldText(card.Birthday), kValiditySeparator)));
    texts.push_back(dataText("CardNoLabel", kCardNoLabel, FieldText(card.CardNo)));
    texts.push_back(dataText("CheckDepartmentLabel", kCheckDepartmentLabel,
                             authorityText(FieldText(card.Authority))));
    validityTexts(texts, FieldText(card.StartDate), FieldText(card.EndDate));
    texts.push_back(dataText("CardVersionLabel", kCardVersionLabel, FieldText(card.CardVersion)));
}

// The residence permit: the identity card's fields in their places without
// the nation, and on the last row the pass number and the issue count.
void permitTexts(std::vector<CardText>& texts, const TPermitCardInfo& card)
{
    residentTexts(texts, card, nullptr);
    texts.push_back(dataText("PassNoLabel", kPassNoLabel, FieldText(card.PassNo)));
    texts.push_back(dataText("IssueCountLabel", kIssueCountLabel, FieldText(card.IssueCount)));
}

// A kind whose layout is not decoded: its name and the notice, nothing of
// its base text.
void unsupportedTexts(std::vector<CardText>& texts, CardKind kind)
{
    CardText name{"KindLabel", kKindLabel};
    name.text = CardKindName(kind);
    texts.push_back(name);
    CardText notice{"UnsupportedLabel", kUnsupportedLabel};
    notice.text = kUnsupportedLayoutText;
    texts.push_back(notice);
}

CardText fingerprintText(const TIDCardInfo& card, int selector)
{
    CardText line{"Label1", kFingerprintLine};
    line.font = CardFont::Line;
    line.visible = false;
    if (selector == kCardViewSelector) {
        const FingerprintLine fp = FingerprintLineFor(card.FingerprintData, card.FingerprintLength);
        line.text = GbkToUtf8(fp.text);
        line.colour = fp.unexpected ? CardColour::Red : CardColour::Black;
        line.visible = true;
    }
    return line;
}

// A caption on the row of its label.
CardFaceCaption caption(std::string_view text, const Rect& label, int x = kCardCaptionLeft)
{
    return {text, x, label.y};
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
        layout.captions = {caption(kCaptionName, kNameLabel),
                           caption(kCaptionSex, kSexLabel),
                           caption(kCaptionNation, kNationLabel, kCardSecondCaptionLeft),
                           caption(kCaptionBirth, kBirthdayLabel),
                           caption(kCaptionAddress, kAddressLabel),
                           caption(kCaptionIdNumber, kIDCardNoLabel),
                           caption(kCaptionAuthority, kCheckDepartmentLabel),
                           caption(kCaptionValidity, kStartDateLabel),
                           caption(kCaptionAppAddress, kAppAddressLabel)};
        layout.birthdayMarks = true;
        layout.birthday = kBirthdayLabel;
        break;
    case CardFace::ForeignPermanent:
        layout.title = CardKindName(CardKind::ForeignPermanent);
        layout.captions = {caption(kCaptionChineseName, kForeignNameLabel),
                           caption(kCaptionEnglishName, kEnglishNameLabel),
                           caption(kCaptionSex, kForeignSexLabel),
                           caption(kCaptionNationality, kNationalityLabel, kCardSecondCaptionLeft),
                           caption(kCaptionBirthDate, kForeignBirthdayLabel),
                           caption(kCaptionCardNo, kCardNoLabel),
                           caption(kCaptionAuthority, kCheckDepartmentLabel),
                           caption(kCaptionValidity, kStartDateLabel),
                           caption(kCaptionCardVersion, kCardVersionLabel)};
        break;
    case CardFace::ResidencePermit:
        layout.title = CardKindName(CardKind::HkMacaoTaiwanPermit);
        layout.captions = {caption(kCaptionName, kNameLabel),
                           caption(kCaptionSex, kSexLabel),
                           caption(kCaptionBirth, kBirthdayLabel),
                           caption(kCaptionAddress, kAddressLabel),
                           caption(kCaptionIdNumber, kIDCardNoLabel),
                           caption(kCaptionAuthority, kCheckDepartmentLabel),
                           caption(kCaptionValidity, kStartDateLabel),
                           caption(kCaptionPassNo, kPassNoLabel),
                           caption(kCaptionIssueCount, kIssueCountLabel, kIssueCountCaptionLeft)};
        layout.birthdayMarks = true;
        layout.birthday = kBirthdayLabel;
        break;
    case CardFace::Unsupported:
        break;
    }
    return layout;
}

namespace {

// The texts a card's face shows, in the order ShowCardInfo sets them, the
// fingerprint line last.
std::vector<CardText> faceTexts(const TIDCardInfo& card, const TCardKindInfo& kind, CardFace face,
                                int selector)
{
    std::vector<CardText> texts;
    switch (face) {
    case CardFace::IdCard:
        idCardTexts(texts, card);
        texts.push_back(dataText("AppAddressLabel", kAppAddressLabel, FieldText(card.AppAddress)));
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
    texts.push_back(fingerprintText(card, selector));
    return texts;
}

bool lists(const std::vector<CardText>& texts, std::string_view control)
{
    return std::any_of(texts.begin(), texts.end(),
                       [&](const CardText& t) { return control == t.control; });
}

} // namespace

CardViewContent CardViewFor(const TIDCardInfo& card, const TCardKindInfo& kind, int selector,
                            const unsigned char* photo, std::size_t photoSize)
{
    CardViewContent view;
    view.face = CardFaceOf(kind.Kind);
    std::vector<CardText> shown = faceTexts(card, kind, view.face, selector);
    // The controls of the other faces first, hidden, so none of them stands
    // for a moment over this card's texts.
    static const std::vector<CardText> controls = CardViewControls();
    for (const CardText& control : controls) {
        if (!lists(shown, control.control)) {
            view.texts.push_back(control);
            view.texts.back().visible = false;
        }
    }
    view.texts.insert(view.texts.end(), shown.begin(), shown.end());
    if (photo && photoSize > 0) {
        view.photo = photo;
        view.photoSize = photoSize;
    }
    return view;
}

std::vector<CardText> CardViewControls()
{
    std::vector<CardText> controls;
    const TIDCardInfo card{};
    TCardKindInfo kind{};
    for (CardFace face : kCardFaces) {
        kind.Kind = face == CardFace::IdCard             ? CardKind::IdCard
                    : face == CardFace::ForeignPermanent ? CardKind::ForeignPermanent
                    : face == CardFace::ResidencePermit  ? CardKind::HkMacaoTaiwanPermit
                                                         : CardKind::Unknown;
        for (const CardText& text : faceTexts(card, kind, face, kCardViewSelector)) {
            if (!lists(controls, text.control))
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
            sameAsBand =
                rects[bandStart + i].x == row[i].x && rects[bandStart + i].width == row[i].width;
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

#include "ui/card_view_model.h"

#include <algorithm>

#include "card/gbk.h"
#include "ui/card_text.h"
#include "ui/texts.h"

namespace {

CardText dataText(const char* control, int x, int y, const std::string& gbk)
{
    CardText t{control, {x, y, 0, 0}};
    t.text = GbkToUtf8(gbk);
    return t;
}

} // namespace

CardViewContent CardViewFor(const TIDCardInfo& card, int selector, const unsigned char* photo,
                            std::size_t photoSize)
{
    using UiLayout::kCardWrapWidth;
    CardViewContent view;
    auto& texts = view.texts;
    texts.push_back(dataText("NameLabel", 75, 21, FieldText(card.Name)));
    texts.push_back(dataText("SexLabel", 75, 45, FieldText(card.Sex)));
    texts.push_back(dataText("NationLabel", 175, 45, FieldText(card.Nation)));
    CardText address = dataText("AddressLabel", 75, 93,
                                TrimText(WrapText(FieldText(card.Address), kCardWrapWidth)));
    address.place.width = 254;
    address.place.height = 36;
    address.wordWrap = true;
    texts.push_back(address);
    texts.push_back(dataText("IDCardNoLabel", 116, 132, FieldText(card.IDCardNo)));
    // Trimmed before it is broken, the reverse of the address.
    texts.push_back(dataText("CheckDepartmentLabel", 87, 157,
                             WrapText(TrimText(FieldText(card.CheckDepartment)), kCardWrapWidth)));
    texts.push_back(dataText("BirthdayLabel", 75, 69,
                             formatDate(FieldText(card.Birthday), kBirthdaySeparator)));
    texts.push_back(dataText("StartDateLabel", 87, 181,
                             formatDate(FieldText(card.StartDate), kValiditySeparator)));
    texts.push_back(dataText("BetweenLabel", 171, 174, std::string(UiText::kBetween)));
    texts.push_back(dataText("EndDateLabel", 182, 181,
                             formatDate(FieldText(card.EndDate), kValiditySeparator)));
    if (photo && photoSize > 0) {
        view.photo = photo;
        view.photoSize = photoSize;
    }
    texts.push_back(dataText("AppAddressLabel", 87, 205, FieldText(card.AppAddress)));

    CardText line{"Label1", {21, 228, 439, 19}};
    line.font = CardFont::Line;
    line.visible = false;
    if (selector == kCardViewSelector) {
        const FingerprintLine fp = fingerprintLine(card.FingerprintData, card.FingerprintLength);
        line.text = GbkToUtf8(fp.text);
        line.colour = fp.unexpected ? CardColour::Red : CardColour::Black;
        line.visible = true;
    }
    texts.push_back(line);
    return view;
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

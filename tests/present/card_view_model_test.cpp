// The card view's content for each card kind, without a window: which face,
// which controls at which places with which texts, and that every face's
// captions and labels fit the card without covering one another.

#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "card/card_kinds.h"
#include "card/gbk.h"
#include "present/card_view_model.h"
#include "present/layout.h"
#include "tests/card/base_text_builder.h"

namespace {

// The identity card record the reading thread keeps for every kind; for the
// other kinds it holds whatever their base text gives read as an ID card,
// which the view must never show.
TIDCardInfo idCard()
{
    TIDCardInfo card{};
    putField(card.Name, "张示例");
    putField(card.Sex, "男");
    putField(card.Nation, "汉族");
    putField(card.Birthday, "19850315");
    putField(card.Address, "示例省示例市和平区样卡路18号示例小区十二号楼三单元四零一室");
    putField(card.IDCardNo, "990101198503150113");
    putField(card.CheckDepartment, "示例市公安局和平分局");
    putField(card.StartDate, "20150601");
    putField(card.EndDate, "20350601");
    card.FingerprintLength = 0;
    return card;
}

TIDCardInfo garbage()
{
    TIDCardInfo card{};
    for (char* field : {card.Name, card.Nation, card.Address, card.CheckDepartment})
        std::memcpy(field, "GARBAGE", 8);
    return card;
}

TCardKindInfo foreign(const std::string& englishName, const std::string& chineseName)
{
    TCardKindInfo kind{};
    kind.Kind = CardKind::ForeignPermanent;
    TForeignCardInfo& f = kind.Foreign;
    putField(f.EnglishName, englishName);
    putField(f.Sex, "男");
    putField(f.CardNo, "USA998503150001");
    putField(f.NationalityCode, "USA");
    putField(f.Nationality, "美国");
    putField(f.ChineseName, chineseName);
    putField(f.StartDate, "20200315");
    putField(f.EndDate, "20300315");
    putField(f.Birthday, "19850315");
    putField(f.CardVersion, "01");
    putField(f.AuthorityCode, "9900");
    putField(f.Authority, kForeignCardIssuer);
    putField(kind.Number, "USA998503150001");
    return kind;
}

TCardKindInfo permit()
{
    TCardKindInfo kind{};
    kind.Kind = CardKind::HkMacaoTaiwanPermit;
    TPermitCardInfo& p = kind.Permit;
    putField(p.Name, "陈示例");
    putField(p.Sex, "男");
    putField(p.Birthday, "19900720");
    putField(p.Address, "示例省示例市港湾路8号");
    putField(p.IDCardNo, "810000199007200014");
    putField(p.Region, "香港");
    putField(p.CheckDepartment, "示例市公安局");
    putField(p.StartDate, "20210101");
    putField(p.EndDate, "20260101");
    putField(p.PassNo, "H99000001");
    putField(p.IssueCount, "01");
    return kind;
}

TCardKindInfo ofKind(CardKind k)
{
    TCardKindInfo kind{};
    kind.Kind = k;
    std::memcpy(kind.Number, "Y-1A2B3C4D", 11);
    return kind;
}

struct Expected
{
    const char* control;
    UiLayout::Rect place;
    std::string text;
};

const std::string kCrLf = "\r\n";

struct KindCase
{
    const char* name;
    TIDCardInfo card;
    TCardKindInfo kind;
    CardFace face;
    std::vector<Expected> texts; // in order, Label1 last (not listed)
};

std::vector<KindCase> kindCases()
{
    return {
        {"identity card",
         idCard(),
         TCardKindInfo{},
         CardFace::IdCard,
         {
             {"NameLabel", {75, 21, 0, 0}, "张示例"},
             {"SexLabel", {75, 45, 0, 0}, "男"},
             {"NationLabel", {175, 45, 0, 0}, "汉族"},
             {"AddressLabel",
              {75, 93, 254, 36},
              "示例省示例市和平区样卡路18号示例小区" + kCrLf + "十二号楼三单元四零一室"},
             {"IDCardNoLabel", {116, 132, 0, 0}, "990101198503150113"},
             {"CheckDepartmentLabel", {87, 157, 0, 0}, "示例市公安局和平分局"},
             {"BirthdayLabel", {75, 69, 0, 0}, "1985     03     15"},
             {"StartDateLabel", {87, 181, 0, 0}, "2015.06.01"},
             {"BetweenLabel", {171, 174, 0, 0}, "_"},
             {"EndDateLabel", {182, 181, 0, 0}, "2035.06.01"},
             {"AppAddressLabel", {87, 205, 0, 0}, ""},
         }},
        {"foreign permanent resident card",
         garbage(),
         foreign("SAMPLE JOHN", "约翰·示例"),
         CardFace::ForeignPermanent,
         {
             {"NameLabel", {87, 21, 0, 0}, "约翰·示例"},
             {"EnglishNameLabel", {87, 45, 254, 36}, "SAMPLE JOHN"},
             {"SexLabel", {75, 84, 0, 0}, "男"},
             {"NationalityLabel", {175, 84, 0, 0}, "美国"},
             {"BirthdayLabel", {87, 108, 0, 0}, "1985.03.15"},
             {"CardNoLabel", {87, 132, 0, 0}, "USA998503150001"},
             {"CheckDepartmentLabel", {87, 157, 0, 0}, "中华人民共和国国家移民管理局"},
             {"StartDateLabel", {87, 181, 0, 0}, "2020.03.15"},
             {"BetweenLabel", {171, 174, 0, 0}, "_"},
             {"EndDateLabel", {182, 181, 0, 0}, "2030.03.15"},
             {"CardVersionLabel", {87, 205, 0, 0}, "01"},
         }},
        {"foreign card with a long English name and no Chinese name",
         garbage(),
         foreign("EXAMPLEWORTH-SAMPLESON MARIA ALEXANDRA CHARLOTTE TESTINGTONS", ""),
         CardFace::ForeignPermanent,
         {
             {"NameLabel", {87, 21, 0, 0}, ""},
             // 35 bytes, then the rest: WrapText's byte rule at width 36.
             {"EnglishNameLabel",
              {87, 45, 254, 36},
              "EXAMPLEWORTH-SAMPLESON MARIA ALEXAN" + kCrLf + "DRA CHARLOTTE TESTINGTONS"},
             {"SexLabel", {75, 84, 0, 0}, "男"},
             {"NationalityLabel", {175, 84, 0, 0}, "美国"},
             {"BirthdayLabel", {87, 108, 0, 0}, "1985.03.15"},
             {"CardNoLabel", {87, 132, 0, 0}, "USA998503150001"},
             {"CheckDepartmentLabel", {87, 157, 0, 0}, "中华人民共和国国家移民管理局"},
             {"StartDateLabel", {87, 181, 0, 0}, "2020.03.15"},
             {"BetweenLabel", {171, 174, 0, 0}, "_"},
             {"EndDateLabel", {182, 181, 0, 0}, "2030.03.15"},
             {"CardVersionLabel", {87, 205, 0, 0}, "01"},
         }},
        {"residence permit",
         garbage(),
         permit(),
         CardFace::ResidencePermit,
         {
             {"NameLabel", {75, 21, 0, 0}, "陈示例"},
             {"SexLabel", {75, 45, 0, 0}, "男"},
             {"AddressLabel", {75, 93, 254, 36}, "示例省示例市港湾路8号"},
             {"IDCardNoLabel", {116, 132, 0, 0}, "810000199007200014"},
             {"CheckDepartmentLabel", {87, 157, 0, 0}, "示例市公安局"},
             {"BirthdayLabel", {75, 69, 0, 0}, "1990     07     20"},
             {"StartDateLabel", {87, 181, 0, 0}, "2021.01.01"},
             {"BetweenLabel", {171, 174, 0, 0}, "_"},
             {"EndDateLabel", {182, 181, 0, 0}, "2026.01.01"},
             {"PassNoLabel", {100, 205, 0, 0}, "H99000001"},
             {"IssueCountLabel", {256, 205, 0, 0}, "01"},
         }},
        {"2023 foreign card",
         garbage(),
         ofKind(CardKind::ForeignPermanent2023),
         CardFace::Unsupported,
         {
             {"KindLabel", {21, 21, 0, 0}, "外国人永久居留身份证（2023年版）"},
             {"UnsupportedLabel", {21, 45, 0, 0}, "此类证件的版式暂不支持"},
         }},
        {"unknown mark",
         garbage(),
         ofKind(CardKind::Unknown),
         CardFace::Unsupported,
         {
             {"KindLabel", {21, 21, 0, 0}, "未知证件"},
             {"UnsupportedLabel", {21, 45, 0, 0}, "此类证件的版式暂不支持"},
         }},
    };
}

bool operator==(const UiLayout::Rect& a, const UiLayout::Rect& b)
{
    return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
}

std::string show(const UiLayout::Rect& r)
{
    return std::to_string(r.x) + "," + std::to_string(r.y) + " " + std::to_string(r.width) + "x" +
           std::to_string(r.height);
}

TEST(CardViewModel, EachKindHasItsFaceLabelsAndTexts)
{
    const unsigned char photo[4] = {'B', 'M', 0, 0};
    for (const KindCase& c : kindCases()) {
        SCOPED_TRACE(c.name);
        const CardViewContent view = CardViewFor(c.card, c.kind, kCardViewSelector, photo, 4);
        EXPECT_EQ(view.face, c.face);
        EXPECT_EQ(view.face, CardFaceOf(c.kind.Kind));
        // The photo as for the identity card.
        EXPECT_EQ(view.photo, photo);
        EXPECT_EQ(view.photoSize, 4u);
        // Every control of the view: the other faces' first, hidden, then
        // this face's in order.
        const std::size_t hidden = CardViewControls().size() - (c.texts.size() + 1);
        ASSERT_EQ(view.texts.size(), CardViewControls().size());
        for (std::size_t i = 0; i < hidden; ++i) {
            EXPECT_FALSE(view.texts[i].visible) << view.texts[i].control;
            EXPECT_TRUE(std::none_of(c.texts.begin(), c.texts.end(), [&](const Expected& e) {
                return std::string(e.control) == view.texts[i].control;
            })) << view.texts[i].control;
        }
        for (std::size_t i = 0; i < c.texts.size(); ++i) {
            const CardText& t = view.texts[hidden + i];
            EXPECT_STREQ(t.control, c.texts[i].control);
            EXPECT_TRUE(t.place == c.texts[i].place) << t.control << " at " << show(t.place);
            EXPECT_EQ(t.text, c.texts[i].text) << t.control;
            EXPECT_TRUE(t.visible);
            EXPECT_EQ(t.font, CardFont::Data);
            EXPECT_EQ(t.colour, CardColour::WindowText);
            EXPECT_EQ(t.wordWrap, t.place.width > 0) << t.control;
            // Nothing of the identity card record leaks onto another face.
            EXPECT_EQ(t.text.find("GARBAGE"), std::string::npos) << t.control;
        }
        // The fingerprint line of the identity card record, last, on every face.
        const CardText& line = view.texts.back();
        EXPECT_STREQ(line.control, "Label1");
        EXPECT_TRUE(line.place == (UiLayout::Rect{21, 228, 439, 19}));
        EXPECT_EQ(line.font, CardFont::Line);
        EXPECT_TRUE(line.visible);
        EXPECT_EQ(line.text, "指纹数据  无");
        EXPECT_EQ(line.colour, CardColour::Black);
        EXPECT_FALSE(CardViewFor(c.card, c.kind, 6, nullptr, 0).texts.back().visible);
        EXPECT_EQ(CardViewFor(c.card, c.kind, 6, nullptr, 0).photo, nullptr);
    }
}

TEST(CardViewModel, FacesOfTheKinds)
{
    EXPECT_EQ(CardFaceOf(CardKind::IdCard), CardFace::IdCard);
    EXPECT_EQ(CardFaceOf(CardKind::ForeignPermanent), CardFace::ForeignPermanent);
    EXPECT_EQ(CardFaceOf(CardKind::HkMacaoTaiwanPermit), CardFace::ResidencePermit);
    EXPECT_EQ(CardFaceOf(CardKind::ForeignPermanent2023), CardFace::Unsupported);
    EXPECT_EQ(CardFaceOf(CardKind::Unknown), CardFace::Unsupported);

    EXPECT_EQ(CardFaceLayoutFor(CardFace::IdCard).title, "");
    EXPECT_EQ(CardFaceLayoutFor(CardFace::ForeignPermanent).title, "外国人永久居留身份证");
    EXPECT_EQ(CardFaceLayoutFor(CardFace::ResidencePermit).title, "港澳台居民居住证");
    EXPECT_EQ(CardFaceLayoutFor(CardFace::Unsupported).title, "");
    EXPECT_TRUE(CardFaceLayoutFor(CardFace::Unsupported).captions.empty());

    auto captions = [](CardFace face) {
        std::vector<std::string> texts;
        for (const CardFaceCaption& c : CardFaceLayoutFor(face).captions)
            texts.emplace_back(c.text);
        return texts;
    };
    using Texts = std::vector<std::string>;
    EXPECT_EQ(captions(CardFace::IdCard),
              (Texts{"姓名", "性别", "民族", "出生", "住址", "公民身份号码", "签发机关", "有效期限",
                     "附加地址"}));
    EXPECT_EQ(captions(CardFace::ForeignPermanent),
              (Texts{"中文姓名", "英文姓名", "性别", "国籍", "出生日期", "证件号码", "签发机关",
                     "有效期限", "证件版本"}));
    EXPECT_EQ(captions(CardFace::ResidencePermit),
              (Texts{"姓名", "性别", "出生", "住址", "公民身份号码", "签发机关", "有效期限",
                     "通行证号码", "签发次数"}));
}

// Widths as the card view's fonts set them ("宋体" 13 pixels): a double-byte
// character is 13 pixels wide, a single-byte one at most 8 (bold).
int textWidth(const std::string& utf8, int byteWidth)
{
    int widest = 0;
    std::size_t start = 0;
    while (start <= utf8.size()) {
        std::size_t end = utf8.find("\r\n", start);
        if (end == std::string::npos)
            end = utf8.size();
        const std::string gbk = Utf8ToGbk(utf8.substr(start, end - start));
        int width = 0;
        for (std::size_t i = 0; i < gbk.size(); ++i) {
            if (static_cast<unsigned char>(gbk[i]) > 0x80) {
                width += 13;
                ++i;
            } else {
                width += byteWidth;
            }
        }
        widest = std::max(widest, width);
        start = end + 2;
    }
    return widest;
}

struct Box
{
    std::string what;
    int left, top, right, bottom;
};

bool overlap(const Box& a, const Box& b)
{
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

// On every face, with the longest texts its fields hold: each caption stands
// on the row of a label right of it, and no caption, label, title or the
// photo covers another, and everything lies on the card.
TEST(CardViewModel, CaptionsAndLabelsFitTheirFace)
{
    TCardKindInfo longForeign = foreign(std::string(60, 'M'), "阿卜杜热合曼·买买提示例尼亚");
    putField(longForeign.Foreign.Nationality, "福克兰群岛（马尔维纳斯）");
    TCardKindInfo longPermit = permit();
    putField(longPermit.Permit.Name, "阿卜杜热合曼买买提示例尼亚孜");
    putField(longPermit.Permit.Address, std::string(35, 'W'));
    putField(longPermit.Permit.CheckDepartment, "示例市公安局出入境管理支队示例");
    putField(longPermit.Permit.IssueCount, "99");
    TIDCardInfo longId = idCard();
    putField(longId.Nation, "柯尔克孜族");
    const std::pair<TIDCardInfo, TCardKindInfo> cards[] = {
        {longId, TCardKindInfo{}},
        {garbage(), longForeign},
        {garbage(), longPermit},
        {garbage(), ofKind(CardKind::ForeignPermanent2023)},
    };
    const UiLayout::Rect photo = UiLayout::kPhotoPanel;
    for (const auto& [card, kind] : cards) {
        const CardViewContent view = CardViewFor(card, kind, kCardViewSelector, nullptr, 0);
        SCOPED_TRACE(static_cast<int>(view.face));
        const CardFaceLayout face = CardFaceLayoutFor(view.face);
        std::vector<Box> boxes{
            {"photo", photo.x, photo.y, photo.x + photo.width, photo.y + photo.height}};
        if (!face.title.empty()) {
            const UiLayout::Rect& t = UiLayout::kCardFaceTitle;
            const int width = textWidth(std::string(face.title), 7);
            EXPECT_LE(width, 150);
            const int left = t.x + (t.width - width) / 2;
            boxes.push_back({"title", left, t.y, left + width, t.y + t.height});
        }
        for (const CardFaceCaption& c : face.captions) {
            boxes.push_back({std::string(c.text), c.x, c.top,
                             c.x + textWidth(std::string(c.text), 7), c.top + 16});
            const bool labelled =
                std::any_of(view.texts.begin(), view.texts.end(), [&](const CardText& t) {
                    return t.visible && t.place.y == c.top && t.place.x >= boxes.back().right + 4 &&
                           t.place.x <= boxes.back().right + 40;
                });
            EXPECT_TRUE(labelled) << "no label right of " << c.text;
        }
        for (const CardText& t : view.texts) {
            if (!t.visible)
                continue; // another face's
            if (std::string(t.control) == "Label1" || std::string(t.control) == "BetweenLabel")
                continue; // the line spans the card's foot; "_" sits between the dates
            const int width = t.place.width ? t.place.width : textWidth(t.text, 8);
            const int lines = 1 + static_cast<int>(std::count(t.text.begin(), t.text.end(), '\n'));
            const int height = t.place.height ? t.place.height : 16 * lines;
            if (t.place.width) {
                EXPECT_LE(textWidth(t.text, 7), t.place.width) << t.control;
            }
            EXPECT_LE(lines * 16, std::max(height, 16)) << t.control;
            boxes.push_back(
                {t.control, t.place.x, t.place.y, t.place.x + width, t.place.y + height});
        }
        const Box line{"Label1", 21, 228, 21 + 439, 228 + 19};
        for (std::size_t i = 0; i < boxes.size(); ++i) {
            const Box& a = boxes[i];
            EXPECT_GE(a.left, 21) << a.what;
            EXPECT_LE(a.right, 466) << a.what;
            EXPECT_LE(a.bottom, line.top) << a.what;
            for (std::size_t j = i + 1; j < boxes.size(); ++j)
                EXPECT_FALSE(overlap(a, boxes[j])) << a.what << " covers " << boxes[j].what;
        }
    }
}

// The view's controls: every face's, each once, the identity card's first in
// the order they always had; the new ones named as the old ones are.
TEST(CardViewModel, ControlsOfEveryFaceOnce)
{
    std::vector<std::string> names;
    for (const CardText& t : CardViewControls())
        names.emplace_back(t.control);
    EXPECT_EQ(names, (std::vector<std::string>{
                         "NameLabel",        "SexLabel",         "NationLabel",
                         "AddressLabel",     "IDCardNoLabel",    "CheckDepartmentLabel",
                         "BirthdayLabel",    "StartDateLabel",   "BetweenLabel",
                         "EndDateLabel",     "AppAddressLabel",  "Label1",
                         "EnglishNameLabel", "NationalityLabel", "CardNoLabel",
                         "CardVersionLabel", "PassNoLabel",      "IssueCountLabel",
                         "KindLabel",        "UnsupportedLabel"}));
    // A control keeps its font and wrapping on every face.
    std::map<std::string, std::pair<CardFont, bool>> roles;
    for (const KindCase& c : kindCases()) {
        for (const CardText& t : CardViewFor(c.card, c.kind, kCardViewSelector, nullptr, 0).texts) {
            const auto [it, added] = roles.emplace(t.control, std::make_pair(t.font, t.wordWrap));
            EXPECT_TRUE(it->second == std::make_pair(t.font, t.wordWrap)) << t.control;
        }
    }
}

// The photo's cut-out on small pictures with known regions: every pixel of
// the top-left pixel's colour is cut. A band grows only over the row right
// below it, never across a row with nothing kept.
TEST(CardViewModel, PhotoRegionIsBandedAndKeepsEveryPixel)
{
    using Rects = std::vector<std::tuple<int, int, int, int>>; // x, y, width, height
    const std::pair<std::vector<const char*>, Rects> cases[] = {
        {{"...", ".#.", "..."}, {{1, 1, 1, 1}}},
        {{".#.", "...", ".#."}, {{1, 0, 1, 1}, {1, 2, 1, 1}}},
        {{".##", ".##", "#.#"}, {{1, 0, 2, 2}, {0, 2, 1, 1}, {2, 2, 1, 1}}},
        {{"#..", "#..", "..."}, {{1, 0, 2, 2}, {0, 2, 3, 1}}}, // the key is the top-left pixel
        {{"...", "...", "..."}, {}},
    };
    for (const auto& [rows, expected] : cases) {
        std::vector<std::uint32_t> pixels;
        for (const char* row : rows)
            for (const char* p = row; *p; ++p)
                pixels.push_back(*p == '#' ? 0xFF102030u : 0x00F0F0F0u);
        Rects rects;
        for (const UiLayout::Rect& r : PhotoRegionRects(pixels.data(), 3, 3, 3))
            rects.emplace_back(r.x, r.y, r.width, r.height);
        EXPECT_EQ(rects, expected) << rows[0] << rows[1] << rows[2];
    }
}

} // namespace

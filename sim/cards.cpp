#include "sim/cards.h"

#include <cstring>

namespace termbsim {

namespace {

constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kPaleBlue{190, 215, 240};
constexpr Rgb kIdBlue{67, 142, 219};

std::vector<CardSpec> makeBuiltinCards()
{
    std::vector<CardSpec> cards;
    auto add = [&](std::string key, CardFields f, bool fingerprint, PortraitLook look) {
        CardSpec card;
        card.key = std::move(key);
        card.fields = std::move(f);
        card.hasFingerprint = fingerprint;
        card.look = look;
        cards.push_back(std::move(card));
    };
    // The shirt of the first card is white less one step of blue: the cut-out
    // must keep it although it is the nearest colour to the background.
    add("han-male",
        {"张示例", "1", "01", "19850315", "示例省示例市和平区样卡路18号", "990101198503150113",
         "示例市公安局和平分局", "20150601", "20350601", ""},
        true,
        {kWhite, {236, 196, 164}, {35, 30, 28}, {40, 52, 80}, {255, 255, 254}, HairStyle::Short});
    add("uyghur-long-name",
        {"阿卜杜热合曼·买买提示例尼亚孜", "1", "05", "19760822", "示例自治区示例市团结路7号院3栋",
         "990202197608220373", "示例市公安局", "20080110", "20280110", ""},
        true,
        {kPaleBlue,
         {214, 170, 136},
         {60, 42, 30},
         {90, 60, 40},
         {240, 240, 232},
         HairStyle::Cropped,
         true});
    add("jino-long-address",
        {"白示范", "2", "56", "20010204",
         "示例省示例市示例区示例街道示例社区样本路示例小区十二号楼三单元四零一室",
         "990303200102040283", "示例州公安局", "20190915", "20290915", ""},
        true,
        {kWhite, {240, 204, 176}, {20, 16, 16}, {150, 40, 60}, {250, 236, 240}, HairStyle::Long});
    add("other-nation-sex9",
        {"林样本", "9", "97", "19930707", "示例市示例县向阳镇样本村5组", "990404199307070458",
         "示例县公安局", "20200301", "20400301", ""},
        true,
        {kIdBlue,
         {228, 188, 150},
         {70, 50, 35},
         {30, 90, 60},
         {230, 230, 220},
         HairStyle::Short,
         true});
    add("foreign-origin-long-term",
        {"安娜·示例娃", "2", "98", "19580101", "示例市友谊路9号", "990505195801010622",
         "示例市公安局出入境管理支队", "20140520", "长期", ""},
        true,
        {kWhite, {245, 214, 190}, {180, 140, 80}, {70, 70, 120}, {220, 220, 240}, HairStyle::Bun});
    add("unused-nation-no-fp",
        {"赵模拟", "1", "60", "19990909", "示例市示例区样本大街100号", "990606199909090716",
         "示例市公安局示例分局", "20170909", "20270909", ""},
        false,
        {kPaleBlue, {220, 180, 140}, {25, 20, 20}, {60, 60, 60}, {200, 60, 50}, HairStyle::Short});
    add("child-hui",
        {"马小样", "2", "03", "20150612", "示例市示例区育才路2号", "990707201506120847",
         "示例市公安局示例分局", "20230801", "20280801", ""},
        true,
        {kIdBlue, {246, 210, 180}, {30, 22, 18}, {230, 120, 40}, {255, 250, 230}, HairStyle::Long});
    add("elder-long-term-x",
        {"刘测试", "1", "11", "19500430", "示例市老城区样本胡同6号", "99080819500430069X",
         "示例市公安局老城分局", "20100430", "长期", ""},
        true,
        {kWhite,
         {225, 190, 160},
         {200, 200, 200},
         {90, 70, 50},
         {245, 245, 245},
         HairStyle::Cropped,
         true});

    // The other kinds, after the identity cards so the demo starts as before.
    auto addKind = [&](std::string key, CardKind kind, CardFields f, bool fingerprint,
                       PortraitLook look) {
        add(std::move(key), std::move(f), fingerprint, look);
        cards.back().kind = kind;
    };
    auto withCheck = [](std::string first17) { return first17 + IdCheckCharacter(first17); };
    CardFields foreign;
    foreign.englishName = "SAMPLE JOHN";
    foreign.sex = "1";
    foreign.idNumber = "USA998503150001"; // country letters, then twelve digits
    foreign.nationality = "USA";
    foreign.name = "约翰·示例";
    foreign.start = "20200315";
    foreign.end = "20300315";
    foreign.birth = "19850315";
    foreign.version = "01";
    foreign.authority = "9900";
    addKind("foreign-usa", CardKind::ForeignPermanent, foreign, false,
            {kWhite,
             {238, 200, 170},
             {150, 100, 50},
             {40, 60, 110},
             {250, 250, 250},
             HairStyle::Short});
    // A 60-character English name fills its field; no Chinese name.
    foreign.englishName = "EXAMPLEWORTH-SAMPLESON MARIA ALEXANDRA CHARLOTTE TESTINGTONS";
    foreign.sex = "2";
    foreign.idNumber = "DEU999102280002";
    foreign.nationality = "DEU";
    foreign.name = "";
    foreign.birth = "19910228";
    addKind("foreign-long-english-name", CardKind::ForeignPermanent, foreign, false,
            {kPaleBlue,
             {245, 214, 190},
             {200, 160, 90},
             {120, 40, 50},
             {230, 230, 240},
             HairStyle::Long});
    CardFields permit;
    permit.name = "陈示例";
    permit.sex = "1";
    permit.birth = "19900720";
    permit.address = "示例省示例市港湾路8号";
    permit.idNumber = withCheck("81000019900720001");
    permit.authority = "示例市公安局";
    permit.start = "20210101";
    permit.end = "20260101";
    permit.passNumber = "H99000001";
    permit.issueCount = "01";
    addKind("permit-hong-kong", CardKind::HkMacaoTaiwanPermit, permit, true,
            {kIdBlue,
             {232, 192, 160},
             {30, 25, 20},
             {60, 90, 140},
             {245, 245, 235},
             HairStyle::Cropped});
    permit.name = "林示范";
    permit.sex = "2";
    permit.birth = "19880808";
    permit.address = "示例省示例市海峡路16号";
    permit.idNumber = withCheck("83000019880808002");
    permit.passNumber = "99000002";
    permit.issueCount = "02";
    addKind(
        "permit-taiwan", CardKind::HkMacaoTaiwanPermit, permit, true,
        {kWhite, {240, 206, 178}, {40, 30, 25}, {170, 70, 90}, {250, 240, 240}, HairStyle::Bun});
    // The 2023 foreign card: its mark and blanks, for the tool's "layout not
    // supported" view.
    addKind("foreign-2023", CardKind::ForeignPermanent2023, {}, false,
            {kPaleBlue,
             {226, 186, 150},
             {90, 60, 40},
             {50, 50, 50},
             {240, 240, 240},
             HairStyle::Short});
    return cards;
}

std::uint32_t fnv1a(const std::string& text)
{
    std::uint32_t h = 2166136261u;
    for (unsigned char c : text)
        h = (h ^ c) * 16777619u;
    return h;
}

// Two 512-byte finger templates, as vendor readers deliver them: a 0x43
// header byte, a finger code, then data. The data is pseudo-random, fixed per
// card so that a test can compare it.
std::vector<std::uint8_t> fingerprintFor(const std::string& idNumber)
{
    std::vector<std::uint8_t> fp(kFingerprintSize);
    std::uint32_t state = fnv1a(idNumber) | 1;
    for (std::size_t i = 0; i < fp.size(); ++i) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        fp[i] = static_cast<std::uint8_t>(state >> 24);
    }
    for (int finger = 0; finger < 2; ++finger) {
        std::uint8_t* t = fp.data() + 512 * finger;
        t[0] = 0x43;
        t[1] = 0x01;
        t[5] = static_cast<std::uint8_t>(finger == 0 ? 11 : 12); // right thumb, right index
    }
    return fp;
}

} // namespace

const std::vector<CardSpec>& BuiltinCards()
{
    static const std::vector<CardSpec> cards = makeBuiltinCards();
    return cards;
}

PaletteImage CardPhotoImage(const CardSpec& card)
{
    return card.photo ? *card.photo : DrawPortrait(card.look);
}

bool Utf8ToUcs2(const std::string& text, std::vector<std::uint16_t>& units)
{
    units.clear();
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        int n = 0;
        std::uint32_t cp = 0;
        if (c < 0x80) {
            n = 1;
            cp = c;
        } else if ((c & 0xE0) == 0xC0) {
            n = 2;
            cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            n = 3;
            cp = c & 0x0F;
        } else {
            return false; // four-byte sequences lie beyond U+FFFF; the rest is invalid
        }
        if (i + n > text.size())
            return false;
        for (int k = 1; k < n; ++k) {
            const auto t = static_cast<unsigned char>(text[i + k]);
            if ((t & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (t & 0x3F);
        }
        const std::uint32_t minimum[] = {0, 0, 0x80, 0x800};
        if (cp < minimum[n] || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        units.push_back(static_cast<std::uint16_t>(cp));
        i += n;
    }
    return true;
}

const CardLayout& LayoutOf(CardKind kind)
{
    for (const CardLayout& layout : kLayouts) {
        if (layout.kind == kind)
            return layout;
    }
    return kLayouts[0];
}

namespace {

void putUnit(CardImage& image, std::size_t offset, std::uint16_t u)
{
    image.baseText[offset] = static_cast<std::uint8_t>(u & 0xFF);
    image.baseText[offset + 1] = static_cast<std::uint8_t>(u >> 8);
}

} // namespace

bool BuildCardImage(const CardSpec& card, CardImage& image, std::string& error)
{
    CardImage out;
    std::vector<std::uint16_t> units;
    // Cards pad a short text with blanks to the field's width; reserved bytes
    // hold the same. The identity card's fields cover all 256 bytes.
    const std::uint16_t pad = card.zeroPadding ? 0 : 0x20;
    for (std::size_t i = 0; i < kBaseTextSize; i += 2)
        putUnit(out, i, pad);
    const CardLayout& layout = LayoutOf(card.kind);
    for (const BaseField& f : layout) {
        const std::string& text = card.fields.*f.member;
        if (!Utf8ToUcs2(text, units)) {
            error = std::string(f.key) + " is not UTF-8 text of characters up to U+FFFF";
            return false;
        }
        const std::size_t capacity = f.length / 2;
        if (units.size() > capacity) {
            error = std::string(f.key) + " has " + std::to_string(units.size()) +
                    " characters; the field holds " + std::to_string(capacity);
            return false;
        }
        for (std::size_t i = 0; i < capacity; ++i)
            putUnit(out, f.offset + 2 * i, i < units.size() ? units[i] : pad);
    }
    if (card.kind != CardKind::IdCard)
        putUnit(out, kMarkOffset, static_cast<std::uint8_t>(layout.mark));
    out.photo = EncodePhoto(CardPhotoImage(card));
    if (out.photo.empty()) {
        error = "the photo has more than 15 colours";
        return false;
    }
    if (out.photo.size() > kWltMaxSize) {
        error = "the photo compresses to " + std::to_string(out.photo.size()) +
                " bytes, more than the " + std::to_string(kWltMaxSize) +
                " bytes of the tool's photo buffer";
        return false;
    }
    if (card.hasFingerprint)
        out.fingerprint = fingerprintFor(card.fields.idNumber);
    image = std::move(out);
    return true;
}

char IdCheckCharacter(const std::string& first17)
{
    static constexpr int weights[17] = {7, 9, 10, 5, 8, 4, 2, 1, 6, 3, 7, 9, 10, 5, 8, 4, 2};
    static constexpr char check[] = "10X98765432";
    int sum = 0;
    for (int i = 0; i < 17 && i < static_cast<int>(first17.size()); ++i)
        sum += (first17[i] - '0') * weights[i];
    return check[sum % 11];
}

} // namespace termbsim

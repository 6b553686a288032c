// Redaction of recorded card data, over the virtual reader's sample cards of
// every kind: what names or identifies the holder changes at every
// character and keeps its class; the kind, the codes and the dates' shape
// stay.

#include <algorithm>

#include <gtest/gtest.h>

#include "card/card_kinds.h"
#include "reader/redaction.h"
#include "sim/cards.h"

namespace {

using Text = std::array<std::uint8_t, kBaseTextSize>;

unsigned unit(const Text& t, std::size_t byte)
{
    return t[byte] | t[byte + 1] << 8;
}

enum class Class { Digit, Upper, Lower, Cjk, Kept };

Class classOf(unsigned u)
{
    if (u >= '0' && u <= '9')
        return Class::Digit;
    if (u >= 'A' && u <= 'Z')
        return Class::Upper;
    if (u >= 'a' && u <= 'z')
        return Class::Lower;
    if (u >= 0x4E00 && u <= 0x9FFF)
        return Class::Cjk;
    return Class::Kept; // blanks, padding, the middle dot
}

bool validDate(const Text& t, std::size_t offset)
{
    int v[8];
    for (int i = 0; i < 8; ++i) {
        const unsigned u = unit(t, offset + 2 * i);
        if (u < '0' || u > '9')
            return false;
        v[i] = int(u - '0');
    }
    const int y = v[0] * 1000 + v[1] * 100 + v[2] * 10 + v[3], m = v[4] * 10 + v[5],
              d = v[6] * 10 + v[7];
    const int days[] = {31, (y % 4 == 0 && y % 100 != 0) || y % 400 == 0 ? 29 : 28,
                        31, 30,
                        31, 30,
                        31, 31,
                        30, 31,
                        30, 31};
    return m >= 1 && m <= 12 && d >= 1 && d <= days[m - 1];
}

Text sampleText(const char* key)
{
    for (const termbsim::CardSpec& spec : termbsim::BuiltinCards()) {
        if (spec.key != key)
            continue;
        termbsim::CardImage image;
        std::string error;
        EXPECT_TRUE(termbsim::BuildCardImage(spec, image, error)) << error;
        return image.baseText;
    }
    ADD_FAILURE() << "no sample card " << key;
    return {};
}

TEST(Redaction, ChangesWhoTheHolderIsAndKeepsWhatTheCardIs)
{
    const struct
    {
        const char* key;
        CardKind kind;
    } cards[] = {
        {"han-male", CardKind::IdCard},
        {"uyghur-long-name", CardKind::IdCard},  // the middle dot
        {"elder-long-term-x", CardKind::IdCard}, // check character X, 长期
        {"foreign-long-english-name", CardKind::ForeignPermanent},
        {"permit-taiwan", CardKind::HkMacaoTaiwanPermit}, // the region stays
        {"foreign-2023", CardKind::ForeignPermanent2023}, // layout unknown
    };
    constexpr std::uint64_t kKey = 0x1234;
    for (const auto& c : cards) {
        SCOPED_TRACE(c.key);
        const Text original = sampleText(c.key);
        Text redacted = original;
        RedactBaseText(redacted.data(), redacted.size(), kKey);
        EXPECT_EQ(CardKindOf(redacted.data()), c.kind);
        EXPECT_EQ(unit(redacted, kKindMarkOffset), unit(original, kKindMarkOffset));

        // Same key, same card: the same fictional card; another key, another
        // (the 2023 sample holds nothing but its mark).
        Text again = original, other = original;
        RedactBaseText(again.data(), again.size(), kKey);
        RedactBaseText(other.data(), other.size(), kKey + 1);
        EXPECT_EQ(again, redacted);
        EXPECT_EQ(other != redacted, c.kind != CardKind::ForeignPermanent2023);

        std::vector<BaseFieldPlace> fields = BaseTextFields(c.kind);
        if (fields.empty()) // every character but the mark counts as personal
            fields = {
                {0, kKindMarkOffset, BaseFieldRole::Name},
                {kKindMarkOffset + 2, kBaseTextSize - kKindMarkOffset - 2, BaseFieldRole::Name}};
        for (const BaseFieldPlace& f : fields) {
            SCOPED_TRACE(f.offset);
            switch (f.role) {
            case BaseFieldRole::Name:
            case BaseFieldRole::Address:
            case BaseFieldRole::Authority:
            case BaseFieldRole::Number: {
                const bool regionPrefix =
                    f.role == BaseFieldRole::Number && c.kind == CardKind::HkMacaoTaiwanPermit;
                for (std::size_t b = f.offset; b < f.offset + f.length; b += 2) {
                    const unsigned was = unit(original, b), is = unit(redacted, b);
                    EXPECT_EQ(classOf(is), classOf(was)) << b;
                    const bool kept =
                        classOf(was) == Class::Kept || (regionPrefix && b < f.offset + 4);
                    EXPECT_EQ(is == was, kept) << b;
                }
                break;
            }
            case BaseFieldRole::Date:
                if (validDate(original, f.offset)) {
                    EXPECT_TRUE(validDate(redacted, f.offset));
                    EXPECT_FALSE(std::equal(original.begin() + f.offset,
                                            original.begin() + f.offset + 16,
                                            redacted.begin() + f.offset));
                    break;
                }
                [[fallthrough]]; // 长期 stays
            default:
                EXPECT_TRUE(std::equal(original.begin() + f.offset,
                                       original.begin() + f.offset + f.length,
                                       redacted.begin() + f.offset));
            }
        }
    }
}

TEST(Redaction, PhotoFingerprintAndAppendedAddressKeepOnlyTheirShape)
{
    std::vector<unsigned char> photo = {'Z', 'V', 'W', '1', 7, 0, 102, 126};
    RedactPhoto(photo.data(), photo.size());
    EXPECT_EQ(photo, std::vector<unsigned char>(8, 0));

    std::vector<unsigned char> fp(1024);
    for (std::size_t i = 0; i < 512; ++i) // one finger, the second slot empty
        fp[i] = static_cast<unsigned char>(i * 7 + 1);
    fp[0x10] = 0;
    std::vector<unsigned char> redacted = fp;
    RedactFingerprint(redacted.data(), redacted.size(), 99);
    for (std::size_t i = 0; i < fp.size(); ++i)
        EXPECT_EQ(redacted[i] == fp[i], fp[i] == 0) << i;

    // An appended address: every character another of its class, padding kept.
    Text address{};
    const char16_t moved[] = u"北京市海淀区中关村大街27号 Room B";
    for (std::size_t i = 0; moved[i]; ++i) {
        address[2 * i] = static_cast<std::uint8_t>(moved[i]);
        address[2 * i + 1] = static_cast<std::uint8_t>(moved[i] >> 8);
    }
    Text after = address;
    RedactUcs2Text(after.data(), 70, 99);
    for (std::size_t byte = 0; byte < 70; byte += 2) {
        const unsigned before = unit(address, byte), now = unit(after, byte);
        EXPECT_EQ(classOf(now), classOf(before)) << byte;
        EXPECT_EQ(now == before, classOf(before) == Class::Kept) << byte;
    }
    EXPECT_TRUE(std::equal(after.begin() + 70, after.end(), address.begin() + 70));
}

} // namespace

#include "reader/redaction.h"

#include <random>
#include <string_view>

#include "card/card_info.h"
#include "card/card_kinds.h"

namespace {

// Common characters that make up fictional names and places.
constexpr std::u16string_view kCjkPool =
    u"示例测试样本甲乙丙丁戊己庚辛壬癸东南西北中山川林木水火土金石"
    u"云天明华安平和春秋";

std::uint64_t fnv1a(const unsigned char* p, std::size_t n, std::uint64_t h = 14695981039346656037u)
{
    for (std::size_t i = 0; i < n; ++i)
        h = (h ^ p[i]) * 1099511628211u;
    return h;
}

// A small generator: the same seed gives the same values on every platform.
struct SplitMix
{
    std::uint64_t state;
    std::uint64_t next()
    {
        std::uint64_t z = (state += 0x9E3779B97F4A7C15u);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
        return z ^ (z >> 31);
    }
    unsigned below(unsigned n) { return static_cast<unsigned>(next() % n); }
};

SplitMix generatorFor(std::uint64_t key, unsigned what, const unsigned char* p, std::size_t n)
{
    unsigned char head[12];
    for (int i = 0; i < 8; ++i)
        head[i] = static_cast<unsigned char>(key >> (8 * i));
    for (int i = 0; i < 4; ++i)
        head[8 + i] = static_cast<unsigned char>(what >> (8 * i));
    return SplitMix{fnv1a(p, n, fnv1a(head, sizeof head))};
}

unsigned unitAt(const unsigned char* p, std::size_t i)
{
    return p[2 * i] | p[2 * i + 1] << 8;
}

void setUnit(unsigned char* p, std::size_t i, unsigned u)
{
    p[2 * i] = static_cast<unsigned char>(u);
    p[2 * i + 1] = static_cast<unsigned char>(u >> 8);
}

// Another character of the same class, never `u` itself; blanks, padding and
// punctuation as they are.
unsigned replacement(unsigned u, SplitMix& g)
{
    auto rotate = [&](unsigned first, unsigned count) {
        return first + (u - first + 1 + g.below(count - 1)) % count;
    };
    if (u >= '0' && u <= '9')
        return rotate('0', 10);
    if (u >= 'A' && u <= 'Z')
        return rotate('A', 26);
    if (u >= 'a' && u <= 'z')
        return rotate('a', 26);
    if (u < 0x80 || u == 0x00B7 || u == 0x3000 || u == 0x30FB)
        return u;
    // CJK, and any other script or half of a surrogate pair, as CJK.
    unsigned c = kCjkPool[g.below(static_cast<unsigned>(kCjkPool.size()))];
    if (c == u)
        c = kCjkPool[(kCjkPool.find(static_cast<char16_t>(c)) + 1) % kCjkPool.size()];
    return c;
}

void redactUnits(unsigned char* p, std::size_t from, std::size_t units, SplitMix& g)
{
    for (std::size_t i = from; i < units; ++i)
        setUnit(p, i, replacement(unitAt(p, i), g));
}

// Days since 1970-01-01 of a proleptic Gregorian date, and back.
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void civilFromDays(std::int64_t z, std::int64_t& y, unsigned& m, unsigned& d)
{
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2);
}

// Moves a YYYYMMDD date at the field's start by `shift` days; false when the
// field holds no valid date there.
bool shiftDate(unsigned char* p, std::size_t units, std::int64_t shift)
{
    if (units < 8)
        return false;
    unsigned digits[8];
    for (std::size_t i = 0; i < 8; ++i) {
        const unsigned u = unitAt(p, i);
        if (u < '0' || u > '9')
            return false;
        digits[i] = u - '0';
    }
    const std::int64_t y = digits[0] * 1000 + digits[1] * 100 + digits[2] * 10 + digits[3];
    const unsigned m = digits[4] * 10 + digits[5], d = digits[6] * 10 + digits[7];
    if (m < 1 || m > 12 || d < 1)
        return false;
    std::int64_t y2 = 0;
    unsigned m2 = 0, d2 = 0;
    civilFromDays(daysFromCivil(y, m, d), y2, m2, d2);
    if (y2 != y || m2 != m || d2 != d) // the 31st of a short month, say
        return false;
    civilFromDays(daysFromCivil(y, m, d) + shift, y2, m2, d2);
    if (y2 < 1000 || y2 > 9999)
        return false;
    const unsigned values[3] = {static_cast<unsigned>(y2), m2, d2};
    const unsigned widths[3] = {4, 2, 2};
    std::size_t at = 8;
    for (int f = 2; f >= 0; --f) {
        unsigned v = values[f];
        for (unsigned i = 0; i < widths[f]; ++i, v /= 10)
            setUnit(p, --at, '0' + v % 10);
    }
    return true;
}

void redactField(unsigned char* text, const BaseFieldPlace& f, CardKind kind, std::uint64_t key,
                 std::int64_t dateShift)
{
    unsigned char* p = text + f.offset;
    const std::size_t units = f.length / 2;
    SplitMix g = generatorFor(key, static_cast<unsigned>(f.role) + 1, p, f.length);
    switch (f.role) {
    case BaseFieldRole::Sex:
    case BaseFieldRole::Nation:
    case BaseFieldRole::Code:
    case BaseFieldRole::Reserved:
        return;
    case BaseFieldRole::Date:
        if (!shiftDate(p, units, dateShift))
            for (std::size_t i = 0; i < units; ++i)
                if (const unsigned u = unitAt(p, i); u >= '0' && u <= '9')
                    setUnit(p, i, replacement(u, g));
        return;
    case BaseFieldRole::Number:
        // A permit's number begins with the region (81 Hong Kong, 82 Macao,
        // 83 Taiwan), which names no one and which the tool shows.
        redactUnits(p, kind == CardKind::HkMacaoTaiwanPermit ? 2 : 0, units, g);
        return;
    case BaseFieldRole::Name:
    case BaseFieldRole::Address:
    case BaseFieldRole::Authority:
        redactUnits(p, 0, units, g);
        return;
    }
}

} // namespace

std::uint64_t NewRedactionKey()
{
    std::random_device device;
    return (static_cast<std::uint64_t>(device()) << 32) ^ device();
}

void RedactBaseText(unsigned char* text, std::size_t size, std::uint64_t key)
{
    const CardKind kind = size >= kBaseTextSize ? CardKindOf(text) : CardKind::Unknown;
    const std::vector<BaseFieldPlace> fields =
        size >= kBaseTextSize ? BaseTextFields(kind) : std::vector<BaseFieldPlace>{};
    if (fields.empty()) {
        // A layout the tool does not know: every character but the mark.
        unsigned char mark[2] = {};
        const bool hasMark = size >= kBaseTextSize;
        if (hasMark)
            mark[0] = text[kKindMarkOffset], mark[1] = text[kKindMarkOffset + 1];
        RedactUcs2Text(text, size, key);
        if (hasMark)
            text[kKindMarkOffset] = mark[0], text[kKindMarkOffset + 1] = mark[1];
        return;
    }
    SplitMix whole = generatorFor(key, 0, text, kBaseTextSize);
    const std::int64_t dateShift = -1 - static_cast<std::int64_t>(whole.below(3652));
    for (const BaseFieldPlace& f : fields)
        redactField(text, f, kind, key, dateShift);
    // Bytes past the card's 256, should a library return any.
    if (size > kBaseTextSize)
        RedactUcs2Text(text + kBaseTextSize, size - kBaseTextSize, key);
}

void RedactUcs2Text(unsigned char* text, std::size_t size, std::uint64_t key)
{
    SplitMix g = generatorFor(key, 100, text, size);
    redactUnits(text, 0, size / 2, g);
    if (size % 2 && text[size - 1] != 0)
        text[size - 1] = static_cast<unsigned char>(replacement(text[size - 1], g));
}

void RedactPhoto(unsigned char* photo, std::size_t size)
{
    for (std::size_t i = 0; i < size; ++i)
        photo[i] = 0;
}

void RedactFingerprint(unsigned char* data, std::size_t size, std::uint64_t key)
{
    SplitMix g = generatorFor(key, 200, data, size);
    for (std::size_t i = 0; i < size; ++i)
        if (data[i] != 0)
            data[i] = static_cast<unsigned char>(1 + (data[i] - 1 + 1 + g.below(254)) % 255);
}

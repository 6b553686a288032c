#pragma once
// Builds a card's texts for tests from UTF-8: the 256-byte base text as a
// card holds it (UCS-2, blank-padded), and the GBK fields of the records the
// core decodes it into.

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "card/gbk.h"

// Fills a record's field with `utf8` in GBK, cut to the field and padded with
// NUL bytes.
template <std::size_t N> void putField(char (&field)[N], std::string_view utf8)
{
    const std::string gbk = Utf8ToGbk(utf8);
    std::memset(field, 0, N);
    std::memcpy(field, gbk.data(), std::min(gbk.size(), N));
}

inline std::vector<std::uint32_t> utf8CodePoints(const std::string& s)
{
    std::vector<std::uint32_t> out;
    for (size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        const int n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        std::uint32_t cp = n == 1 ? c : c & (0x7F >> n);
        for (int k = 1; k < n; ++k)
            cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
        out.push_back(cp);
        i += n;
    }
    return out;
}

class BaseTextBuilder
{
public:
    BaseTextBuilder() { m_text.fill(0); }

    // Writes `text` at `offset` as UTF-16 LE, padded with blanks to `length` bytes.
    BaseTextBuilder& field(size_t offset, size_t length, const std::string& text, bool pad = true)
    {
        std::vector<std::uint16_t> units;
        for (std::uint32_t cp : utf8CodePoints(text)) {
            if (cp >= 0x10000) {
                cp -= 0x10000;
                units.push_back(static_cast<std::uint16_t>(0xD800 + (cp >> 10)));
                units.push_back(static_cast<std::uint16_t>(0xDC00 + (cp & 0x3FF)));
            } else {
                units.push_back(static_cast<std::uint16_t>(cp));
            }
        }
        for (size_t i = 0; i < length / 2; ++i) {
            const std::uint16_t u = i < units.size() ? units[i] : (pad ? 0x20 : 0);
            m_text[offset + 2 * i] = static_cast<unsigned char>(u & 0xFF);
            m_text[offset + 2 * i + 1] = static_cast<unsigned char>(u >> 8);
        }
        return *this;
    }

    BaseTextBuilder& name(const std::string& t) { return field(0, 30, t); }
    BaseTextBuilder& sex(const std::string& t) { return field(30, 2, t); }
    BaseTextBuilder& nation(const std::string& t) { return field(32, 4, t); }
    BaseTextBuilder& birthday(const std::string& t) { return field(36, 16, t); }
    BaseTextBuilder& address(const std::string& t) { return field(52, 70, t); }
    BaseTextBuilder& idNumber(const std::string& t) { return field(122, 36, t); }
    BaseTextBuilder& department(const std::string& t) { return field(158, 30, t); }
    BaseTextBuilder& startDate(const std::string& t) { return field(188, 16, t); }
    BaseTextBuilder& endDate(const std::string& t) { return field(204, 16, t); }
    BaseTextBuilder& reserved(const std::string& t) { return field(220, 36, t); }

    const unsigned char* data() const { return m_text.data(); }
    std::array<unsigned char, 256>& bytes() { return m_text; }

private:
    std::array<unsigned char, 256> m_text;
};

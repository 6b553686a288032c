#pragma once
// Builds a card's 256-byte base text from UTF-8 field texts, blank-padded as
// a card holds them.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

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

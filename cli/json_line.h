#pragma once
// One JSON object on one line, written field by field. Texts must be UTF-8;
// they are escaped as JSON requires and otherwise kept as they are.

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

class JsonLine
{
public:
    JsonLine() : m_text("{") {}

    JsonLine& text(std::string_view key, std::string_view value) { return raw(key, Quoted(value)); }
    JsonLine& number(std::string_view key, std::int64_t value)
    {
        return raw(key, std::to_string(value));
    }
    // Milliseconds, to the tenth of a microsecond.
    JsonLine& ms(std::string_view key, double value)
    {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.4f", value);
        return raw(key, buf);
    }
    JsonLine& boolean(std::string_view key, bool value)
    {
        return raw(key, value ? "true" : "false");
    }
    // A value written already: a number, null, or a nested object or array.
    JsonLine& raw(std::string_view key, std::string_view json)
    {
        if (m_text.size() > 1)
            m_text += ',';
        m_text += Quoted(key);
        m_text += ':';
        m_text += json;
        return *this;
    }
    std::string str() const { return m_text + "}"; }

    static std::string Quoted(std::string_view value)
    {
        std::string out = "\"";
        for (const char c : value) {
            switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\u%04x",
                                  unsigned(static_cast<unsigned char>(c)));
                    out += buf;
                } else {
                    out += c;
                }
            }
        }
        return out + "\"";
    }

private:
    std::string m_text;
};

#include "present/card_text.h"

#include <algorithm>

#include "base/text.h"
#include "card/gbk.h"
#include "present/texts.h"

std::string WrapText(std::string_view text, int width)
{
    if (width < 2)
        width = 2; // at width 1 a break before the first byte would never end
    const std::size_t w = static_cast<std::size_t>(width);
    std::string out;
    out.reserve(text.size() + text.size() / (w - 1) * 2 + 2);
    // Each pass looks at the rest of the text with positions counted from 1
    // again, as a fresh call on the rest would.
    for (;;) {
        std::size_t p = 1;
        bool broken = false;
        while (p < text.size()) {
            if (p >= w) {
                out.append(text.substr(0, p - 1));
                out.append("\r\n");
                text.remove_prefix(p - 1);
                broken = true;
                break;
            }
            p += static_cast<unsigned char>(text[p - 1]) > 0x80 ? 2 : 1;
        }
        if (!broken) {
            out.append(text);
            return out;
        }
    }
}

std::string BytesToHex(const unsigned char* bytes, int count)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    if (count <= 0)
        return out;
    out.reserve(static_cast<std::size_t>(count) * 3);
    for (int i = 0; i < count; ++i) {
        out.push_back(kDigits[bytes[i] >> 4]);
        out.push_back(kDigits[bytes[i] & 0x0F]);
        out.push_back(' ');
    }
    return out;
}

std::string FormatDate(std::string_view field, std::string_view separator)
{
    std::string date = TrimText(field);
    if (date.size() < 8)
        return date;
    const auto leadByte = [](char c) { return static_cast<unsigned char>(c) > 0x80; };
    if (std::any_of(date.begin(), date.begin() + 8, leadByte))
        return date;
    std::string out = date.substr(0, 4);
    out.append(separator);
    out.append(date, 4, 2);
    out.append(separator);
    out.append(date, 6, 2);
    return out;
}

FingerprintLine FingerprintLineFor(const unsigned char (&data)[kFingerprintSize],
                                   std::int32_t length)
{
    static const std::string prefix = Utf8ToGbk(UiText::kFingerprintPrefix);
    static const std::string none = Utf8ToGbk(UiText::kFingerprintNone);
    if (length == static_cast<std::int32_t>(sizeof data))
        return {prefix + BytesToHex(data, sizeof data), false};
    if (length <= 0)
        return {prefix + none, false};
    // Whatever length the reader left, the buffer holds its size and no more.
    // A control character is never a GBK trail byte, so replacing it splits
    // no character.
    return {prefix + CaretNotation(FieldText(reinterpret_cast<const char*>(data), sizeof data)),
            true};
}

// WrapText on any bytes and any width: the breaks it inserts are its only
// change to the text, every line but the last is as full as the width allows
// without splitting a double-byte character, and no line exceeds it by more
// than the single byte that is never moved to a line of its own.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "present/card_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    // Any width the caller could pass, negative and huge included.
    const int width = static_cast<std::int16_t>(data[0] | data[1] << 8);
    std::string text(reinterpret_cast<const char*>(data) + 2, size - 2);
    // Without CR in the input, every CR LF in the output is a break WrapText made.
    for (char& c : text)
        if (c == '\r')
            c = ' ';

    const std::string wrapped = WrapText(text, width);
    const std::size_t w = width < 2 ? 2 : std::size_t(width);

    std::vector<std::string> lines;
    for (std::size_t from = 0;;) {
        const std::size_t at = wrapped.find("\r\n", from);
        if (at == std::string::npos) {
            lines.push_back(wrapped.substr(from));
            break;
        }
        lines.push_back(wrapped.substr(from, at - from));
        from = at + 2;
    }

    // Character starts over the whole text: a byte above 0x80 begins a
    // double-byte character.
    std::vector<bool> starts(text.size() + 1, false);
    for (std::size_t p = 0; p<text.size(); p += static_cast<unsigned char>(text[p])> 0x80 ? 2 : 1)
        starts[p] = true;
    starts[text.size()] = true;

    std::string joined;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (i + 1 < lines.size()) {
            if (line.size() > w || line.size() + 1 < w || line.empty())
                std::abort(); // a line neither full nor within the width
            if (joined.size() + line.size() > text.size() || !starts[joined.size() + line.size()])
                std::abort(); // a break inside a double-byte character
        } else if (line.size() > w + 1) {
            std::abort();
        }
        joined += line;
    }
    if (joined != text)
        std::abort();
    return 0;
}

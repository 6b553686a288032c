#include "card/gbk.h"

#include <algorithm>
#include <windows.h>

#include "base/utf16.h"

namespace {
constexpr UINT kGbkCodePage = 936;

std::string gbkFromWide(std::wstring_view w)
{
    if (w.empty())
        return {};
    const int n = static_cast<int>(w.size());
    const int size =
        ::WideCharToMultiByte(kGbkCodePage, 0, w.data(), n, nullptr, 0, nullptr, nullptr);
    std::string out(size > 0 ? size : 0, '\0');
    if (size > 0)
        ::WideCharToMultiByte(kGbkCodePage, 0, w.data(), n, out.data(), size, nullptr, nullptr);
    return out;
}

std::wstring wideFromGbk(std::string_view s)
{
    if (s.empty())
        return {};
    const int n = static_cast<int>(s.size());
    const int size = ::MultiByteToWideChar(kGbkCodePage, 0, s.data(), n, nullptr, 0);
    std::wstring out(size > 0 ? size : 0, L'\0');
    if (size > 0)
        ::MultiByteToWideChar(kGbkCodePage, 0, s.data(), n, out.data(), size);
    return out;
}
} // namespace

std::string Ucs2LeToGbk(const unsigned char* data, std::size_t units)
{
    std::wstring w(units, L'\0');
    for (std::size_t i = 0; i < units; ++i)
        w[i] = static_cast<wchar_t>(data[2 * i] | (data[2 * i + 1] << 8));
    // No flags and no default character of our own: what code page 936 lacks
    // becomes its default character '?'.
    return gbkFromWide(w);
}

std::string GbkToUtf8(std::string_view gbk)
{
    // A lead byte cut off at the end is dropped rather than shown as garbage.
    std::string_view text = gbk;
    std::size_t i = 0, last = 0;
    while (i < text.size()) {
        last = i;
        i += static_cast<unsigned char>(text[i]) > 0x80 ? 2 : 1;
    }
    if (i > text.size())
        text = text.substr(0, last);
    // Code page 936 maps the byte 0xFF, which starts no GBK character, to a
    // private-use character; show it as the replacement character instead.
    std::wstring w;
    for (std::size_t start = 0; start <= text.size();) {
        const std::size_t stop = std::min(text.find('\xFF', start), text.size());
        w += wideFromGbk(text.substr(start, stop - start));
        if (stop < text.size())
            w += L'\xFFFD';
        start = stop + 1;
    }
    return Utf8FromWide(w);
}

std::string Utf8ToGbk(std::string_view utf8)
{
    return gbkFromWide(WideFromUtf8(utf8));
}

#include "card/gbk.h"

#include <cerrno>
#include <iconv.h>

namespace {

// One iconv descriptor per direction and thread: descriptors carry state and
// must not be shared between threads.
class Converter
{
public:
    Converter(const char* to, const char* from) : m_cd(::iconv_open(to, from)) {}
    ~Converter()
    {
        if (ok())
            ::iconv_close(m_cd);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool ok() const { return m_cd != reinterpret_cast<iconv_t>(-1); }

    // Converts `in`. On an invalid or unmappable sequence `onBad` is asked how
    // many input bytes to skip and what to write instead; an incomplete
    // sequence at the end is dropped.
    template <typename OnBad> std::string run(std::string_view in, OnBad onBad)
    {
        std::string out;
        if (!ok())
            return out;
        ::iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        char buf[256];
        auto* src = const_cast<char*>(in.data());
        size_t srcLeft = in.size();
        while (srcLeft > 0) {
            char* dst = buf;
            size_t dstLeft = sizeof buf;
            const size_t r = ::iconv(m_cd, &src, &srcLeft, &dst, &dstLeft);
            out.append(buf, static_cast<size_t>(dst - buf));
            if (r != static_cast<size_t>(-1))
                continue;
            if (errno == E2BIG)
                continue;
            if (errno == EINVAL)
                break;
            // EILSEQ (or anything else): replace and step over the bad input.
            const auto [skip, replacement] = onBad(std::string_view(src, srcLeft));
            out += replacement;
            src += skip;
            srcLeft -= skip;
        }
        return out;
    }

private:
    iconv_t m_cd;
};

// Bytes to step over for a bad UTF-8 sequence: a whole character when its
// continuation bytes are there, else just the lead byte.
size_t utf8SequenceLength(std::string_view rest)
{
    const auto lead = static_cast<unsigned char>(rest.front());
    size_t n = 1;
    if (lead >= 0xF0 && lead <= 0xF4)
        n = 4;
    else if (lead >= 0xE0 && lead <= 0xEF)
        n = 3;
    else if (lead >= 0xC2 && lead <= 0xDF)
        n = 2;
    if (n > rest.size())
        return 1;
    for (size_t i = 1; i < n; ++i)
        if ((static_cast<unsigned char>(rest[i]) & 0xC0) != 0x80)
            return 1;
    return n;
}

} // namespace

std::string Ucs2LeToGbk(const unsigned char* data, std::size_t units)
{
    thread_local Converter conv("CP936", "UCS-2LE");
    const std::string_view in(reinterpret_cast<const char*>(data), units * 2);
    return conv.run(in, [](std::string_view) { return std::pair<size_t, const char*>{2, "?"}; });
}

std::string GbkToUtf8(std::string_view gbk)
{
    thread_local Converter conv("UTF-8", "CP936");
    return conv.run(gbk, [](std::string_view) {
        return std::pair<size_t, const char*>{1, "\xEF\xBF\xBD"};
    });
}

std::string Utf8ToGbk(std::string_view utf8)
{
    thread_local Converter conv("CP936", "UTF-8");
    return conv.run(utf8, [](std::string_view rest) {
        return std::pair<size_t, const char*>{utf8SequenceLength(rest), "?"};
    });
}

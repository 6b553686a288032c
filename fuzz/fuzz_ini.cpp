// The settings file's reader and editor on any file content: the input is
// content, section, key and value separated by NUL bytes. The oracle holds
// properties of a settings write, not a second reader:
// - reading never fails, whatever is asked;
// - a value written reads back: a plain one exactly, any other as a part of
//   it (a write cuts it at a line break, a read trims it and drops quotes);
// - writing the same value again changes nothing;
// - a write changes the file in one place: what it takes out lies within one
//   line, the entry of the key when the key had a value, which becomes
//   key=value in its place; otherwise it only adds, at most the entry, its
//   section header and a line break after an unended last line.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "config/ini_text.h"

namespace {

bool hasAny(std::string_view text, const char* bytes)
{
    return text.find_first_of(bytes) != std::string_view::npos;
}

bool blankAtAnEnd(std::string_view text)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    return !text.empty() && (blank(text.front()) || blank(text.back()));
}

// Names as a program writes them: one line, no brackets or '=', no blanks
// around them.
bool plainName(std::string_view name)
{
    return !hasAny(name, "\r\n[]=") && !blankAtAnEnd(name);
}

// A value that reads back as it was written.
bool plainValue(std::string_view value)
{
    return !hasAny(value, "\r\n\"'") && !blankAtAnEnd(value);
}

void require(bool holds)
{
    if (!holds)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view parts[4];
    std::string_view input(reinterpret_cast<const char*>(data), size);
    for (int i = 0; i < 3; ++i) {
        const auto nul = input.find('\0');
        if (nul == std::string_view::npos)
            return 0;
        parts[i] = input.substr(0, nul);
        input.remove_prefix(nul + 1);
    }
    parts[3] = input;
    const std::string_view content = parts[0], section = parts[1], key = parts[2], value = parts[3];

    const auto before = IniGet(content, section, key);
    const std::string edited = IniSet(content, section, key, value);
    if (!plainName(section) || !plainName(key))
        return 0;

    const auto got = IniGet(edited, section, key);
    require(got.has_value());
    require(plainValue(value) ? *got == value : value.find(*got) != std::string_view::npos);
    require(IniSet(edited, section, key, value) == edited);

    // The bytes between the common beginning and the common end.
    const auto prefix = static_cast<std::size_t>(
        std::mismatch(content.begin(), content.end(), edited.begin(), edited.end()).first -
        content.begin());
    std::size_t suffix = 0;
    while (suffix < std::min(content.size(), edited.size()) - prefix &&
           content[content.size() - 1 - suffix] == edited[edited.size() - 1 - suffix])
        ++suffix;
    const std::string_view removed = content.substr(prefix, content.size() - prefix - suffix);
    const std::string_view added =
        std::string_view(edited).substr(prefix, edited.size() - prefix - suffix);
    const auto breaks = std::count(added.begin(), added.end(), '\n');
    require(removed.find('\n') == std::string_view::npos);
    if (!before) {
        require(removed.empty() && breaks <= 3);
    } else if (content != edited) {
        require(breaks == 0);
        // The line the change lies in, without its line ending.
        const std::size_t start = prefix == 0 ? 0 : edited.rfind('\n', prefix - 1) + 1;
        std::string_view line = std::string_view(edited).substr(start);
        line = line.substr(0, line.find('\n'));
        if (line.size() < edited.size() - start && !line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        require(line ==
                std::string(key) + "=" + std::string(value.substr(0, value.find_first_of("\r\n"))));
    }
    return 0;
}

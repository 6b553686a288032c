// The settings file's reader and editor on any file content: the input is
// content, section, key and value separated by NUL bytes. Whatever the
// content, IniSet followed by IniGet gives the value back (cut at its first
// line break, trimmed, quotes removed) and every other line of the file stays
// byte for byte.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "config/ini_text.h"

namespace {

std::string_view trimBlanks(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

bool equalsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

struct Line
{
    std::string_view text;
    std::string_view end;
};

std::vector<Line> lines(std::string_view content)
{
    std::vector<Line> out;
    while (!content.empty()) {
        const auto nl = content.find('\n');
        if (nl == std::string_view::npos) {
            out.push_back({content, {}});
            break;
        }
        const bool cr = nl > 0 && content[nl - 1] == '\r';
        out.push_back({content.substr(0, nl - cr), content.substr(nl - cr, 1 + cr)});
        content.remove_prefix(nl + 1);
    }
    return out;
}

// Names a program writes: no line break, no blanks around them; a key holds
// no '=' and does not look like a section header, a section holds no ']'.
bool usableSection(std::string_view s)
{
    return s.find_first_of("\r\n]") == std::string_view::npos && trimBlanks(s) == s;
}

bool usableKey(std::string_view k)
{
    return k.find_first_of("\r\n=") == std::string_view::npos && trimBlanks(k) == k &&
           (k.empty() || k.front() != '[');
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::vector<std::string_view> parts;
    std::string_view input(reinterpret_cast<const char*>(data), size);
    for (int i = 0; i < 3; ++i) {
        const auto nul = input.find('\0');
        if (nul == std::string_view::npos)
            return 0;
        parts.push_back(input.substr(0, nul));
        input.remove_prefix(nul + 1);
    }
    parts.push_back(input);
    const std::string_view content = parts[0], section = parts[1], key = parts[2], value = parts[3];

    // Reading never fails, whatever is asked.
    (void)IniGet(content, section, key);
    const std::string edited = IniSet(content, section, key, value);
    if (!usableSection(section) || !usableKey(key))
        return 0;

    std::string_view expected = trimBlanks(value.substr(0, value.find_first_of("\r\n")));
    if (expected.size() >= 2 && (expected.front() == '"' || expected.front() == '\'') &&
        expected.back() == expected.front())
        expected = expected.substr(1, expected.size() - 2);
    const auto got = IniGet(edited, section, key);
    if (!got || *got != expected)
        std::abort();

    // The edit replaced at most one line (an entry of that key) and added at
    // most two (the entry and its section header); all else is as it was. A
    // last line without a line ending may gain one when something follows it.
    const auto before = lines(content);
    const auto after = lines(edited);
    auto same = [&](std::size_t i, std::size_t j) {
        if (before[i].text == after[j].text && before[i].end == after[j].end)
            return true;
        if (!before[i].end.empty() || i + 1 != before.size())
            return false;
        // The unended last line gained a line break: its bytes are all still
        // there, a trailing CR now being the start of a CR LF.
        const std::string old(before[i].text);
        const std::string now = std::string(after[j].text) + std::string(after[j].end);
        const std::string added = now.size() > old.size() ? now.substr(old.size()) : "";
        return now.compare(0, old.size(), old) == 0 && (added == "\n" || added == "\r\n");
    };
    std::size_t head = 0;
    while (head < before.size() && head < after.size() && same(head, head))
        ++head;
    std::size_t tail = 0;
    while (tail < before.size() - head && tail < after.size() - head &&
           same(before.size() - 1 - tail, after.size() - 1 - tail))
        ++tail;
    const std::size_t removed = before.size() - head - tail;
    const std::size_t added = after.size() - head - tail;
    if (removed > 1 || added > 2 || added < removed)
        std::abort();
    if (removed == 1) {
        const std::string_view old = before[head].text;
        const auto eq = old.find('=');
        if (eq == std::string_view::npos || !equalsNoCase(trimBlanks(old.substr(0, eq)), key))
            std::abort(); // a line that was no entry of this key was lost
    }
    return 0;
}

#include "config/ini_text.h"

#include <vector>

#include "base/text.h"

namespace {

struct Line
{
    std::string_view text; // without its line ending
    std::string_view end;  // "\r\n", "\n" or "" for a last line without one
};

std::vector<Line> splitLines(std::string_view content)
{
    std::vector<Line> lines;
    while (!content.empty()) {
        const auto nl = content.find('\n');
        if (nl == std::string_view::npos) {
            lines.push_back({content, {}});
            break;
        }
        const bool cr = nl > 0 && content[nl - 1] == '\r';
        lines.push_back(
            {content.substr(0, cr ? nl - 1 : nl), content.substr(cr ? nl - 1 : nl, cr ? 2 : 1)});
        content.remove_prefix(nl + 1);
    }
    return lines;
}

std::string_view trimBlanks(std::string_view s)
{
    const auto isBlank = [](char c) { return c == ' ' || c == '\t'; };
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

// The section name of a header line "[name]", or nothing.
std::optional<std::string_view> sectionName(std::string_view line)
{
    line = trimBlanks(line);
    if (line.size() < 2 || line.front() != '[')
        return std::nullopt;
    const auto close = line.find(']');
    if (close == std::string_view::npos)
        return std::nullopt;
    return trimBlanks(line.substr(1, close - 1));
}

bool isKeyLine(std::string_view line, std::string_view key, std::string_view* value)
{
    const auto eq = line.find('=');
    if (eq == std::string_view::npos || !EqualIgnoringCase(trimBlanks(line.substr(0, eq)), key))
        return false;
    if (value)
        *value = trimBlanks(line.substr(eq + 1));
    return true;
}

// Index range [first, last) of the lines inside the first section so named;
// first is the header's index.
std::optional<std::pair<size_t, size_t>> findSection(const std::vector<Line>& lines,
                                                     std::string_view section)
{
    for (size_t i = 0; i < lines.size(); ++i) {
        const auto name = sectionName(lines[i].text);
        if (!name || !EqualIgnoringCase(*name, section))
            continue;
        size_t end = i + 1;
        while (end < lines.size() && !sectionName(lines[end].text))
            ++end;
        return std::pair{i, end};
    }
    return std::nullopt;
}

std::string_view lineEnding(std::string_view content)
{
    if (content.find("\r\n") != std::string_view::npos)
        return "\r\n";
    if (content.find('\n') != std::string_view::npos)
        return "\n";
#ifdef _WIN32
    return "\r\n";
#else
    return "\n";
#endif
}

} // namespace

std::optional<std::string> IniGet(std::string_view content, std::string_view section,
                                  std::string_view key)
{
    const auto lines = splitLines(content);
    const auto range = findSection(lines, section);
    if (!range)
        return std::nullopt;
    for (size_t i = range->first + 1; i < range->second; ++i) {
        std::string_view value;
        if (!isKeyLine(lines[i].text, key, &value))
            continue;
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        return std::string(value);
    }
    return std::nullopt;
}

std::string IniSet(std::string_view content, std::string_view section, std::string_view key,
                   std::string_view value)
{
    value = value.substr(0, value.find_first_of("\r\n"));
    const std::string_view nl = lineEnding(content);
    std::string entry = std::string(key) + "=" + std::string(value);
    const auto lines = splitLines(content);
    const auto range = findSection(lines, section);

    std::string out;
    out.reserve(content.size() + entry.size() + section.size() + 8);
    if (!range) {
        out.append(content);
        if (!out.empty() && out.back() != '\n')
            out.append(nl);
        out.append("[").append(section).append("]").append(nl);
        out.append(entry).append(nl);
        return out;
    }

    // Replace the first entry of the key, or add one after the section's last
    // non-blank line.
    size_t target = range->second;
    bool replace = false;
    for (size_t i = range->first + 1; i < range->second; ++i) {
        if (isKeyLine(lines[i].text, key, nullptr)) {
            target = i;
            replace = true;
            break;
        }
    }
    size_t insertAfter = range->first;
    if (!replace) {
        for (size_t i = range->first + 1; i < range->second; ++i)
            if (!trimBlanks(lines[i].text).empty())
                insertAfter = i;
    }
    for (size_t i = 0; i < lines.size(); ++i) {
        if (replace && i == target) {
            out.append(entry).append(lines[i].end.empty() ? std::string_view() : lines[i].end);
            continue;
        }
        out.append(lines[i].text);
        if (!replace && i == insertAfter) {
            out.append(lines[i].end.empty() ? nl : lines[i].end);
            out.append(entry).append(nl);
            continue;
        }
        out.append(lines[i].end);
    }
    return out;
}

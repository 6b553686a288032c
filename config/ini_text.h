#pragma once
// INI text as the Windows private-profile functions treat it, on text in
// memory: section and key names match without regard to ASCII letter case,
// names and values are trimmed of blanks, a value in matching quotes loses
// them, and a write replaces an entry in place or adds it, leaving every other
// line byte for byte as it was.

#include <optional>
#include <string>
#include <string_view>

// The value of `key` in the first section named `section`, or nothing.
std::optional<std::string> IniGet(std::string_view content, std::string_view section,
                                  std::string_view key);

// `content` with `key` set to `value` in `section`: the first entry of that
// key in the section is replaced; otherwise the entry is added after the
// section's last entry, and the section is added at the end when missing.
// A value is cut at its first line break, so it cannot add lines of its own.
std::string IniSet(std::string_view content, std::string_view section, std::string_view key,
                   std::string_view value);

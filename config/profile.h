#pragma once
// One key of an INI file, read and written by our own rules (ini_text.h, the
// rules of the Windows private-profile functions) on every platform; a write
// replaces the whole file in one step (ReplaceFileContent).

#include <string>

// The value, or the empty text for anything missing or unreadable.
std::string ReadProfileString(const std::string& file, const std::string& section,
                              const std::string& key);

// True when the value was stored and is on disk. A file that cannot be
// written (no write permission bits, a read-only attribute, an unwritable
// directory) keeps its old content.
bool WriteProfileString(const std::string& file, const std::string& section, const std::string& key,
                        const std::string& value);

#pragma once
// Per-platform access to one key of an INI file: the private-profile
// functions on Windows, our own reader and crash-safe editor elsewhere.

#include <string>

// The value, or the empty text for anything missing or unreadable.
std::string ReadProfileString(const std::string& file, const std::string& section,
                              const std::string& key);

// True when the value was stored and is on disk. A file that cannot be
// written (no write permission bits, a read-only attribute, an unwritable
// directory) keeps its old content.
bool WriteProfileString(const std::string& file, const std::string& section, const std::string& key,
                        const std::string& value);

#pragma once
// Text conversion between the card's UCS-2, the GBK (code page 936) bytes the
// system holds, and UTF-8 for display. Code page 936 is used explicitly,
// whatever the machine's locale.

#include <cstddef>
#include <string>
#include <string_view>

// UCS-2 little-endian code units to GBK. A character that GBK lacks (or a
// surrogate) becomes '?'. `units` counts code units, not bytes.
std::string Ucs2LeToGbk(const unsigned char* data, std::size_t units);

// GBK to UTF-8, for the windows. A byte that starts no valid character becomes
// U+FFFD; a double-byte character cut in half at the end is dropped; the rest
// of the text is always kept.
std::string GbkToUtf8(std::string_view gbk);

// UTF-8 to GBK ('?' for characters GBK lacks, and for invalid UTF-8).
std::string Utf8ToGbk(std::string_view utf8);

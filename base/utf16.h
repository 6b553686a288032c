#pragma once
// UTF-8, the text of the tool, to and from UTF-16, the text of the Win32 wide
// functions. Built on Windows only, where wchar_t is a UTF-16 code unit.
// Invalid input is not refused: each malformed sequence becomes U+FFFD.

#include <string>
#include <string_view>

std::wstring WideFromUtf8(std::string_view utf8);
std::string Utf8FromWide(std::wstring_view wide);

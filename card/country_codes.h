#pragma once
// The country and region codes of GB/T 2659 (the three-letter codes of
// ISO 3166-1 alpha-3) with their Chinese short names, as the foreign
// permanent resident card names the holder's nationality.

#include <cstddef>
#include <string>
#include <string_view>

struct CountryCode
{
    const char* code; // three capital letters
    const char* name; // Chinese short name, UTF-8 source text
};

inline constexpr std::size_t kCountryCodeCount = 249;

// Sorted by code, every code once (checked at compile time).
extern const CountryCode kCountryCodes[kCountryCodeCount];

// The Chinese short name (UTF-8) of a code, or nullptr for a code not listed.
// Exact match: capital letters only.
const char* CountryName(std::string_view code);

// The name as the record stores it (GBK); a code not listed gives the code
// itself, so the card still shows what it holds.
std::string CountryNameGbk(std::string_view code);

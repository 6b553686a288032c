#pragma once
// Where the year, month and day marks of a card face stand after the numbers
// of the date of birth. The numbers are the data label's text, drawn with the
// font of the machine the program runs on, so the marks are placed from that
// same font's widths, by each front-end at run time, never from a picture
// measured elsewhere. The rule lives here; the front-ends only measure.

#include <array>
#include <functional>
#include <string_view>

#include "present/card_view_model.h"

// A front-end's advance width of `utf8` drawn in one of the card view's fonts,
// in its own pixels, trailing blanks included.
using CardTextWidth = std::function<double(std::string_view utf8, CardFont font)>;

struct BirthdayMark
{
    std::string_view text; // UTF-8: 年, 月, 日
    double left = 0;       // in the front-end's pixels
};

// The marks after the year, month and day numbers of BirthdayLabel's text
// when it starts at `labelLeft`. The numbers are measured in the data labels'
// font as the date is formatted (kBirthdaySeparator between them), the marks
// in the captions' font (CardFont::Line). Each mark is centred in the blanks
// after its number, the day's as if such blanks followed it too, and never
// begins before its number ends, whatever the blanks measure.
std::array<BirthdayMark, 3> BirthdayMarks(double labelLeft, const CardTextWidth& width);

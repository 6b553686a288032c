#include "present/birthday_marks.h"

#include <algorithm>
#include <string>

#include "present/card_text.h"
#include "present/texts.h"

std::array<BirthdayMark, 3> BirthdayMarks(double labelLeft, const CardTextWidth& width)
{
    // A date of eight digits as the label shows it. Digits share one width in
    // the faces the windows use, so any date lines up with these marks.
    const std::string date = FormatDate("00000000", kBirthdaySeparator);
    const std::size_t gap = kBirthdaySeparator.size();
    const auto upTo = [&](std::size_t bytes) {
        return width(std::string_view(date).substr(0, bytes), CardFont::Data);
    };
    // Ends of the year, month and day numbers, and where the month and day
    // begin: prefixes of the whole text, so they match what is drawn.
    const double yearEnd = upTo(4);
    const double monthStart = upTo(4 + gap);
    const double monthEnd = upTo(6 + gap);
    const double dayStart = upTo(6 + 2 * gap);
    const double dayEnd = upTo(date.size());
    const struct
    {
        std::string_view text;
        double numberEnd;
        double blanks;
    } marks[] = {
        {UiText::kCaptionYear, yearEnd, monthStart - yearEnd},
        {UiText::kCaptionMonth, monthEnd, dayStart - monthEnd},
        {UiText::kCaptionDay, dayEnd, dayStart - monthEnd},
    };
    std::array<BirthdayMark, 3> placed;
    for (std::size_t i = 0; i < placed.size(); ++i) {
        const double markWidth = width(marks[i].text, CardFont::Line);
        placed[i] = {marks[i].text, labelLeft + marks[i].numberEnd +
                                        std::max(0.0, (marks[i].blanks - markWidth) / 2)};
    }
    return placed;
}

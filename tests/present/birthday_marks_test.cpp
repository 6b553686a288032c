#include "present/birthday_marks.h"

#include <gtest/gtest.h>

#include "present/card_text.h"

namespace {

// A font as a front-end measures it: one width for digits, one for blanks and
// one for the marks (CJK characters), in the data labels' font and in the
// captions' font.
struct Font
{
    double digit, blank, mark;
};

double measure(std::string_view text, const Font& font)
{
    double width = 0;
    for (std::size_t i = 0; i < text.size();) {
        if (static_cast<unsigned char>(text[i]) >= 0x80) { // one UTF-8 CJK mark
            width += font.mark;
            i += 3;
        } else {
            width += text[i] == ' ' ? font.blank : font.digit;
            ++i;
        }
    }
    return width;
}

TEST(BirthdayMarks, EachNumberStandsInFrontOfItsMarkInTheFontsOfTheMachine)
{
    const struct
    {
        const char* machine;
        Font data, line;
        double labelLeft;
        double year, month, day; // expected left edges of the marks
    } cases[] = {
        // Half-width digits and blanks, bold no wider: the marks sit in the
        // middle of 35-pixel gaps.
        {"even", {7, 7, 13}, {7, 7, 13}, 75, 114, 163, 212},
        // A face with narrow blanks (the one that put 日 before the day): the
        // gaps shrink to 20 pixels and the marks follow them.
        {"narrow blanks", {7, 4, 13}, {6, 4, 12}, 75, 107, 141, 175},
        // A synthesized bold one pixel wider than the captions' face, at
        // 150 % on a scaled screen.
        {"scaled bold", {11, 10, 20}, {10, 10, 20}, 112.5, 171.5, 243.5, 315.5},
        // Blanks narrower than a mark: the mark starts where its number
        // ends, never over it.
        {"no room", {7, 1, 13}, {7, 1, 13}, 0, 28, 47, 66},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.machine);
        const auto width = [&](std::string_view text, CardFont font) {
            return measure(text, font == CardFont::Data ? c.data : c.line);
        };
        const auto marks = BirthdayMarks(c.labelLeft, width);
        EXPECT_EQ(marks[0].text, "年");
        EXPECT_EQ(marks[1].text, "月");
        EXPECT_EQ(marks[2].text, "日");
        EXPECT_DOUBLE_EQ(marks[0].left, c.year);
        EXPECT_DOUBLE_EQ(marks[1].left, c.month);
        EXPECT_DOUBLE_EQ(marks[2].left, c.day);

        // Against the label's text as it is drawn: each mark lies after its
        // number, and before the next number wherever the blanks hold it.
        const std::string date = FormatDate("19900102", kBirthdaySeparator);
        const double numberEnds[] = {measure(date.substr(0, 4), c.data),
                                     measure(date.substr(0, 11), c.data), measure(date, c.data)};
        const double nextStarts[] = {measure(date.substr(0, 9), c.data),
                                     measure(date.substr(0, 16), c.data)};
        for (int i = 0; i < 3; ++i) {
            EXPECT_GE(marks[i].left, c.labelLeft + numberEnds[i]) << "mark " << i;
            if (i < 2 && 5 * c.data.blank >= c.line.mark) {
                EXPECT_LE(marks[i].left + c.line.mark, c.labelLeft + nextStarts[i]) << "mark " << i;
            }
        }
    }
}

} // namespace

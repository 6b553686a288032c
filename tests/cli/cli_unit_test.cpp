// The console program's parts with known answers: the JSON writer's quoting
// and the duration statistics' ranks.

#include <gtest/gtest.h>
#include <numeric>
#include <string>
#include <vector>

#include "cli/duration_stats.h"
#include "cli/json_line.h"

namespace {

TEST(CliParts, JsonQuotesEveryCharacterThatWouldEndTheStringOrTheLine)
{
    const std::pair<std::string, std::string> cases[] = {
        {"C:\\lib\"s\\termb.dll", R"("C:\\lib\"s\\termb.dll")"},
        {"a\nb\rc\td", R"("a\nb\rc\td")"},
        {std::string("\x1B]0;x\x07\0", 7), R"("\u001b]0;x\u0007\u0000")"},
        {"张三 \x7F", "\"张三 \x7F\""},
    };
    for (const auto& [text, quoted] : cases)
        EXPECT_EQ(JsonLine::Quoted(text), quoted);
    EXPECT_EQ(JsonLine().text("k\"", "v").number("n", -3).boolean("b", true).str(),
              R"({"k\"":"v","n":-3,"b":true})");
}

// Nearest rank: the median of n durations is the ceil(n/2)-th, the 95th
// percentile the ceil(0.95 n)-th, each within the 1 % of its bucket.
TEST(CliParts, MedianAndP95AreTheNearestRanks)
{
    auto upTo = [](int n) { // 1, 2, ... n ms
        std::vector<double> ms(std::size_t(n), 0.0);
        std::iota(ms.begin(), ms.end(), 1.0);
        return ms;
    };
    const struct
    {
        std::vector<double> ms;
        double median, p95;
    } cases[] = {
        {{100, 1}, 1, 100},
        {{7}, 7, 7},
        {{3, 1, 2}, 2, 3},
        {upTo(20), 10, 19},
        {upTo(21), 11, 20},
        {upTo(100), 50, 95},
        {{0.5, 0.5, 0.5, 900}, 0.5, 900},
    };
    for (const auto& c : cases) {
        DurationStats stats;
        for (const double ms : c.ms)
            stats.add(ms);
        const DurationSummary s = stats.summary();
        SCOPED_TRACE(c.ms.size());
        EXPECT_NEAR(s.median, c.median, c.median * 0.01);
        EXPECT_NEAR(s.p95, c.p95, c.p95 * 0.01);
        EXPECT_LE(s.min, s.median);
        EXPECT_LE(s.p95, s.max);
    }
}

} // namespace

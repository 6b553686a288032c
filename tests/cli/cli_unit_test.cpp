// The console program's parts with known answers: the JSON writer's quoting,
// the duration statistics' ranks, the command line's bounds.

#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "cli/duration_stats.h"
#include "cli/json_line.h"
#include "cli/options.h"

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
    auto range = [](int from, int to) {
        std::vector<double> v;
        for (int i = from; i <= to; ++i)
            v.push_back(i);
        return v;
    };
    const struct
    {
        std::vector<double> ms;
        double median, p95;
    } cases[] = {
        {{100, 1}, 1, 100},
        {{7}, 7, 7},
        {{3, 1, 2}, 2, 3},
        {range(1, 20), 10, 19},
        {range(1, 100), 50, 95},
        {range(1, 21), 11, 20},
        {{0.5, 0.5, 0.5, 900}, 0.5, 900},
    };
    for (const auto& c : cases) {
        DurationStats stats;
        for (const double ms : c.ms)
            stats.add(ms);
        const DurationSummary s = stats.summary();
        SCOPED_TRACE(c.ms.size());
        EXPECT_EQ(s.count, c.ms.size());
        EXPECT_NEAR(s.median, c.median, c.median * 0.01);
        EXPECT_NEAR(s.p95, c.p95, c.p95 * 0.01);
        EXPECT_LE(s.min, s.median);
        EXPECT_LE(s.p95, s.max);
    }
}

TEST(CliParts, DurationWithinWhatTheClockHolds)
{
    const std::pair<const char*, bool> cases[] = {
        {"60", true},      {"0.001", true},   {"1e9", true},   {"2.5", true},
        {"0.0009", false}, {"1e-300", false}, {"1e10", false}, {"inf", false},
        {"nan", false},    {"0", false},      {"-1", false},   {"10s", false},
    };
    for (const auto& [text, valid] : cases) {
        Options options;
        const std::string error = ParseOptions({"--continuous", "--duration", text}, options);
        EXPECT_EQ(error.empty(), valid) << text << ": " << error;
    }
}

} // namespace

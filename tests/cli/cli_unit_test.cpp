// The console program's parts with known answers: the JSON writer's quoting,
// the duration statistics' ranks, the worst of several exit statuses and the
// report page's escaping.

#include <gtest/gtest.h>
#include <numeric>
#include <string>
#include <vector>

#include "cli/duration_stats.h"
#include "cli/html_report.h"
#include "cli/json_line.h"
#include "cli/report.h"

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

// From best to worst: 0, 3, 2, 5, 4, 130, 74.
TEST(CliParts, WorstExitStatusOfSeveralReaders)
{
    const std::pair<std::vector<int>, int> cases[] = {
        {{0, 0}, 0}, {{0, 3}, 3},     {{3, 2}, 2},     {{2, 5, 0}, 5},
        {{5, 4}, 4}, {{4, 130}, 130}, {{130, 74}, 74}, {{74, 0, 3}, 74},
    };
    for (const auto& [codes, worst] : cases) {
        EXPECT_EQ(WorstExitStatus(codes), worst);
        EXPECT_EQ(WorstExitStatus({codes.rbegin(), codes.rend()}), worst);
    }
}

// Text from the reader and the command line is data in the page: markup in
// it stays text, and the page fetches and runs nothing.
TEST(CliParts, ReportPageEscapesWhatItShows)
{
    const std::string hostile = "<script>alert('x')</script>\"><img src=http://e/x>&";
    HtmlRun run;
    run.command = "zuviruzozozad-cli --report " + hostile;
    run.library = hostile;
    run.started = hostile;
    ReaderRun reader;
    reader.port = 1001;
    reader.samId = hostile + "\x1b[2J";
    for (const double ms : {1.0, 2.0, 500.0})
        reader.passes.add(ms);
    reader.calls[TermbFunction::ReadBaseFPMsg].add(500);
    reader.failures.push_back({0.5, FailureKind::NoCard});
    run.readers = {reader, reader};
    const std::string page = HtmlReport(run);
    EXPECT_EQ(page.find("<script"), std::string::npos);
    EXPECT_EQ(page.find("<img"), std::string::npos);
    EXPECT_EQ(page.find("href="), std::string::npos);
    EXPECT_EQ(page.find('\x1b'), std::string::npos);
    EXPECT_NE(page.find("&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt;&quot;&gt;&lt;img"),
              std::string::npos);
    EXPECT_EQ(HtmlEscaped("a&b<c>\"'\x01\t"), "a&amp;b&lt;c&gt;&quot;&#39;\xEF\xBF\xBD\t");
}

} // namespace

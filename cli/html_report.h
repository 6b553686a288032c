#pragma once
// The run as one self-contained HTML page for a person to look at: the
// summary per reader, histograms of the pass durations and of each reader
// call's durations, and the failures over time. Inline CSS and SVG only, no
// scripts and nothing fetched from elsewhere. Every text from outside the
// program (the security-module number, paths, the command line) is data
// and is escaped.

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "cli/duration_stats.h"
#include "cli/report.h"

struct FailureMark
{
    double seconds; // since the run began
    FailureKind kind;
};

struct ReaderRun
{
    int port = 0;
    std::string samId; // UTF-8; empty when no reader answered
    RunSummary summary;
    DurationStats passes;
    std::map<TermbFunction, DurationStats> calls;
    std::vector<FailureMark> failures;
};

struct HtmlRun
{
    std::string command; // the command line, UTF-8
    std::string started; // when the run began, local time
    std::string library; // the library file in use
    bool isVirtual = false;
    std::vector<ReaderRun> readers;
    RunSummary total; // with one reader, its own summary
};

// The page.
std::string HtmlReport(const HtmlRun& run);

// `text` with &, <, >, " and ' as character references, and control
// characters other than tab and line ends shown as U+FFFD.
std::string HtmlEscaped(std::string_view text);

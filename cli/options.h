#pragma once
// The console program's command line.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

enum class RunMode { Once, Repeat, Continuous };

// The durations --duration takes: from a millisecond to about 31 years, which
// the steady clock holds with room to spare (its nanoseconds end near 292
// years); a number outside is a mistake, not a run.
inline constexpr double kMinDurationSeconds = 0.001;
inline constexpr double kMaxDurationSeconds = 1e9;

struct Options
{
    RunMode mode = RunMode::Once;
    int repeat = 1;             // passes of --repeat
    double durationSeconds = 0; // --continuous: 0 runs until interrupted
    bool json = false;          // JSON Lines instead of the readable text
    bool inProcess = false;     // --in-process: the library in this process, not a host
    // --port, in SetPortNo's terms: one port (or auto), or several readers
    // at once; empty: the settings file.
    std::vector<std::int32_t> ports;
    std::string report;     // --report: the HTML page to write; empty: none
    std::string library;    // --library; empty: the usual search
    std::string record;     // --record: the file the reader calls are recorded in
    bool recordRaw = false; // --record-raw: the recording keeps the cards' data as read
    bool help = false;

    // --library virtual: the virtual reader that comes with the tool.
    bool virtualReader() const { return library == "virtual"; }
};

// Fills `options` from the arguments after the program name. Returns the
// empty text, or what is wrong with the command line in one line.
std::string ParseOptions(const std::vector<std::string>& args, Options& options);

// The --help text.
const char* UsageText();

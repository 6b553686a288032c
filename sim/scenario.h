#pragma once
// What the virtual reader models: ports, security-module number, cards,
// timeline, call latencies and faults. Read from a JSON file (README.md) or
// the built-in default demo.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "sim/cards.h"

namespace termbsim {

// The reader calls, for latencies; Wlt2Bmp is a pure decoder and has none.
enum class Call {
    OpenPort,
    ClosePort,
    GetSamId,
    StartFindIdCard,
    SelectIdCard,
    ReadBaseMsg,
    ReadBaseFpMsg,
    ReadNewAppMsg,
    Count
};
inline constexpr int kCallCount = static_cast<int>(Call::Count);
inline constexpr const char* kCallNames[kCallCount] = {
    "SDT_OpenPort",     "SDT_ClosePort",   "SDT_GetSAMIDToStr", "SDT_StartFindIDCard",
    "SDT_SelectIDCard", "SDT_ReadBaseMsg", "SDT_ReadBaseFPMsg", "SDT_ReadNewAppMsg",
};
// Realistic defaults in milliseconds: a base read takes a few hundred, the
// fingerprint read a little more, the short commands tens.
inline constexpr std::array<int, kCallCount> kDefaultLatencyMs = {40, 5, 30, 25, 30, 350, 500, 40};

enum class Fault {
    FindPortFailure,      // SDT_StartFindIDCard answers a port failure
    SelectFailure,        // SDT_SelectIDCard fails
    ReadFailure,          // a base read fails
    CardLeavesDuringRead, // the card is taken away while a base read runs
    ReaderVanishes,       // the reader is unplugged, and comes back later
    PhotoCorrupt,         // a read returns a photo that does not decode
    Count
};
inline constexpr int kFaultCount = static_cast<int>(Fault::Count);
inline constexpr const char* kFaultNames[kFaultCount] = {
    "find_port_failure",       "select_failure",  "read_failure",
    "card_leaves_during_read", "reader_vanishes", "photo_corrupt",
};

struct FaultSpec
{
    enum class Trigger { Never, Sequence, Probability, Times };
    Trigger trigger = Trigger::Never;
    // Sequence: one entry per counted call; -1 no fault, -2 the fault with its
    // default code, any other value the fault with that result code.
    std::vector<int> sequence;
    bool repeat = false;
    double probability = 0;
    std::uint64_t seed = 1;
    int code = 0;                   // result code when the fault fires
    std::vector<std::int64_t> atMs; // ReaderVanishes only: start times of absences
    std::int64_t durationMs = 2000; // ReaderVanishes only: how long the reader stays away
};
inline constexpr int kNoFault = -1;
inline constexpr int kDefaultCode = -2;

struct Timeline
{
    enum class Mode { Cycle, Manual, Fixed };
    Mode mode = Mode::Cycle;
    std::int64_t onMs = 3000;  // Cycle: each card lies this long on the reader
    std::int64_t offMs = 2000; // Cycle: then the reader is empty this long
    bool startOn = true;       // Cycle: the first card lies there at the start
    std::string controlFile;   // Manual: holds the number of the card placed, or nothing
    int fixedCard = -1;        // Fixed: the card always there, -1 none
};

inline constexpr const char* kDefaultSamId = "05.01-20261209-0000000001-3915022118";

struct Scenario
{
    std::string source = "default demo"; // the file, or "default demo"
    std::vector<int> ports = {1001};
    std::string samId = kDefaultSamId;
    std::vector<CardSpec> cards;
    // Built from `cards`, same order: at once from a scenario file (a card
    // that cannot be built makes the file unusable), and for the default demo
    // by EnsureImages when a card is first read.
    std::vector<CardImage> images;
    Timeline timeline;
    double latencyScale = 1.0;
    std::array<int, kCallCount> latencyMs = kDefaultLatencyMs;
    std::array<FaultSpec, kFaultCount> faults;
    // A recording of reader calls to play back instead of the model
    // (sim/replay.h); only the latency scale applies to it.
    std::string replay;
};

// Every built-in card, cycling 3 s on and 2 s off, realistic latencies.
Scenario DefaultScenario();

// Builds the images of the cards that have none yet.
void EnsureImages(Scenario& scenario);

// Parses scenario JSON; relative file names in it are taken from `baseDir`.
// False and a one-line reason naming the place in the file on any problem.
bool ParseScenario(const std::string& json, const std::string& baseDir, Scenario& scenario,
                   std::string& error);

// The whole content of the file at `path`; false when it cannot be read.
bool ReadFileText(const std::string& path, std::string& content);

// Reads and parses the file. A recording of reader calls (told by its header
// line) is a scenario that replays it at the recorded durations.
bool LoadScenarioFile(const std::string& path, Scenario& scenario, std::string& error);

} // namespace termbsim

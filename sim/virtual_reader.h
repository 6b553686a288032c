#pragma once
// The state of the virtual reader and its answers to the reader calls. One
// instance serves the whole process; every member function may be called from
// any thread.

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <random>
#include <set>
#include <string>

#include "reader/termb.h"
#include "sim/replay.h"
#include "sim/scenario.h"

namespace termbsim {

// The result codes the tool relies on are its own (reader/termb.h); the others
// are the virtual reader's.
inline constexpr int kOk = kTermbOk;
inline constexpr int kCardFound = kTermbCardFound;
inline constexpr int kPortNotAttached = 1;       // no reader on this port (or no valid scenario)
inline constexpr int kPortNotOpen = 2;           // the reader is there, the port is closed
inline constexpr int kReaderGone = 3;            // the reader vanished (fault)
inline constexpr int kNoCard = 128;              // find, select or read with no card on the reader
inline constexpr int kCardLeft = kTermbCardGone; // the card left: read failed, or ReadNewAppMsg
inline constexpr int kBadArgument = 16;          // a null buffer

class VirtualReader
{
public:
    using Clock = std::chrono::steady_clock;

    // The scenario named by TERMB_VIRTUAL_SCENARIO, or the default demo; all
    // ports closed, no fault fired yet, the timeline starting now.
    void reset();
    // Moves the timeline's clock forward (tests).
    void advanceClock(std::int64_t milliseconds);
    const char* info();

    int openPort(int port);
    int closePort(int port);
    int getSamId(int port, char* samId);
    int startFindIdCard(int port, unsigned char* manage);
    int selectIdCard(int port, unsigned char* manage);
    int readBase(int port, unsigned char* text, unsigned int* textLen, unsigned char* photo,
                 unsigned int* photoLen, unsigned char* fingerprint, int* fingerprintLen,
                 bool withFingerprint);
    int readNewAppMsg(int port, unsigned char* appMsg, unsigned int* len);
    // Decodes our compressed photo; in a replay, answers as recorded.
    int wlt2Bmp(unsigned char* wlt, unsigned char* bmp);

private:
    // A card lying on the reader. Every placement has its own number, so a card
    // taken away and put back is a new placement.
    struct Placement
    {
        int card = -1;
        std::int64_t id = -1;
        bool present() const { return card >= 0; }
    };
    struct FaultState
    {
        std::size_t calls = 0;
        std::mt19937_64 random;
    };

    void ensureLoaded(std::unique_lock<std::mutex>& lock);
    void loadLocked();
    std::int64_t elapsedMs() const;
    Placement placementLocked();
    Placement timelinePlacementLocked();
    bool vanishedLocked();
    int portStatusLocked(int port);
    // Counts a call for `fault` and tells whether it fires; `code` gets the result.
    bool fireLocked(Fault fault, int& code);
    // Waits the call's latency with the lock released, so that tests and the
    // control file can change the state meanwhile.
    void waitLatency(std::unique_lock<std::mutex>& lock, Call call);
    void refreshControlFileLocked();
    // In a replay: the next recorded call if it is `function` on `port`,
    // after its recorded duration times the latency scale; null otherwise.
    const RecordedCall* replayedLocked(std::unique_lock<std::mutex>& lock, const char* function,
                                       int port);

    std::mutex m_mutex;
    bool m_loaded = false;
    bool m_attached = false; // false after a malformed scenario
    Scenario m_scenario;
    char m_info[512] = {}; // stays at one address: info() hands it out
    std::set<int> m_openPorts;
    Clock::time_point m_start = Clock::now();
    std::int64_t m_offsetMs = 0;
    std::int64_t m_liftedPlacement = -1; // taken away by a fault until the next placement
    std::int64_t m_cardPlacement = -1;   // the placement last selected or read
    std::array<FaultState, kFaultCount> m_faults;
    std::int64_t m_vanishedUntilMs = -1;
    std::int64_t m_lastCallMs = 0;
    // Manual timeline: the control file's last content and its placement.
    std::string m_controlContent;
    bool m_controlSeen = false;
    int m_manualCard = -1;
    std::int64_t m_manualPlacement = 0;
    std::string m_badControlContent;
    // Playing a recording instead of the scenario's model.
    std::unique_ptr<Replay> m_replay;
    int m_replayPort = 0; // the port of the last call, for Wlt2Bmp
};

// The process's reader. Never destroyed: the tool does not join its reading
// thread, which may still be inside a call while the process exits.
VirtualReader& TheReader();

} // namespace termbsim

#pragma once
// A timing decorator around the reader library's function table: every call
// goes through to the library unchanged and is measured on the way. The
// console program learns from it how long each reader call took, what it
// answered, and which calls belong to the read pass that just ended, without
// the reading thread knowing about any of it.

#include <chrono>
#include <cstddef>
#include <map>
#include <vector>

#include "cli/duration_stats.h"
#include "reader/hosted_reader.h"
#include "reader/termb.h"
#include "reader/termb_functions.h"

struct TimedCall
{
    TermbFunction call;
    int result;
    double ms;
};

// The calls of the pass under way: the device discovery that opened the
// reader in this pass, if any, then find, select, read and photo. The removal
// wait's polls after the read are not kept here (they are in the totals).
struct PassCalls
{
    std::vector<TimedCall> calls;
    std::chrono::steady_clock::time_point start{};
    // The answer of the last call to `call` in this pass, or `fallback`.
    int result(TermbFunction call, int fallback = -1) const;
    bool has(TermbFunction call) const;
};

// A timing decorator of one reader's table: every call of api() goes to
// `inner`, timed. The table's entries are plain functions, which carry no
// context of their own, so each decorator takes one of kMaxTimedTables
// slots, whose functions find their records there; one per reader of a run.
class TimedTermb
{
public:
    // Throws std::length_error when every slot is taken.
    explicit TimedTermb(const TermbApi& inner);
    ~TimedTermb();
    TimedTermb(const TimedTermb&) = delete;
    TimedTermb& operator=(const TimedTermb&) = delete;

    // The timed table; its functions must not be called once this is gone.
    const TermbApi& api() const { return m_api; }

    // Starts a new pass now. Without it a pass begins at the first call of a
    // device discovery, or at a find not preceded by one, as the reading
    // thread's passes do.
    void beginPass();
    // The calls of the pass under way (see PassCalls).
    PassCalls currentPass() const;
    // Durations of every call since this was made, by function.
    std::map<TermbFunction, DurationStats> totals() const;

private:
    int m_slot = -1;
    TermbApi m_api;
};

// As many timed tables as readers may be hosted at once.
inline constexpr int kMaxTimedTables = kMaxHostedReaders;

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

// Makes every call of the returned table go to `inner`, timed. There is one
// timed table per process: the table's entries are plain functions, which
// carry no context of their own. Calling it again replaces the inner table
// and starts the records afresh.
TermbApi TimedTermbApi(const TermbApi& inner);

// Starts a new pass now. Without it a pass begins at the first call of a
// device discovery, or at a find not preceded by one, as the reading thread's
// passes do.
void BeginTimedPass();

// The calls of the pass under way (see PassCalls).
PassCalls CurrentPassCalls();

// Durations of every call since TimedTermbApi, by function.
std::map<TermbFunction, DurationStats> CallTotals();

#include "cli/timed_termb.h"

#include <mutex>

namespace {

using Clock = std::chrono::steady_clock;

// A search through many serial ports would make a pass of dozens of calls;
// the first ones tell enough.
constexpr std::size_t kMaxPassCalls = 32;

struct Records
{
    std::mutex mutex;
    TermbApi inner;
    PassCalls pass;
    bool newPassPending = true;
    bool havePrevious = false;
    TermbFunction previous = TermbFunction::OpenPort;
    std::map<TermbFunction, DurationStats> totals;
};

Records& records()
{
    static Records r;
    return r;
}

bool isDiscovery(TermbFunction call)
{
    return call == TermbFunction::ClosePort || call == TermbFunction::OpenPort ||
           call == TermbFunction::GetSAMIDToStr;
}

// Whether `call` opens a new pass: a discovery begins with a close unless it
// goes on trying candidates, and a read pass with a find unless the discovery
// of the same pass just opened the reader.
bool beginsPass(Records& r, TermbFunction call)
{
    if (r.newPassPending || !r.havePrevious)
        return true;
    if (call == TermbFunction::ClosePort)
        return !isDiscovery(r.previous);
    if (call == TermbFunction::StartFindIDCard)
        return r.previous != TermbFunction::GetSAMIDToStr;
    return false;
}

void record(TermbFunction call, Clock::time_point start, Clock::time_point end, int result)
{
    Records& r = records();
    const double ms = std::chrono::duration<double, std::milli>(end - start).count();
    std::lock_guard lock(r.mutex);
    r.totals[call].add(ms);
    if (beginsPass(r, call)) {
        r.pass.calls.clear();
        r.pass.start = start;
        r.newPassPending = false;
    }
    r.havePrevious = true;
    r.previous = call;
    if (call != TermbFunction::ReadNewAppMsg && r.pass.calls.size() < kMaxPassCalls)
        r.pass.calls.push_back({call, result, ms});
}

// Calls the inner table's entry and records how long it took. The inner
// table is copied once per process before any call, so reading it needs no lock.
template <typename Fn, typename... Args>
int timed(TermbFunction call, Fn TermbApi::*entry, Args... args)
{
    const Fn fn = records().inner.*entry;
    const Clock::time_point start = Clock::now();
    const int result = fn(args...);
    record(call, start, Clock::now(), result);
    return result;
}

// The trampolines carry the library's calling convention: on 32-bit Windows
// the reading thread calls them as stdcall functions.
int TERMB_CALL openPort(int port)
{
    return timed(TermbFunction::OpenPort, &TermbApi::SDT_OpenPort, port);
}
int TERMB_CALL closePort(int port)
{
    return timed(TermbFunction::ClosePort, &TermbApi::SDT_ClosePort, port);
}
int TERMB_CALL getSamId(int port, char* samId, int ifOpen)
{
    return timed(TermbFunction::GetSAMIDToStr, &TermbApi::SDT_GetSAMIDToStr, port, samId, ifOpen);
}
int TERMB_CALL startFind(int port, unsigned char* manage, int ifOpen)
{
    return timed(TermbFunction::StartFindIDCard, &TermbApi::SDT_StartFindIDCard, port, manage,
                 ifOpen);
}
int TERMB_CALL selectCard(int port, unsigned char* manage, int ifOpen)
{
    return timed(TermbFunction::SelectIDCard, &TermbApi::SDT_SelectIDCard, port, manage, ifOpen);
}
int TERMB_CALL readBase(int port, unsigned char* text, unsigned int* textLen, unsigned char* photo,
                        unsigned int* photoLen, int ifOpen)
{
    return timed(TermbFunction::ReadBaseMsg, &TermbApi::SDT_ReadBaseMsg, port, text, textLen, photo,
                 photoLen, ifOpen);
}
int TERMB_CALL readBaseFP(int port, unsigned char* text, unsigned int* textLen,
                          unsigned char* photo, unsigned int* photoLen, unsigned char* fingerprint,
                          int* fingerprintLen, int ifOpen)
{
    return timed(TermbFunction::ReadBaseFPMsg, &TermbApi::SDT_ReadBaseFPMsg, port, text, textLen,
                 photo, photoLen, fingerprint, fingerprintLen, ifOpen);
}
int TERMB_CALL readNewApp(int port, unsigned char* appMsg, unsigned int* len, int ifOpen)
{
    return timed(TermbFunction::ReadNewAppMsg, &TermbApi::SDT_ReadNewAppMsg, port, appMsg, len,
                 ifOpen);
}
int TERMB_CALL wlt2Bmp(unsigned char* wlt, unsigned char* bmp)
{
    return timed(TermbFunction::Wlt2Bmp, &TermbApi::Wlt2Bmp, wlt, bmp);
}

} // namespace

int PassCalls::result(TermbFunction call, int fallback) const
{
    for (auto it = calls.rbegin(); it != calls.rend(); ++it)
        if (it->call == call)
            return it->result;
    return fallback;
}

bool PassCalls::has(TermbFunction call) const
{
    for (const TimedCall& c : calls)
        if (c.call == call)
            return true;
    return false;
}

TermbApi TimedTermbApi(const TermbApi& inner)
{
    Records& r = records();
    {
        std::lock_guard lock(r.mutex);
        r.inner = inner;
        r.pass = {};
        r.newPassPending = true;
        r.havePrevious = false;
        r.totals.clear();
    }
    TermbApi api;
    api.SDT_OpenPort = openPort;
    api.SDT_ClosePort = closePort;
    api.SDT_GetSAMIDToStr = getSamId;
    api.SDT_StartFindIDCard = startFind;
    api.SDT_SelectIDCard = selectCard;
    api.SDT_ReadBaseMsg = readBase;
    api.SDT_ReadBaseFPMsg = readBaseFP;
    api.SDT_ReadNewAppMsg = readNewApp;
    api.Wlt2Bmp = wlt2Bmp;
    return api;
}

void BeginTimedPass()
{
    Records& r = records();
    std::lock_guard lock(r.mutex);
    r.newPassPending = true;
}

PassCalls CurrentPassCalls()
{
    Records& r = records();
    std::lock_guard lock(r.mutex);
    // A pass begun but without a call yet has no calls.
    return r.newPassPending ? PassCalls{} : r.pass;
}

std::map<TermbFunction, DurationStats> CallTotals()
{
    Records& r = records();
    std::lock_guard lock(r.mutex);
    return r.totals;
}

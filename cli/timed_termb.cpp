#include "cli/timed_termb.h"

#include <array>
#include <mutex>
#include <stdexcept>
#include <utility>

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

// The records of each slot; `used` says whether a TimedTermb holds it.
struct Slot
{
    Records records;
    bool used = false;
};

std::array<Slot, kMaxTimedTables> g_slots;
std::mutex g_slotsMutex;

template <int S> Records& records()
{
    return g_slots[S].records;
}

Records& recordsAt(int slot)
{
    return g_slots[std::size_t(slot)].records;
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

void record(Records& r, TermbFunction call, Clock::time_point start, Clock::time_point end,
            int result)
{
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
// table is set when the slot is taken, before any call, so reading it needs no lock.
template <int S, typename Fn, typename... Args>
int timed(TermbFunction call, Fn TermbApi::*entry, Args... args)
{
    Records& r = records<S>();
    const Fn fn = r.inner.*entry;
    const Clock::time_point start = Clock::now();
    const int result = fn(args...);
    record(r, call, start, Clock::now(), result);
    return result;
}

// The trampolines carry the library's calling convention: on 32-bit Windows
// the reading thread calls them as stdcall functions.
template <int S> int TERMB_CALL openPort(int port)
{
    return timed<S>(TermbFunction::OpenPort, &TermbApi::SDT_OpenPort, port);
}
template <int S> int TERMB_CALL closePort(int port)
{
    return timed<S>(TermbFunction::ClosePort, &TermbApi::SDT_ClosePort, port);
}
template <int S> int TERMB_CALL getSamId(int port, char* samId, int ifOpen)
{
    return timed<S>(TermbFunction::GetSAMIDToStr, &TermbApi::SDT_GetSAMIDToStr, port, samId,
                    ifOpen);
}
template <int S> int TERMB_CALL startFind(int port, unsigned char* manage, int ifOpen)
{
    return timed<S>(TermbFunction::StartFindIDCard, &TermbApi::SDT_StartFindIDCard, port, manage,
                    ifOpen);
}
template <int S> int TERMB_CALL selectCard(int port, unsigned char* manage, int ifOpen)
{
    return timed<S>(TermbFunction::SelectIDCard, &TermbApi::SDT_SelectIDCard, port, manage, ifOpen);
}
template <int S>
int TERMB_CALL readBase(int port, unsigned char* text, unsigned int* textLen, unsigned char* photo,
                        unsigned int* photoLen, int ifOpen)
{
    return timed<S>(TermbFunction::ReadBaseMsg, &TermbApi::SDT_ReadBaseMsg, port, text, textLen,
                    photo, photoLen, ifOpen);
}
template <int S>
int TERMB_CALL readBaseFP(int port, unsigned char* text, unsigned int* textLen,
                          unsigned char* photo, unsigned int* photoLen, unsigned char* fingerprint,
                          int* fingerprintLen, int ifOpen)
{
    return timed<S>(TermbFunction::ReadBaseFPMsg, &TermbApi::SDT_ReadBaseFPMsg, port, text, textLen,
                    photo, photoLen, fingerprint, fingerprintLen, ifOpen);
}
template <int S>
int TERMB_CALL readNewApp(int port, unsigned char* appMsg, unsigned int* len, int ifOpen)
{
    return timed<S>(TermbFunction::ReadNewAppMsg, &TermbApi::SDT_ReadNewAppMsg, port, appMsg, len,
                    ifOpen);
}
template <int S> int TERMB_CALL wlt2Bmp(unsigned char* wlt, unsigned char* bmp)
{
    return timed<S>(TermbFunction::Wlt2Bmp, &TermbApi::Wlt2Bmp, wlt, bmp);
}

template <int S> TermbApi timedApi()
{
    TermbApi api;
    api.SDT_OpenPort = openPort<S>;
    api.SDT_ClosePort = closePort<S>;
    api.SDT_GetSAMIDToStr = getSamId<S>;
    api.SDT_StartFindIDCard = startFind<S>;
    api.SDT_SelectIDCard = selectCard<S>;
    api.SDT_ReadBaseMsg = readBase<S>;
    api.SDT_ReadBaseFPMsg = readBaseFP<S>;
    api.SDT_ReadNewAppMsg = readNewApp<S>;
    api.Wlt2Bmp = wlt2Bmp<S>;
    return api;
}

template <std::size_t... S> TermbApi apiOfSlot(int slot, std::index_sequence<S...>)
{
    TermbApi api;
    ((slot == int(S) ? (api = timedApi<int(S)>(), 0) : 0), ...);
    return api;
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

TimedTermb::TimedTermb(const TermbApi& inner)
{
    {
        std::lock_guard lock(g_slotsMutex);
        for (int i = 0; i < kMaxTimedTables && m_slot < 0; ++i)
            if (!g_slots[std::size_t(i)].used) {
                g_slots[std::size_t(i)].used = true;
                m_slot = i;
            }
    }
    if (m_slot < 0)
        throw std::length_error("every timed reader table is in use");
    Records& r = recordsAt(m_slot);
    {
        std::lock_guard lock(r.mutex);
        r.inner = inner;
        r.pass = {};
        r.newPassPending = true;
        r.havePrevious = false;
        r.totals.clear();
    }
    m_api = apiOfSlot(m_slot, std::make_index_sequence<kMaxTimedTables>());
}

TimedTermb::~TimedTermb()
{
    std::lock_guard lock(g_slotsMutex);
    g_slots[std::size_t(m_slot)].used = false;
}

void TimedTermb::beginPass()
{
    Records& r = recordsAt(m_slot);
    std::lock_guard lock(r.mutex);
    r.newPassPending = true;
}

PassCalls TimedTermb::currentPass() const
{
    Records& r = recordsAt(m_slot);
    std::lock_guard lock(r.mutex);
    // A pass begun but without a call yet has no calls.
    return r.newPassPending ? PassCalls{} : r.pass;
}

std::map<TermbFunction, DurationStats> TimedTermb::totals() const
{
    Records& r = recordsAt(m_slot);
    std::lock_guard lock(r.mutex);
    return r.totals;
}

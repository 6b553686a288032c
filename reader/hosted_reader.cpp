#include "reader/hosted_reader.h"

#include <algorithm>
#include <array>
#include <mutex>
#include <utility>

#include "reader/call_recording.h"
#include "reader/host_process.h"

// One library's host, shared by its HostedReader and the calls under way: a
// call keeps it alive while the HostedReader goes, so the HostedReader never
// waits for a call.
struct HostedReaderState
{
    HostedReaderState(std::string p, std::string l, std::chrono::milliseconds t)
        : program(std::move(p)), library(std::move(l)), timeout(t)
    {
    }

    const std::string program;
    const std::string library;
    const std::chrono::milliseconds timeout;
    static constexpr std::chrono::milliseconds kStartAllowance{5000};

    std::mutex callMutex; // one call at a time, starting a host included
    // Under callMutex: the request's frame and the answer's payload, made
    // once with room for the largest, so that no call allocates.
    std::vector<unsigned char> request;
    std::vector<unsigned char> answer;
    // Guards what follows; never held while waiting for the host.
    mutable std::mutex mutex;
    std::shared_ptr<HostProcess> process;
    bool closed = false; // the HostedReader is gone
    std::optional<HostHello> hello;
    std::optional<ReaderHostFault> fault;

    std::shared_ptr<HostProcess> running() const
    {
        std::lock_guard lock(mutex);
        return process;
    }

    // Under callMutex. A host that fails to greet is ended here.
    std::shared_ptr<HostProcess> start(std::string& error)
    {
        std::shared_ptr<HostProcess> host = HostProcess::Start(program, library, error);
        if (!host)
            return nullptr;
        std::vector<unsigned char> payload;
        std::size_t size = 0;
        HostHello greeting;
        // Starting a program and loading a library take real time on a busy
        // machine, which is no fault of the library: the greeting gets at
        // least kStartAllowance, the call deadline when that is longer.
        const HostProcess::Io io = receiveFrame(
            *host, kMaxHostHelloPayload,
            HostProcess::Clock::now() + std::max(timeout, kStartAllowance), payload, size);
        if (io != HostProcess::Io::Ok || !DecodeHostHello(payload.data(), size, greeting)) {
            error = io == HostProcess::Io::TimedOut ? "the reader host did not answer in time"
                                                    : "the reader host ended before it answered";
            return nullptr;
        }
        std::lock_guard lock(mutex);
        if (closed)
            return nullptr;
        process = host;
        hello = std::move(greeting);
        return host;
    }

    // A frame's payload into the start of `payload`, `size` bytes; `payload`
    // grows as needed and never shrinks, so a reused one is not zero-filled
    // anew. A frame whose announced length exceeds `limit` counts as a broken
    // channel, as any other garbage does.
    static HostProcess::Io receiveFrame(HostProcess& host, std::size_t limit,
                                        HostProcess::Clock::time_point deadline,
                                        std::vector<unsigned char>& payload, std::size_t& size)
    {
        unsigned char header[kHostFrameHeaderSize];
        HostProcess::Io io = host.Receive(header, sizeof header, deadline);
        if (io != HostProcess::Io::Ok)
            return io;
        size = HostFramePayloadSize(header);
        if (size > limit)
            return HostProcess::Io::Closed;
        if (payload.size() < size)
            payload.resize(size);
        return host.Receive(payload.data(), size, deadline);
    }

    void fail(ReaderHostFault::Kind kind, TermbFunction function)
    {
        std::shared_ptr<HostProcess> ended;
        std::lock_guard lock(mutex);
        fault = ReaderHostFault{kind, function};
        // Destroyed on return, outside the lock: killed and reaped.
        ended = std::move(process);
    }

    // Makes `call` through the host; its buffers are the caller's, and the
    // answer is decoded into them. False, with the call untouched, when the
    // call failed through its host.
    bool forward(HostCall& call)
    {
        std::lock_guard serial(callMutex);
        std::shared_ptr<HostProcess> host = running();
        if (!host) {
            {
                std::lock_guard lock(mutex);
                if (closed)
                    return false;
            }
            std::string error;
            host = start(error);
            if (!host) {
                fail(ReaderHostFault::Kind::NotStarted, call.function);
                return false;
            }
        }
        if (answer.empty()) {
            request.reserve(kHostFrameHeaderSize + MaxHostFramePayload());
            answer.resize(MaxHostFramePayload());
        }
        const auto deadline = HostProcess::Clock::now() + timeout;
        EncodeHostRequest(call, request);
        HostProcess::Io io = host->Send(request.data(), request.size(), deadline);
        std::size_t size = 0;
        if (io == HostProcess::Io::Ok)
            io = receiveFrame(*host, MaxHostAnswerPayload(call.function), deadline, answer, size);
        if (io == HostProcess::Io::Ok && DecodeHostAnswer(answer.data(), size, call))
            return true;
        fail(io == HostProcess::Io::TimedOut ? ReaderHostFault::Kind::Hung
                                             : ReaderHostFault::Kind::Crashed,
             call.function);
        return false;
    }
};

namespace {

// The table's entries are plain function pointers, which carry no context.
// Each hosted reader therefore takes one of a fixed number of slots, and its
// table holds functions instantiated for that slot, which find their host
// there. A slot holds a shared pointer under its own lock, so a call that
// starts as the HostedReader goes either finds nothing (and answers as an
// absent reader) or keeps the host's state alive until it returns.
struct Slot
{
    std::mutex mutex;
    std::shared_ptr<HostedReaderState> state;
};
std::array<Slot, kMaxHostedReaders> g_slots;

std::shared_ptr<HostedReaderState> stateAt(int slot)
{
    std::lock_guard lock(g_slots[slot].mutex);
    return g_slots[slot].state;
}

const TermbApi& absent()
{
    static const TermbApi api = AbsentReaderApi();
    return api;
}

// Makes `call` through slot S's host, its answer decoded into the caller's
// buffers; false when it failed through its host or there is none.
template <int S> bool forward(HostCall& call)
{
    if (std::shared_ptr<HostedReaderState> state = stateAt(S))
        return state->forward(call);
    return false;
}

std::int32_t bits(unsigned value)
{
    return static_cast<std::int32_t>(value);
}

template <int S> int TERMB_CALL openPort(int port)
{
    HostCall call{TermbFunction::OpenPort, 0, {port}, {}};
    if (forward<S>(call))
        return call.result;
    return absent().SDT_OpenPort(port);
}

template <int S> int TERMB_CALL closePort(int port)
{
    HostCall call{TermbFunction::ClosePort, 0, {port}, {}};
    if (forward<S>(call))
        return call.result;
    return absent().SDT_ClosePort(port);
}

template <int S> int TERMB_CALL getSamId(int port, char* samId, int ifOpen)
{
    HostCall call{
        TermbFunction::GetSAMIDToStr, 0, {port, ifOpen}, {reinterpret_cast<unsigned char*>(samId)}};
    if (forward<S>(call))
        return call.result;
    return absent().SDT_GetSAMIDToStr(port, samId, ifOpen);
}

template <int S, TermbFunction F>
int TERMB_CALL manageCall(int port, unsigned char* manage, int ifOpen)
{
    HostCall call{F, 0, {port, ifOpen}, {manage}};
    if (forward<S>(call))
        return call.result;
    const TermbApi& none = absent();
    return (F == TermbFunction::StartFindIDCard ? none.SDT_StartFindIDCard
                                                : none.SDT_SelectIDCard)(port, manage, ifOpen);
}

template <int S>
int TERMB_CALL readBase(int port, unsigned char* text, unsigned* textLen, unsigned char* photo,
                        unsigned* photoLen, int ifOpen)
{
    HostCall call{TermbFunction::ReadBaseMsg,
                  0,
                  {port, bits(*textLen), bits(*photoLen), ifOpen},
                  {text, photo}};
    if (forward<S>(call)) {
        *textLen = static_cast<unsigned>(call.values[1]);
        *photoLen = static_cast<unsigned>(call.values[2]);
        return call.result;
    }
    return absent().SDT_ReadBaseMsg(port, text, textLen, photo, photoLen, ifOpen);
}

template <int S>
int TERMB_CALL readBaseFP(int port, unsigned char* text, unsigned* textLen, unsigned char* photo,
                          unsigned* photoLen, unsigned char* fp, int* fpLen, int ifOpen)
{
    HostCall call{TermbFunction::ReadBaseFPMsg,
                  0,
                  {port, bits(*textLen), bits(*photoLen), *fpLen, ifOpen},
                  {text, photo, fp}};
    if (forward<S>(call)) {
        *textLen = static_cast<unsigned>(call.values[1]);
        *photoLen = static_cast<unsigned>(call.values[2]);
        *fpLen = call.values[3];
        return call.result;
    }
    return absent().SDT_ReadBaseFPMsg(port, text, textLen, photo, photoLen, fp, fpLen, ifOpen);
}

template <int S> int TERMB_CALL readAppMsg(int port, unsigned char* msg, unsigned* len, int ifOpen)
{
    HostCall call{TermbFunction::ReadNewAppMsg, 0, {port, bits(*len), ifOpen}, {msg}};
    if (forward<S>(call)) {
        *len = static_cast<unsigned>(call.values[1]);
        return call.result;
    }
    return absent().SDT_ReadNewAppMsg(port, msg, len, ifOpen);
}

template <int S> int TERMB_CALL wlt2Bmp(unsigned char* wlt, unsigned char* bmp)
{
    HostCall call{TermbFunction::Wlt2Bmp, 0, {}, {wlt, bmp}};
    if (forward<S>(call))
        return call.result;
    return absent().Wlt2Bmp(wlt, bmp);
}

template <int S> TermbApi tableOf()
{
    TermbApi api;
    api.SDT_OpenPort = openPort<S>;
    api.SDT_ClosePort = closePort<S>;
    api.SDT_GetSAMIDToStr = getSamId<S>;
    api.SDT_StartFindIDCard = manageCall<S, TermbFunction::StartFindIDCard>;
    api.SDT_SelectIDCard = manageCall<S, TermbFunction::SelectIDCard>;
    api.SDT_ReadBaseMsg = readBase<S>;
    api.SDT_ReadBaseFPMsg = readBaseFP<S>;
    api.SDT_ReadNewAppMsg = readAppMsg<S>;
    api.Wlt2Bmp = wlt2Bmp<S>;
    return api;
}

template <std::size_t... I> std::array<TermbApi, sizeof...(I)> tablesFor(std::index_sequence<I...>)
{
    return {tableOf<static_cast<int>(I)>()...};
}

const std::array<TermbApi, kMaxHostedReaders>& tables()
{
    static const auto all = tablesFor(std::make_index_sequence<kMaxHostedReaders>{});
    return all;
}

} // namespace

HostedReader::HostedReader(std::string program, std::string library,
                           std::chrono::milliseconds callTimeout)
    : m_state(
          std::make_shared<HostedReaderState>(std::move(program), std::move(library), callTimeout)),
      m_api(AbsentReaderApi())
{
    for (int i = 0; i < kMaxHostedReaders; ++i) {
        std::lock_guard lock(g_slots[i].mutex);
        if (!g_slots[i].state) {
            g_slots[i].state = m_state;
            m_slot = i;
            m_api = tables()[i];
            return;
        }
    }
}

HostedReader::~HostedReader()
{
    if (m_slot >= 0) {
        std::lock_guard lock(g_slots[m_slot].mutex);
        g_slots[m_slot].state.reset();
    }
    std::lock_guard lock(m_state->mutex);
    m_state->closed = true;
    // A call under way returns at once; otherwise the last owner of the
    // state ends the host.
    if (m_state->process)
        m_state->process->Interrupt();
}

bool HostedReader::Start(std::string& error)
{
    if (m_slot < 0) {
        error = "too many reader hosts";
        return false;
    }
    std::lock_guard serial(m_state->callMutex);
    if (m_state->running())
        return true;
    return m_state->start(error) != nullptr;
}

std::optional<HostHello> HostedReader::Hello() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->hello;
}

std::optional<ReaderHostFault> HostedReader::TakeFault()
{
    std::lock_guard lock(m_state->mutex);
    return std::exchange(m_state->fault, std::nullopt);
}

long HostedReader::HostId() const
{
    const std::shared_ptr<HostProcess> host = m_state->running();
    return host ? host->Id() : 0;
}

std::optional<ReaderHostFault> TakeReaderHostFault(const TermbApi& table)
{
    // A recording of the hosted reader's calls fails as the hosted reader does.
    const TermbApi api = UnrecordedApi(table);
    for (int i = 0; i < kMaxHostedReaders; ++i) {
        if (tables()[i].SDT_OpenPort != api.SDT_OpenPort)
            continue;
        if (std::shared_ptr<HostedReaderState> state = stateAt(i)) {
            std::lock_guard lock(state->mutex);
            return std::exchange(state->fault, std::nullopt);
        }
    }
    return std::nullopt;
}

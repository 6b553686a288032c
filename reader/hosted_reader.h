#pragma once
// The reader library in a process of its own. A HostedReader starts the
// reader host for one library and gives a function table whose nine
// functions forward each call to that host: same calls, order, arguments,
// results and returned bytes as the library loaded in the tool's process.
// A host that dies during a call, answers garbage, or has not answered when
// the call's deadline passes is ended; the call fails as a reader that is not
// there would, the fault is recorded, and the next call starts a fresh host.
//
// On Linux the host is killed when the thread that started it ends (the
// kernel's parent-death signal follows the thread, not the process), so the
// thread that makes the calls, or one that outlives them, should start it:
// Start() and every call that finds no host start one on the calling thread.

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "reader/host_protocol.h"
#include "reader/termb.h"

struct ReaderHostFault
{
    enum class Kind {
        Crashed,    // the host died during the call or answered garbage
        Hung,       // the call's deadline passed
        NotStarted, // no host could be started for the call
    };
    Kind kind;
    TermbFunction function;
};

inline constexpr std::chrono::milliseconds kDefaultReaderCallTimeout{10000};

struct HostedReaderState;

class HostedReader
{
public:
    // `program` is the host executable, `library` the reader library it loads.
    // Nothing is started until Start() or the first call.
    HostedReader(std::string program, std::string library,
                 std::chrono::milliseconds callTimeout = kDefaultReaderCallTimeout);
    // Ends the host without waiting for a call under way on another thread:
    // that call fails at once. The table's functions then answer as a reader
    // that is not there.
    ~HostedReader();
    HostedReader(const HostedReader&) = delete;
    HostedReader& operator=(const HostedReader&) = delete;

    // Starts the host now and waits for it to say how loading the library
    // went: at most the call deadline, but never less than 5 s, since starting
    // a program on a busy machine is slow through no fault of the library.
    // A call that finds no host running starts one the same way. False, with the reason in `error`,
    // when no host is running afterwards.
    bool Start(std::string& error);
    // What the host said of the library when it last started.
    std::optional<HostHello> Hello() const;

    // The forwarding table. Valid while this object lives, and harmless after.
    // Its callers pass buffers of the sizes the reading thread passes (the
    // sizes in termb.h, kHostSamIdSize, kHostFingerprintSize): each buffer is
    // sent and given back whole.
    const TermbApi& Api() const { return m_api; }

    // The fault of the last call that failed through its host, cleared by
    // taking it; none while every call went through.
    std::optional<ReaderHostFault> TakeFault();

    // The running host's process id, or 0 when none runs; for tests.
    long HostId() const;

private:
    std::shared_ptr<HostedReaderState> m_state;
    int m_slot = -1;
    TermbApi m_api;
};

// The fault recorded for the hosted reader whose table `api` is (see
// HostedReader::TakeFault), also through a table that records its calls;
// none for any other table. Lets the holder of the
// table alone, such as the reading thread, learn why a call failed.
std::optional<ReaderHostFault> TakeReaderHostFault(const TermbApi& api);

// How many hosted readers may live at once in one process.
inline constexpr int kMaxHostedReaders = 8;

#pragma once
// The reading thread: the only part of the tool that talks to the card reader.
// It watches ReadMode in the shared reader state, makes sure a reader is open,
// reads cards, writes the photo files and reports every change of state as a
// status code through its synchronous status target.

#include <functional>
#include <memory>

#include "reader/termb.h"
#include "state/shared_state.h"

// The private window message that carries a status (WM_USER + 112).
inline constexpr unsigned WM_READSTATE = 0x0400 + 112;

// Status codes. 5 is not used.
inline constexpr int RS_DEVICE_FOUND = 1; // a reader opened and gave its security-module number
inline constexpr int RS_NO_DEVICE = 2;    // the first port tried did not answer
inline constexpr int RS_CARD_READ = 3;    // a card was read and decoded: CardInfo, CardKindInfo
inline constexpr int RS_CARD_LOST = 4;    // the read failed, or the card left the reader
inline constexpr int RS_NO_CARD = 6;      // continuous reading found no card after one was handled
// A call into a hosted reader library crashed its host or overran its
// deadline (its name in ReaderFaultFunction): the pass ends, the reader
// counts as not found, and the next pass starts a fresh host.
inline constexpr int RS_LIBRARY_CRASHED = 7;
inline constexpr int RS_LIBRARY_HUNG = 8;

class TReadThread
{
public:
    // Receives each status and returns only once the main window has handled
    // it; the thread relies on that to hand over CardInfo, CardKindInfo and SamIdStr.
    using StatusFn = std::function<void(int status)>;
    using SleepFn = std::function<void(int milliseconds)>;

    // Created suspended. Without a sleep function the thread really sleeps.
    // The thread works on `state` (a reader's port, mode, card and photo
    // files), which must outlive it; the windowed programs' one reader is
    // MainReaderState, the process-wide names.
    explicit TReadThread(const TermbApi& api, SleepFn sleep = {},
                         ReaderState& state = MainReaderState);
    // Never blocks for long and never aborts the process, even while a reader
    // call is still running: the worker keeps what it needs alive itself.
    ~TReadThread();
    TReadThread(const TReadThread&) = delete;
    TReadThread& operator=(const TReadThread&) = delete;

    // The status target; set once before Resume(), never changed.
    StatusFn OwnerWnd;

    // When the table given at creation wraps a hosted reader's table (to
    // time its calls, say): the hosted table, whose faults end a pass. Set
    // before Resume() or the first pass.
    void FaultsOf(const TermbApi& hosted);

    void Resume();    // starts the thread body on its own thread
    void Terminate(); // asks the body to end at its next test
    // Waits at most `milliseconds` for the thread body started by Resume() to
    // return; true once it has. Never needed by the program, which does not
    // wait for the thread; lets tests see the body's writes safely.
    bool WaitFor(int milliseconds) const;

    // The thread body and its two steps, run on the calling thread: for tests,
    // and for a driver that makes the passes itself (the console program's
    // single and repeated reads). Never together with Resume(): once the
    // thread was resumed they do nothing (CheckDevice answers false), so two
    // threads never call the reader at once.
    void Execute();
    bool CheckDevice();
    void ReadCard();

private:
    // True when the body may run on the calling thread (Resume() was not
    // called); takes the status target for it.
    bool runsHere();

    struct Worker;
    std::shared_ptr<Worker> m_worker;
};

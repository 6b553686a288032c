#include "reader/read_thread.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <mutex>
#include <thread>

#include "base/diagnostics.h"
#include "base/files.h"
#include "base/text.h"
#include "card/card_info.h"
#include "card/card_kinds.h"
#include "reader/hosted_reader.h"
#include "reader/photo_files.h"
#include "reader/serial_ports.h"
#include "state/shared_state.h"

namespace {

// A pause at or above this is not made at all: the settings dialog takes at
// most three digits, and a larger value in the file means "no pause".
constexpr int kMaxReadSleep = 1000;
// How often the idle thread looks at ReadMode; also the shortest time from
// one pass to the next when no pause is set.
constexpr int kIdleTickMs = 50;

using Clock = std::chrono::steady_clock;

// Security-module numbers of readers whose module delivers no fingerprint
// data; they get the read call without fingerprint.
bool samWithoutFingerprint(const std::string& samId)
{
    return samId.rfind("5-1", 0) == 0 || samId.rfind("5-2", 0) == 0;
}

// A call that crashed or hung its reader host; ends the pass it happened in.
struct LibraryFault
{
    ReaderHostFault fault;
};

} // namespace

// Everything the thread body needs. The running thread co-owns it, so the
// TReadThread object may go while a reader call still blocks; the body then
// ends at its next test and the last owner frees this.
struct TReadThread::Worker
{
    Worker(const TermbApi& a, SleepFn s, ReaderState& r)
        : api(a), faultApi(a), sleep(std::move(s)), state(r)
    {
        if (!sleep)
            sleep = [](int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); };
    }

    const TermbApi api;
    TermbApi faultApi; // the table whose host's faults end a pass
    SleepFn sleep;
    ReaderState& state; // this reader's share of the state; outlives the thread
    StatusFn status;    // a copy of OwnerWnd taken when the body starts

    std::atomic<bool> terminated{false};
    // The owning object is gone: its status target may be gone too.
    std::atomic<bool> orphaned{false};

    mutable std::mutex doneMutex;
    mutable std::condition_variable doneChanged;
    bool started = false;
    bool done = false;

    void send(int code);
    void checkHost();
    int checked(int result, int ok);
    void reportFault(const LibraryFault& f);
    template <typename Step> auto guarded(Step step);
    bool tryPort(int port);
    void execute();
    bool checkDevice();
    void readCard();
    void savePhoto(unsigned char* photo, unsigned photoLen);
    void waitForRemoval(int port, unsigned char* text, unsigned& textLen);
};

// Statuses go to the main window and return once it has handled them. A
// target that is gone or fails loses the status, as a message to a window
// that no longer exists would; the thread goes on.
void TReadThread::Worker::send(int code)
{
    if (orphaned || !status)
        return;
    try {
        status(code);
    } catch (const std::exception& e) {
        ReportDiagnostic(DiagArea::Status, std::string("status ") + std::to_string(code) +
                                               " not delivered: " + e.what());
    } catch (...) {
        ReportDiagnostic(DiagArea::Status, "status " + std::to_string(code) + " not delivered");
    }
}

// A failed call may have failed through the reader host: a crash or an
// overrun deadline ends the pass at once, before another call would start
// a fresh host halfway through it. A host that could not start is no fault
// of the library; the call then failed as an absent reader's does.
void TReadThread::Worker::checkHost()
{
    if (std::optional<ReaderHostFault> fault = TakeReaderHostFault(faultApi);
        fault && fault->kind != ReaderHostFault::Kind::NotStarted)
        throw LibraryFault{*fault};
}

int TReadThread::Worker::checked(int result, int ok)
{
    if (result != ok)
        checkHost();
    return result;
}

// The reader counts as not found, so the next pass opens it anew, in a
// fresh host; in continuous reading that pass follows by itself.
void TReadThread::Worker::reportFault(const LibraryFault& f)
{
    state.deviceOk = false;
    state.readerFaultFunction = TermbFunctionName(f.fault.function);
    send(f.fault.kind == ReaderHostFault::Kind::Hung ? RS_LIBRARY_HUNG : RS_LIBRARY_CRASHED);
}

// Runs a step of a pass; a library fault in it is reported, and the step
// gives its type's default (false: no reader).
template <typename Step> auto TReadThread::Worker::guarded(Step step)
{
    try {
        return step();
    } catch (const LibraryFault& f) {
        reportFault(f);
        return decltype(step())();
    }
}

// A port answers when it opens anew and gives its security-module number.
// The close first drops whatever state an earlier open left behind.
bool TReadThread::Worker::tryPort(int port)
{
    // What closing answers is not examined; only a host fault counts.
    api.SDT_ClosePort(port);
    checkHost();
    if (checked(api.SDT_OpenPort(port), kTermbOk) != kTermbOk)
        return false;
    if (checked(api.SDT_GetSAMIDToStr(port, state.samIdStr, 0), kTermbOk) == kTermbOk)
        return true;
    // The port opened but no reader answered on it (another device, or a
    // reader not ready): give it back, so other programs can use it.
    api.SDT_ClosePort(port);
    checkHost();
    return false;
}

void TReadThread::Worker::execute()
{
    while (!terminated) {
        // Every start of reading begins with device discovery.
        state.deviceOk = false;
        state.cardHandled = false;
        Clock::time_point lastPass{};
        bool passed = false;
        std::int32_t reading = 0; // the stop count this reading began under
        while (!terminated) {
            // The mode and the stop count it belongs to, read as one pair: a
            // stop clears the mode first and counts itself later, so a count
            // that did not change around the mode is the mode's own.
            int stops;
            int mode;
            do {
                stops = StopCount;
                mode = state.readMode;
            } while (stops != StopCount);
            if (mode != kReadOnce && mode != kReadContinuous)
                break;
            // Stopped and started again while the last pass ran, so the mode
            // never looked idle here: that reading is over all the same, and
            // the new one begins like every other, after the idle reset.
            if (passed && stops != reading)
                break;
            reading = stops;
            const int pause = ReadSleep;
            if (pause > 0 && pause < kMaxReadSleep) {
                sleep(pause);
            } else if (passed) {
                // Without a pause, passes still never follow each other faster
                // than the idle tick: a reader that fails at once (none
                // attached, no library) would otherwise keep a core busy. A
                // working reader's calls take longer than that anyway.
                const auto since =
                    std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - lastPass)
                        .count();
                if (since < kIdleTickMs)
                    sleep(static_cast<int>(kIdleTickMs - since));
            }
            lastPass = Clock::now();
            passed = true;
            state.passStopCount = stops;
            // Nothing in a pass may end the thread: a pass that fails in an
            // unforeseen way is simply over, and the next one starts afresh.
            try {
                if (checkDevice() && state.deviceOk)
                    readCard();
            } catch (const LibraryFault& f) {
                reportFault(f);
            } catch (const std::exception& e) {
                ReportDiagnostic(DiagArea::ReadPass, std::string("pass ended: ") + e.what());
            } catch (...) {
                ReportDiagnostic(DiagArea::ReadPass, "pass ended by an unforeseen error");
            }
            // A single read is one pass whatever its outcome. Only a pass
            // begun as a single read ends it, and only 1 becomes 0: a single
            // read asked for while a pass of continuous reading was still
            // running gets a pass of its own, and a switch to continuous
            // reading meanwhile is kept.
            int once = kReadOnce;
            if (mode == kReadOnce)
                state.readMode.compare_exchange_strong(once, kReadIdle);
        }
        sleep(kIdleTickMs);
    }
}

bool TReadThread::Worker::checkDevice()
{
    if (state.deviceOk)
        return true;

    // One look at the setting for the whole discovery, so a change made
    // meanwhile takes effect at the next one instead of halfway.
    const int fixedPort = state.setPortNo;
    if (fixedPort != kAutoPort)
        state.portNo = fixedPort;

    // The last working port stays in portNo and is tried first.
    const int firstPort = state.portNo;
    int found = firstPort;
    if (!tryPort(firstPort)) {
        state.deviceOk = false;
        send(RS_NO_DEVICE);
        if (fixedPort != kAutoPort)
            return false;
        // The candidates: USB, then the serial ports in the system's order.
        // Listed only now that they are needed: reading the system's port
        // list costs more than the rest of a pass that finds no card.
        std::vector<std::string> candidates;
        ListSerialPortNumbers(candidates);
        candidates.insert(candidates.begin(), std::to_string(kUsbPort));
        found = 0;
        for (const std::string& candidate : candidates) {
            std::int32_t port = 0;
            // Names of another form than COM<n> leave no usable number.
            if (!ParseInt32(candidate, port) || port <= 0 || port == firstPort)
                continue;
            if (tryPort(port)) {
                found = port;
                break;
            }
        }
        if (found == 0)
            return false;
    }
    if (!state.deviceOk) {
        state.portNo = found;
        state.deviceOk = true;
        send(RS_DEVICE_FOUND);
    }
    return true;
}

void TReadThread::Worker::readCard()
{
    unsigned char manage[kManageBufferSize] = {};
    unsigned char text[kTextBufferSize] = {};
    unsigned char photo[kPhotoBufferSize] = {};
    unsigned textLen = 0;
    unsigned photoLen = 0;
    const int port = state.portNo;

    const int findResult = checked(api.SDT_StartFindIDCard(port, manage, 0), kTermbCardFound);
    if (findResult != kTermbCardFound) {
        if (IsPortFailure(findResult)) {
            state.deviceOk = false;
            return;
        }
        // After a card was handled and the main window cleared its display,
        // continuous reading reports the empty reader and leaves the port
        // alone. Otherwise the select below decides.
        if (state.readMode != kReadOnce && state.lastIdCardNo.empty() && state.cardHandled) {
            send(RS_NO_CARD);
            return;
        }
    }

    state.deviceOk = true;
    const int selectResult = checked(api.SDT_SelectIDCard(port, manage, 0), kTermbOk);
    if (selectResult != kTermbOk && selectResult != kTermbSelectedAlt) {
        state.deviceOk = false;
        return;
    }

    state.deviceOk = true;
    state.cardHandled = true;
    std::memset(&state.cardInfo, 0, sizeof state.cardInfo);
    std::memset(&state.cardKindInfo, 0, sizeof state.cardKindInfo);
    state.cardPhoto.length = 0;

    int readResult;
    if (samWithoutFingerprint(state.samIdText())) {
        readResult = api.SDT_ReadBaseMsg(port, text, &textLen, photo, &photoLen, 0);
    } else {
        state.cardInfo.FingerprintLength = kFingerprintSize;
        readResult = api.SDT_ReadBaseFPMsg(port, text, &textLen, photo, &photoLen,
                                           state.cardInfo.FingerprintData,
                                           &state.cardInfo.FingerprintLength, 0);
    }
    if (checked(readResult, kTermbOk) != kTermbOk) {
        send(RS_CARD_LOST);
        state.deviceOk = false;
        return;
    }

    state.cardHandled = true;
    state.lastIdCardNo.clear();
    // The identity card's record as always, and the same base text by its
    // kind mark: the card view shows cardInfo for an identity card and the
    // kind's own record for the others.
    DecodeBaseTextInto(state.cardInfo, text);
    DecodeCardKind(text, state.cardKindInfo);
    savePhoto(photo, photoLen);
    // The card's number for every kind; for an identity card the very ID
    // number of cardInfo (the same field by the same rules).
    state.lastIdCardNo = CardNumberText(state.cardKindInfo);
    send(RS_CARD_READ);
    waitForRemoval(port, text, textLen);
}

// Continuous reading polls back to back while the card lies on the reader and
// returns once it is gone, the reader fails, or reading stops. The mode is
// tested before every poll, so stopping ends the wait at once. Only the
// reading this pass began under waits: after a stop and a new start during
// the pass, the mode is continuous again, but the card belongs to the new
// reading, whose own pass reads and shows it. The polls reuse the read's
// text buffer and its length.
void TReadThread::Worker::waitForRemoval(int port, unsigned char* text, unsigned& textLen)
{
    // Written by this thread alone, when the pass began.
    const std::int32_t reading = state.passStopCount;
    // The mode before the count: a start after a stop is made only once the
    // stop was counted, so a continuous mode of the new reading is always
    // seen with the new count.
    while (!terminated && state.readMode == kReadContinuous && StopCount == reading &&
           state.deviceOk) {
        int result = checked(api.SDT_ReadNewAppMsg(port, text, &textLen, 0), kTermbOk);
        if (result == kTermbCardGone) {
            send(RS_CARD_LOST);
            return;
        }
        // A single odd answer may be a glitch; the second one counts.
        if (result != kTermbOk && result != kTermbAppMsgNone)
            result = checked(api.SDT_ReadNewAppMsg(port, text, &textLen, 0), kTermbOk);
        if (IsPortFailure(result)) {
            state.cardHandled = false;
            state.deviceOk = false;
            return;
        }
        if (result != kTermbOk && result != kTermbAppMsgNone) {
            send(RS_CARD_LOST);
            return;
        }
    }
}

// Writes the card's photo beside the executable: the compressed bytes as
// read, and the bitmap the card view shows. Done for every card, so the view
// never shows an earlier card's photo; when no bitmap comes out of this
// card's photo, the earlier bitmap goes too.
void TReadThread::Worker::savePhoto(unsigned char* photo, unsigned photoLen)
{
    // A length beyond the buffer cannot be true; never write past it.
    photoLen = std::min(photoLen, kPhotoBufferSize);
    SaveBufToFile(PhotoWltPath(state.photoTag), photo, photoLen);
    // The bitmap is made straight into the record the card view shows, so
    // the view never depends on the file (which may be an earlier card's when
    // it cannot be written). Zeroed first: a converter that claims success
    // without writing leaves no earlier card's pixels or stray memory behind,
    // only bytes that are no bitmap at all.
    std::memset(state.cardPhoto.bitmap, 0, sizeof state.cardPhoto.bitmap);
    state.cardPhoto.length = 0;
    if (checked(api.Wlt2Bmp(photo, state.cardPhoto.bitmap), kTermbBitmapSize) == kTermbBitmapSize) {
        state.cardPhoto.length = kTermbBitmapSize;
        SaveBufToFile(PhotoBmpPath(state.photoTag), state.cardPhoto.bitmap, kTermbBitmapSize);
    } else {
        RemoveFileUtf8(PhotoBmpPath(state.photoTag));
    }
}

TReadThread::TReadThread(const TermbApi& api, SleepFn sleep, ReaderState& state)
    : m_worker(std::make_shared<Worker>(api, std::move(sleep), state))
{
}

TReadThread::~TReadThread()
{
    // The body may be blocked in a reader call; it is not waited for. It
    // notices the flag at its next test and sends nothing more.
    m_worker->orphaned = true;
    m_worker->terminated = true;
}

void TReadThread::FaultsOf(const TermbApi& hosted)
{
    m_worker->faultApi = hosted;
}

void TReadThread::Resume()
{
    {
        std::lock_guard lock(m_worker->doneMutex);
        if (m_worker->started)
            return;
        m_worker->started = true;
    }
    m_worker->status = OwnerWnd;
    // Detached: the thread must never keep the process from ending, and the
    // object must be able to go without joining a thread stuck in a call.
    std::thread([worker = m_worker] {
        try {
            worker->execute();
        } catch (...) {
        }
        std::lock_guard lock(worker->doneMutex);
        worker->done = true;
        worker->doneChanged.notify_all();
    }).detach();
}

void TReadThread::Terminate()
{
    m_worker->terminated = true;
}

bool TReadThread::WaitFor(int milliseconds) const
{
    std::unique_lock lock(m_worker->doneMutex);
    return m_worker->doneChanged.wait_for(lock, std::chrono::milliseconds(milliseconds),
                                          [this] { return m_worker->done; });
}

bool TReadThread::runsHere()
{
    std::lock_guard lock(m_worker->doneMutex);
    if (m_worker->started)
        return false;
    m_worker->status = OwnerWnd;
    return true;
}

void TReadThread::Execute()
{
    if (runsHere())
        m_worker->execute();
}

bool TReadThread::CheckDevice()
{
    return runsHere() && m_worker->guarded([this] { return m_worker->checkDevice(); });
}

void TReadThread::ReadCard()
{
    if (runsHere())
        m_worker->guarded([this] { m_worker->readCard(); });
}

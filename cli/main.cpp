// zuviruzozozad-cli: reader checks without a window. The same reader library
// search, device discovery and read pass as the window (the reading thread
// itself), for production lines and burn-in racks that script their tests.

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <mutex>
#include <thread>

#include "base/exe_dir.h"
#include "base/files.h"
#include "card/gbk.h"
#include "cli/options.h"
#include "cli/report.h"
#include "cli/timed_termb.h"
#include "config/config.h"
#include "reader/dynlib.h"
#include "reader/photo_files.h"
#include "reader/read_thread.h"
#include "reader/termb_loader.h"
#include "state/settings.h"
#include "state/shared_state.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kExitOk = 0;
constexpr int kExitNoReader = 2;
constexpr int kExitNoCard = 3;
constexpr int kExitNoLibrary = 4;
constexpr int kExitUsage = 64;

constexpr const char* kProgram = "zuviruzozozad-cli";

// A run ends early once this is set: Ctrl-C, SIGTERM, or closing the console.
std::atomic<bool> g_stop{false};

#ifdef _WIN32
BOOL WINAPI onConsoleEvent(DWORD)
{
    g_stop = true;
    return TRUE;
}

void catchInterrupts()
{
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

bool isTerminal(std::FILE* file)
{
    return _isatty(_fileno(file)) != 0;
}
#else
extern "C" void onSignal(int)
{
    g_stop = true;
}

void catchInterrupts()
{
    struct sigaction action = {};
    action.sa_handler = onSignal;
    // A second Ctrl-C ends the program at once, even inside a reader call
    // that does not return.
    action.sa_flags = SA_RESETHAND | SA_RESTART;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool isTerminal(std::FILE* file)
{
    return isatty(fileno(file)) != 0;
}
#endif

double secondsSince(Clock::time_point t0)
{
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

bool isBaseRead(TermbCall call)
{
    return call == TermbCall::ReadBaseMsg || call == TermbCall::ReadBaseFPMsg;
}

// Why a discovery found no reader: the open's answer, or the security-module
// query's when the port opened.
Failure noReaderFailure(const PassCalls& pass)
{
    const int open = pass.result(TermbCall::OpenPort);
    if (open != kTermbOk || !pass.has(TermbCall::GetSAMIDToStr))
        return {FailureKind::NoReader, open, TermbCallName(TermbCall::OpenPort), {}};
    return {FailureKind::NoReader,
            pass.result(TermbCall::GetSAMIDToStr),
            TermbCallName(TermbCall::GetSAMIDToStr),
            {}};
}

std::string existingFile(const std::string& path)
{
    return PathExistsUtf8(path) ? path : std::string();
}

// One run: the statuses of the reading thread become events, counted for the
// summary. Statuses arrive on whichever thread runs the reading thread's
// passes; everything here is under one lock.
class Session
{
public:
    Session(const Options& options, const TermbLibrary& library, Report& report)
        : m_options(options), m_library(library), m_report(report)
    {
    }

    // The status target: handles each status as the main window does for the
    // reading thread (a repeated status changes nothing; every status but a
    // card read clears the last card's number), then reports it.
    void onStatus(int status);

    void runPasses(TReadThread& thread, int passes);
    void runContinuous(TReadThread& thread);
    int finish();

private:
    void fail(const Failure& failure);
    void showProgress();
    bool continuous() const { return m_options.mode == RunMode::Continuous; }

    const Options& m_options;
    const TermbLibrary& m_library;
    Report& m_report;
    std::mutex m_mutex;
    bool m_closed = false;
    Clock::time_point m_start = Clock::now();
    Clock::time_point m_lastProgress = m_start;

    bool m_readerFound = false;
    bool m_passCard = false;       // the pass under way read a card
    bool m_passReadFailed = false; // ... or failed to read one
    bool m_photoWarned = false;
    std::uint64_t m_passes = 0;
    std::uint64_t m_cards = 0;
    std::uint64_t m_failures[kFailureKindCount] = {};
    DurationStats m_passStats;
};

void Session::fail(const Failure& failure)
{
    ++m_failures[int(failure.kind)];
    m_report.failure(failure);
}

void Session::onStatus(int status)
{
    std::lock_guard lock(m_mutex);
    if (m_closed)
        return;
    const bool repeated = LastMsgCode.exchange(status) == status;
    if (status != RS_CARD_READ)
        LastIDCardNo.clear();
    const PassCalls pass = CurrentPassCalls();
    switch (status) {
    case RS_DEVICE_FOUND:
        m_readerFound = true;
        if (!repeated)
            m_report.device(PortNo, GbkToUtf8(SamIdText()), m_library.isVirtual);
        break;
    case RS_NO_DEVICE:
        // A single pass knows at its end whether the search found a reader
        // after all; continuous reading reports the port as the window does.
        if (continuous() && !repeated)
            fail(noReaderFailure(pass));
        break;
    case RS_CARD_READ: {
        ++m_cards;
        m_passCard = true;
        CardRead card;
        card.number = int(m_cards);
        card.port = PortNo;
        card.record = &CardInfo;
        card.kind = &CardKindInfo;
        card.wltPath = existingFile(PhotoWltPath());
        card.bmpPath = existingFile(PhotoBmpPath());
        card.pass = pass;
        card.readMs = std::chrono::duration<double, std::milli>(Clock::now() - pass.start).count();
        if (continuous())
            m_passStats.add(card.readMs);
        m_report.card(card);
        if (card.wltPath.empty() && !m_photoWarned) {
            m_photoWarned = true;
            std::fprintf(stderr,
                         "%s: the photo files could not be written in %s; run a copy of the "
                         "program from a directory you can write to\n",
                         kProgram, ExeDir().c_str());
        }
        break;
    }
    case RS_CARD_LOST:
        // The read call failed in this pass, or the card left the reader
        // during the removal wait.
        if (!pass.calls.empty() && isBaseRead(pass.calls.back().call) &&
            pass.calls.back().result != kTermbOk) {
            m_passReadFailed = true;
            fail({FailureKind::ReadFailed,
                  pass.calls.back().result,
                  TermbCallName(pass.calls.back().call),
                  {}});
        } else {
            m_report.cardGone();
        }
        break;
    default: // RS_NO_CARD: the reader is empty, as after the card went
        break;
    }
}

void Session::showProgress()
{
    const Clock::time_point now = Clock::now();
    if (now - m_lastProgress < std::chrono::milliseconds(250))
        return;
    m_lastProgress = now;
    std::uint64_t failed = 0;
    for (const std::uint64_t n : m_failures)
        failed += n;
    std::string text = std::to_string(int(secondsSince(m_start))) + " s: ";
    if (m_options.mode == RunMode::Repeat)
        text +=
            "pass " + std::to_string(m_passes) + " of " + std::to_string(m_options.repeat) + ", ";
    text += std::to_string(m_cards) + " cards, " + std::to_string(failed) + " failures";
    m_report.progress(text);
}

// Single passes back to back, as the window's single read makes them: the
// discovery (nothing more when the reader is open already), then the read
// pass, which in single-read mode ends once the card is read.
void Session::runPasses(TReadThread& thread, int passes)
{
    for (int i = 0; i < passes && !g_stop; ++i) {
        {
            std::lock_guard lock(m_mutex);
            m_passCard = false;
            m_passReadFailed = false;
        }
        // Each pass reports its statuses afresh, as the single-read button does.
        LastMsgCode = 0;
        ReadMode = kReadOnce;
        BeginTimedPass();
        const Clock::time_point t0 = Clock::now();
        const bool open = thread.CheckDevice() && DeviceOK;
        if (open)
            thread.ReadCard();
        ReadMode = kReadIdle;
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();

        std::lock_guard lock(m_mutex);
        ++m_passes;
        m_passStats.add(ms);
        const PassCalls pass = CurrentPassCalls();
        if (!open) {
            fail(noReaderFailure(pass));
        } else if (!m_passCard && !m_passReadFailed) {
            // The find's port failure, or the select that found no card.
            const int find = pass.result(TermbCall::StartFindIDCard);
            if (IsPortFailure(find))
                fail(
                    {FailureKind::PortFailed, find, TermbCallName(TermbCall::StartFindIDCard), {}});
            else
                fail({FailureKind::NoCard,
                      pass.result(TermbCall::SelectIDCard),
                      TermbCallName(TermbCall::SelectIDCard),
                      {}});
        }
        if (m_options.mode == RunMode::Repeat)
            showProgress();
    }
}

// The reading thread's own continuous reading, until interrupted or the
// duration is over.
void Session::runContinuous(TReadThread& thread)
{
    LastMsgCode = 0;
    ReadMode = kReadContinuous;
    thread.Resume();
    const bool timed = m_options.durationSeconds > 0;
    const Clock::time_point end =
        m_start + std::chrono::duration_cast<Clock::duration>(
                      std::chrono::duration<double>(m_options.durationSeconds));
    while (!g_stop && (!timed || Clock::now() < end)) {
        Clock::duration tick = std::chrono::milliseconds(20);
        if (timed)
            tick = std::min(tick, end - Clock::now());
        std::this_thread::sleep_for(tick);
        std::lock_guard lock(m_mutex);
        showProgress();
    }
    ReadMode = kReadIdle;
    thread.Terminate();
}

// Ends the run: no status is reported after this. Prints the summary and
// the one line on standard error that a failed run owes; returns the exit code.
int Session::finish()
{
    std::lock_guard lock(m_mutex);
    m_closed = true;

    RunSummary s;
    s.mode = m_options.mode == RunMode::Once     ? "once"
             : m_options.mode == RunMode::Repeat ? "repeat"
                                                 : "continuous";
    s.cards = m_cards;
    std::copy(std::begin(m_failures), std::end(m_failures), std::begin(s.failures));
    s.interrupted = g_stop;
    s.elapsedSeconds = secondsSince(m_start);
    s.pass = m_passStats.summary();
    for (const auto& [call, stats] : CallTotals())
        s.calls[call] = stats.summary();
    // Continuous reading counts its read passes by their finds.
    s.passes = continuous() ? s.calls[TermbCall::StartFindIDCard].count : m_passes;
    if (s.calls[TermbCall::StartFindIDCard].count == 0)
        s.calls.erase(TermbCall::StartFindIDCard);

    std::uint64_t failed = 0;
    for (const std::uint64_t n : m_failures)
        failed += n;
    const std::uint64_t readFailures = m_failures[int(FailureKind::ReadFailed)];
    const bool nothingRun = s.passes == 0 && s.interrupted;
    if (!m_readerFound && !nothingRun) {
        s.exitCode = kExitNoReader;
        const int fixedPort = SetPortNo;
        std::fprintf(stderr,
                     "%s: no reader found (%s); connect the reader, check --port or %s in "
                     "%s, and that you may use the port\n",
                     kProgram,
                     fixedPort == kAutoPort ? "searched USB and every serial port"
                                            : ("fixed port " + PortName(fixedPort)).c_str(),
                     kPortKey, ConfigFilePath().c_str());
    } else if (continuous() ? readFailures > 0 : failed > 0) {
        s.exitCode = kExitNoCard;
        if (readFailures > 0)
            std::fprintf(stderr,
                         "%s: %llu card read(s) failed; keep the card still on the reader and "
                         "try again\n",
                         kProgram, static_cast<unsigned long long>(readFailures));
        else
            std::fprintf(stderr,
                         "%s: no card read in %llu of %llu passes; place a card on the "
                         "reader and try again\n",
                         kProgram, static_cast<unsigned long long>(failed),
                         static_cast<unsigned long long>(s.passes));
    }
    m_report.summary(s);
    return s.exitCode;
}

int libraryFailure(const TermbLibrary& library, Report& report, bool virtualReader)
{
    std::string places;
    for (const std::string& tried : library.tried)
        places += (places.empty() ? "" : ", ") + tried;
    // The system's message mostly names the file already.
    const std::string file = library.path.empty() ? TermbFileName() : library.path;
    const std::string detail =
        (library.error.find(file) == std::string::npos ? file + ": " : std::string()) +
        library.error + (places.empty() ? "" : " (looked at " + places + ")");
    report.failure({FailureKind::Library, 0, nullptr, detail});
    RunSummary s;
    s.mode = "none";
    s.failures[int(FailureKind::Library)] = 1;
    s.exitCode = kExitNoLibrary;
    report.summary(s);
    if (virtualReader)
        std::fprintf(stderr,
                     "%s: the virtual reader could not be loaded: %s; put %s beside the "
                     "program\n",
                     kProgram, detail.c_str(), VirtualReaderFileName());
    else
        std::fprintf(stderr,
                     "%s: the reader library could not be loaded: %s; put %s beside the "
                     "program, name it in TERMB_LIBRARY, or pass --library PATH\n",
                     kProgram, detail.c_str(), TermbFileName());
    return kExitNoLibrary;
}

} // namespace

int main(int argc, char** argv)
{
    RestrictLibrarySearch(); // before anything may load a DLL by name
#ifdef _WIN32
    SetConsoleOutputCP(CP_UTF8);
#endif
    Options options;
    const std::string usageError = ParseOptions({argv + 1, argv + argc}, options);
    if (!usageError.empty()) {
        std::fprintf(stderr, "%s: %s; see %s --help\n", kProgram, usageError.c_str(), kProgram);
        return kExitUsage;
    }
    if (options.help) {
        std::fputs(UsageText(), stdout);
        return kExitOk;
    }

    const bool longRun = options.mode != RunMode::Once;
    Report report(stdout, stderr, options.json, longRun && isTerminal(stderr), isTerminal(stdout));
    // Never the windows' fallback to the virtual reader: a script that
    // tests a reader must not read fictional cards unless it asks for them.
    const TermbLibrary library = options.library.empty()   ? LoadTermbLibrary()
                                 : options.virtualReader() ? LoadVirtualReader()
                                                           : LoadTermbLibraryFrom(options.library);
    if (!library.loaded)
        return libraryFailure(library, report, options.virtualReader());

    // The shared state as the main window sets it up; --port wins over Port.
    PortNo = kUsbPort;
    ReadMode = kReadIdle;
    LoadSettings();
    if (options.port)
        SetPortNo = *options.port;

    catchInterrupts();
    Session session(options, library, report);
    int exitCode;
    bool threadDone = true;
    {
        TReadThread thread(TimedTermbApi(library.api));
        thread.OwnerWnd = [&session](int status) { session.onStatus(status); };
        if (options.mode == RunMode::Continuous) {
            session.runContinuous(thread);
            // A pass under way finishes; a reader call that hangs does not hold
            // the summary back for long.
            threadDone = thread.WaitFor(5000);
        } else {
            session.runPasses(thread, options.mode == RunMode::Repeat ? options.repeat : 1);
        }
        exitCode = session.finish();
    }
    std::fflush(stdout);
    std::fflush(stderr);
    // A reading thread still inside a reader call must not meet the
    // process's static objects being destroyed.
    if (!threadDone)
        std::_Exit(exitCode);
    return exitCode;
}

// zuviruzozozad-cli: reader checks without a window. The same reader library
// search, device discovery and read pass as the window (the reading thread
// itself), for production lines and burn-in racks that script their tests.

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/exe_dir.h"
#include "base/files.h"
#include "base/text.h"
#include "card/gbk.h"
#include "cli/options.h"
#include "cli/report.h"
#include "cli/timed_termb.h"
#include "config/config.h"
#include "reader/call_recording.h"
#include "reader/dynlib.h"
#include "reader/photo_files.h"
#include "reader/read_thread.h"
#include "reader/termb_loader.h"
#include "state/settings.h"
#include "state/shared_state.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>

#include <shellapi.h>

#include "base/utf16.h"
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kExitOk = 0;
constexpr int kExitNoReader = 2;
constexpr int kExitNoCard = 3;
constexpr int kExitNoLibrary = 4;
constexpr int kExitLibraryFault = 5; // the run ended on a call that crashed or hung the reader host
constexpr int kExitUsage = 64;
constexpr int kExitOutput = 74;       // standard output could not be written (sysexits' EX_IOERR)
constexpr int kExitInterrupted = 130; // a fixed number of passes cut short, as 128 + SIGINT

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

// The arguments as the user typed them, in UTF-8: the ANSI code page's argv
// cannot carry a path (--library) whose characters that page has not.
std::vector<std::string> commandArguments(int argc, char** argv)
{
    int count = 0;
    LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (!wide)
        return {argv + std::min(argc, 1), argv + argc};
    std::vector<std::string> args;
    for (int i = 1; i < count; ++i)
        args.push_back(Utf8FromWide(wide[i]));
    ::LocalFree(wide);
    return args;
}

// A program started without a standard output has no descriptor behind stdout.
bool standardOutputOpen()
{
    return _fileno(stdout) >= 0;
}
#else
std::vector<std::string> commandArguments(int argc, char** argv)
{
    return {argv + std::min(argc, 1), argv + argc};
}

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

// Whether standard output is open. Each of the three standard descriptors
// that was closed is opened on /dev/null first: otherwise the next file the
// program opens (the settings, a photo file, the library) would take its
// number, and what is printed would land in that file.
bool standardOutputOpen()
{
    bool outputOpen = true;
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        if (fd == 1)
            outputOpen = false;
        const int spare = ::open("/dev/null", O_RDWR);
        if (spare != -1 && spare != fd) // the lowest free number: fd itself
            ::close(spare);
    }
    return outputOpen;
}
#endif

// One line on standard error; card and system text in it shown in caret
// notation by the caller.
void complain(const std::string& text)
{
    std::fprintf(stderr, "%s: %s\n", kProgram, text.c_str());
    std::fflush(stderr);
}

int outputFailure(int error)
{
    complain(std::string("standard output could not be written (") + std::strerror(error) +
             "); the run was ended");
    return kExitOutput;
}

double secondsSince(Clock::time_point t0)
{
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

bool isBaseRead(TermbFunction call)
{
    return call == TermbFunction::ReadBaseMsg || call == TermbFunction::ReadBaseFPMsg;
}

// Why a discovery found no reader: the open's answer, or the security-module
// query's when the port opened.
Failure noReaderFailure(const PassCalls& pass)
{
    const int open = pass.result(TermbFunction::OpenPort);
    if (open != kTermbOk || !pass.has(TermbFunction::GetSAMIDToStr))
        return {FailureKind::NoReader, open, TermbFunctionName(TermbFunction::OpenPort), {}};
    return {FailureKind::NoReader,
            pass.result(TermbFunction::GetSAMIDToStr),
            TermbFunctionName(TermbFunction::GetSAMIDToStr),
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
    // Whether the run goes on: not interrupted, and its output still written.
    bool running() const { return !g_stop && m_report.outputError() == 0; }

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
    bool m_passFault = false;      // ... or ended on a reader host's fault
    bool m_endsOnFault = false;    // no pass read a card since the last fault
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
    if (m_closed || m_report.outputError())
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
    case RS_LIBRARY_CRASHED:
    case RS_LIBRARY_HUNG: {
        m_passFault = true;
        m_endsOnFault = true;
        const std::string call = ReaderFaultFunction.str();
        fail({status == RS_LIBRARY_HUNG ? FailureKind::LibraryHung : FailureKind::LibraryCrashed,
              0,
              call.c_str(),
              {}});
        break;
    }
    case RS_CARD_READ: {
        m_endsOnFault = false;
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
            complain("the photo files could not be written in " + CaretNotation(ExeDir()) +
                     "; run a copy of the program from a directory you can write to");
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
                  TermbFunctionName(pass.calls.back().call),
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
    for (int i = 0; i < passes; ++i) {
        {
            std::lock_guard lock(m_mutex);
            if (!running())
                break;
            m_passCard = false;
            m_passReadFailed = false;
            m_passFault = false;
            m_endsOnFault = false; // a fixed run ends on its last pass
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
        if (m_passFault) {
            // Reported with its status; the next pass starts a fresh host.
        } else if (!open) {
            fail(noReaderFailure(pass));
        } else if (!m_passCard && !m_passReadFailed) {
            // The find's port failure, or the select that found no card.
            const int find = pass.result(TermbFunction::StartFindIDCard);
            if (IsPortFailure(find))
                fail({FailureKind::PortFailed,
                      find,
                      TermbFunctionName(TermbFunction::StartFindIDCard),
                      {}});
            else
                fail({FailureKind::NoCard,
                      pass.result(TermbFunction::SelectIDCard),
                      TermbFunctionName(TermbFunction::SelectIDCard),
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
    while (!timed || Clock::now() < end) {
        Clock::duration tick = std::chrono::milliseconds(20);
        if (timed)
            tick = std::min(tick, end - Clock::now());
        std::this_thread::sleep_for(tick);
        std::lock_guard lock(m_mutex);
        if (!running())
            break;
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
    // Output that could not be written ends the run, whatever it found:
    // what it read is lost, and a script must not take it for a result.
    if (const int error = m_report.outputError())
        return outputFailure(error);

    RunSummary s;
    s.mode = m_options.mode == RunMode::Once     ? "once"
             : m_options.mode == RunMode::Repeat ? "repeat"
                                                 : "continuous";
    s.cards = m_cards;
    std::copy(std::begin(m_failures), std::end(m_failures), std::begin(s.failures));
    // Interrupted: ended early by Ctrl-C or SIGTERM. A fixed run whose last
    // pass was under way when the interrupt came has still run every pass.
    s.interrupted = g_stop && (continuous() || m_passes < std::uint64_t(m_options.repeat));
    s.elapsedSeconds = secondsSince(m_start);
    s.pass = m_passStats.summary();
    for (const auto& [call, stats] : CallTotals())
        s.calls[call] = stats.summary();
    // Continuous reading counts its read passes by their finds.
    s.passes = continuous() ? s.calls[TermbFunction::StartFindIDCard].count : m_passes;
    if (s.calls[TermbFunction::StartFindIDCard].count == 0)
        s.calls.erase(TermbFunction::StartFindIDCard);

    std::uint64_t failed = 0;
    for (const std::uint64_t n : m_failures)
        failed += n;
    const std::uint64_t readFailures = m_failures[int(FailureKind::ReadFailed)];
    const bool nothingRun = s.passes == 0 && s.interrupted;
    if (s.interrupted && !continuous()) {
        // Continuous reading ends by an interrupt; a fixed number of passes
        // that did not all run is no result, whatever they found.
        s.exitCode = kExitInterrupted;
        complain("interrupted after " + std::to_string(s.passes) + " of " +
                 std::to_string(m_options.repeat) + " passes");
    } else if (m_endsOnFault) {
        s.exitCode = kExitLibraryFault;
        complain("the reader library failed in " + ReaderFaultFunction.str() +
                 " (its process crashed, or gave no answer within " + kReaderCallTimeoutKey +
                 " in " + CaretNotation(ConfigFilePath()) + ")");
    } else if (!m_readerFound && !nothingRun) {
        s.exitCode = kExitNoReader;
        const int fixedPort = SetPortNo;
        complain(std::string("no reader found (") +
                 (fixedPort == kAutoPort ? "searched USB and every serial port"
                                         : "fixed port " + PortName(fixedPort)) +
                 "); connect the reader, check --port or " + kPortKey + " in " +
                 CaretNotation(ConfigFilePath()) + ", and that you may use the port");
    } else if (continuous() ? readFailures > 0 : failed > 0) {
        s.exitCode = kExitNoCard;
        if (readFailures > 0)
            complain(std::to_string(readFailures) +
                     " card read(s) failed; keep the card still on the reader and try again");
        else
            complain("no card read in " + std::to_string(failed) + " of " +
                     std::to_string(s.passes) +
                     " passes; place a card on the reader and try again");
    }
    m_report.summary(s);
    if (const int error = m_report.outputError())
        return outputFailure(error);
    return s.exitCode;
}

// Why the library was not loaded, as far as the file itself tells; empty
// when only the system's words say it.
std::string libraryReason(const TermbLibrary& library)
{
    auto architecture = [](const LibraryArchitecture& a) {
        return (a.bits ? std::to_string(a.bits) + "-bit " : std::string()) + a.machine;
    };
    if (library.failure == TermbLoadFailure::MissingFunctions) {
        std::string names;
        for (const std::string& name : library.missing)
            names += (names.empty() ? "" : ", ") + name;
        return "the library lacks " + names;
    }
    if (library.failure != TermbLoadFailure::NotLoadable)
        return {};
    switch (library.fileCheck.problem) {
    case LibraryFileProblem::Empty:
        return "the file is empty, not a library";
    case LibraryFileProblem::NotALibrary:
        return "the file is not a shared library";
    case LibraryFileProblem::OtherArchitecture:
        return "the library is built for " + architecture(library.fileCheck.file) +
               ", this program for " + architecture(ProgramArchitecture());
    case LibraryFileProblem::Unknown:
        break;
    }
    return {};
}

int libraryFailure(const TermbLibrary& library, Report& report, bool virtualReader)
{
    std::string places;
    for (const std::string& tried : library.tried)
        places += (places.empty() ? "" : ", ") + tried;
    // The system's message mostly names the file already.
    const std::string file = library.path.empty() ? TermbFileName() : library.path;
    const std::string reason = libraryReason(library);
    const std::string why = !reason.empty() ? file + ": " + reason
                            : library.error.find(file) == std::string::npos
                                ? file + ": " + library.error
                                : library.error;
    const std::string detail = why + (places.empty() ? "" : " (looked at " + places + ")");
    report.failure({FailureKind::Library, 0, nullptr, detail});
    RunSummary s;
    s.mode = "none";
    s.failures[int(FailureKind::Library)] = 1;
    s.exitCode = kExitNoLibrary;
    report.summary(s);
    if (const int error = report.outputError())
        return outputFailure(error);
    if (virtualReader)
        complain("the virtual reader could not be loaded: " + CaretNotation(detail) + "; put " +
                 VirtualReaderFileName() + " beside the program");
    else
        complain("the reader library could not be loaded: " + CaretNotation(detail) + "; put " +
                 TermbFileName() +
                 " beside the program, name it in TERMB_LIBRARY, or pass "
                 "--library PATH");
    return kExitNoLibrary;
}

// --record: the library's calls into the file. A recording that cannot be
// written is said once on standard error; the reading goes on.
void recordCalls(TermbLibrary& library, const Options& options)
{
    if (options.recordRaw)
        complain("the recording " + CaretNotation(options.record) +
                 " keeps the cards' personal data as read (--record-raw)");
    RecordLibraryCalls(library,
                       std::make_shared<CallRecording>(
                           options.record, library.path, options.recordRaw,
                           [](const std::string& message) { complain(CaretNotation(message)); }));
}

} // namespace

int main(int argc, char** argv)
{
    RestrictLibrarySearch(); // before anything may load a DLL by name
#ifdef _WIN32
    SetConsoleOutputCP(CP_UTF8);
#endif
    Options options;
    const std::string usageError = ParseOptions(commandArguments(argc, argv), options);
    if (!usageError.empty()) {
        complain(CaretNotation(usageError) + "; see " + kProgram + " --help");
        return kExitUsage;
    }
    // Everything a run finds goes to standard output; without one, no pass
    // is worth making.
    if (!standardOutputOpen())
        return outputFailure(EBADF);
    if (options.help) {
        errno = 0;
        if (std::fputs(UsageText(), stdout) == EOF || std::fflush(stdout) != 0)
            return outputFailure(errno ? errno : EIO);
        return kExitOk;
    }

    const bool longRun = options.mode != RunMode::Once;
    Report report(stdout, stderr, options.json, longRun && isTerminal(stderr), isTerminal(stdout));
    // Never the windows' fallback to the virtual reader: a script that
    // tests a reader must not read fictional cards unless it asks for them.
    // The library in a reader host, with the settings' call deadline, unless
    // asked otherwise or no host program is there. This thread makes or
    // outlives every call, so a host it starts lives as long as needed.
    LoadSettings();
    if (SetUpReaderHosting(options.inProcess, std::chrono::milliseconds(ReaderCallTimeout)) ==
        ReaderHostingResult::HostMissing)
        complain("no reader host program beside " + CaretNotation(ExeDir()) +
                 "; the reader library runs in this program");
    TermbLibrary library = options.library.empty()   ? LoadTermbLibrary()
                           : options.virtualReader() ? LoadVirtualReader()
                                                     : LoadTermbLibraryFrom(options.library);
    if (!library.loaded)
        return libraryFailure(library, report, options.virtualReader());
    if (!options.record.empty())
        recordCalls(library, options);

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
        thread.FaultsOf(library.api);
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

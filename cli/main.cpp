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
#include <ctime>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/exe_dir.h"
#include "base/files.h"
#include "base/text.h"
#include "card/gbk.h"
#include "cli/html_report.h"
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

// Kept per reader for the report; more would say nothing new.
constexpr std::size_t kMaxFailureMarks = 5000;

// Everything the readers of a run share: the output, the lock that
// serialises it and every reader's counts, and the run's start.
struct RunShared
{
    RunShared(const Options& o, Report& r) : options(o), report(r) {}

    const Options& options;
    Report& report;
    std::mutex mutex;
    bool several = false; // more than one reader: lines and complaints name their port
    Clock::time_point start = Clock::now();
    Clock::time_point lastProgress = start;
    std::time_t started = std::time(nullptr);
    std::string command; // the arguments, for the report page
};

// One reader of a run: the statuses of its reading thread become events,
// counted for the summary. Statuses arrive on whichever thread runs the
// reading thread's passes; everything here is under the run's one lock.
class Session
{
public:
    Session(RunShared& run, const TermbLibrary& library, ReaderState& state, TimedTermb& timed,
            int port)
        : m_run(run), m_options(run.options), m_library(library), m_report(run.report),
          m_state(state), m_timed(timed), m_port(port)
    {
    }

    // The status target: handles each status as the main window does for the
    // reading thread (a repeated status changes nothing; every status but a
    // card read clears the last card's number), then reports it.
    void onStatus(int status);

    void runPasses(TReadThread& thread, int passes);
    void startContinuous(TReadThread& thread);
    void stopContinuous(TReadThread& thread);
    // Ends this reader's part of the run: no status is reported after this.
    // Says on standard error what a failed part owes; the summary and its
    // exit code. Call under the run's lock.
    RunSummary close();
    // Ends it with nothing more said: the run's output failed.
    void shut() { m_closed = true; }

    // The run's readers, for the progress line; set before the run starts.
    void runsWith(std::vector<Session*> all) { m_all = std::move(all); }

    int port() const { return m_port; }
    // The port this reader was read on: its own, or the one the search found.
    int portInUse() const { return m_port ? m_port : int(m_state.portNo); }
    const DurationStats& passStats() const { return m_passStats; }
    std::map<TermbFunction, DurationStats> callStats() const { return m_timed.totals(); }
    const std::vector<FailureMark>& failureMarks() const { return m_failureMarks; }
    std::uint64_t cards() const { return m_cards; }
    std::uint64_t passes() const { return m_passes; }
    std::uint64_t failed() const;
    std::string samId() const { return m_samId; }

    // The progress line of the whole run, under its lock.
    static void ShowProgress(RunShared& run, const std::vector<Session*>& sessions);

private:
    void fail(const Failure& failure);
    void complainHere(const std::string& text) const;
    void progress();
    bool continuous() const { return m_options.mode == RunMode::Continuous; }
    // Whether the run goes on: not interrupted, and its output still written.
    bool running() const { return !g_stop && m_report.outputError() == 0; }

    RunShared& m_run;
    const Options& m_options;
    const TermbLibrary& m_library;
    Report& m_report;
    ReaderState& m_state;
    TimedTermb& m_timed;
    int m_port;                        // 0 when the run has one reader
    std::vector<Session*> m_all{this}; // the run's readers, for the progress line
    bool m_closed = false;

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
    std::vector<FailureMark> m_failureMarks;
    std::string m_samId;
};

std::uint64_t Session::failed() const
{
    std::uint64_t n = 0;
    for (const std::uint64_t f : m_failures)
        n += f;
    return n;
}

void Session::complainHere(const std::string& text) const
{
    complain(m_port ? "port " + PortLabel(m_port) + ": " + text : text);
}

void Session::fail(const Failure& failure)
{
    ++m_failures[int(failure.kind)];
    if (m_failureMarks.size() < kMaxFailureMarks)
        m_failureMarks.push_back({secondsSince(m_run.start), failure.kind});
    m_report.failure(failure);
}

void Session::onStatus(int status)
{
    std::lock_guard lock(m_run.mutex);
    if (m_closed || m_report.outputError())
        return;
    m_report.forPort(m_port);
    const bool repeated = m_state.lastMsgCode.exchange(status) == status;
    if (status != RS_CARD_READ)
        m_state.lastIdCardNo.clear();
    const PassCalls pass = m_timed.currentPass();
    switch (status) {
    case RS_DEVICE_FOUND:
        m_readerFound = true;
        m_samId = GbkToUtf8(m_state.samIdText());
        if (!repeated)
            m_report.device(m_state.portNo, m_samId, m_library.isVirtual);
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
        const std::string call = m_state.readerFaultFunction.str();
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
        card.port = m_state.portNo;
        card.record = &m_state.cardInfo;
        card.kind = &m_state.cardKindInfo;
        card.wltPath = existingFile(PhotoWltPath(m_state.photoTag));
        card.bmpPath = existingFile(PhotoBmpPath(m_state.photoTag));
        card.pass = pass;
        card.readMs = std::chrono::duration<double, std::milli>(Clock::now() - pass.start).count();
        if (continuous())
            m_passStats.add(card.readMs);
        m_report.card(card);
        if (card.wltPath.empty() && !m_photoWarned) {
            m_photoWarned = true;
            complainHere("the photo files could not be written in " + CaretNotation(ExeDir()) +
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

void Session::ShowProgress(RunShared& run, const std::vector<Session*>& sessions)
{
    const Clock::time_point now = Clock::now();
    if (now - run.lastProgress < std::chrono::milliseconds(250))
        return;
    run.lastProgress = now;
    std::uint64_t passes = 0, cards = 0, failed = 0;
    for (const Session* session : sessions) {
        passes += session->m_passes;
        cards += session->m_cards;
        failed += session->failed();
    }
    std::string text = std::to_string(int(secondsSince(run.start))) + " s: ";
    if (run.options.mode == RunMode::Repeat)
        text += "pass " + std::to_string(passes) + " of " +
                std::to_string(std::uint64_t(run.options.repeat) * sessions.size()) + ", ";
    text += std::to_string(cards) + " cards, " + std::to_string(failed) + " failures";
    run.report.progress(text);
}

void Session::progress()
{
    ShowProgress(m_run, m_all);
}

// Single passes back to back, as the window's single read makes them: the
// discovery (nothing more when the reader is open already), then the read
// pass, which in single-read mode ends once the card is read.
void Session::runPasses(TReadThread& thread, int passes)
{
    for (int i = 0; i < passes; ++i) {
        {
            std::lock_guard lock(m_run.mutex);
            if (!running())
                break;
            m_passCard = false;
            m_passReadFailed = false;
            m_passFault = false;
            m_endsOnFault = false; // a fixed run ends on its last pass
        }
        // Each pass reports its statuses afresh, as the single-read button does.
        m_state.lastMsgCode = 0;
        m_state.readMode = kReadOnce;
        m_timed.beginPass();
        const Clock::time_point t0 = Clock::now();
        const bool open = thread.CheckDevice() && m_state.deviceOk;
        if (open)
            thread.ReadCard();
        m_state.readMode = kReadIdle;
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();

        std::lock_guard lock(m_run.mutex);
        m_report.forPort(m_port);
        ++m_passes;
        m_passStats.add(ms);
        const PassCalls pass = m_timed.currentPass();
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
            progress();
    }
}

// The reading thread's own continuous reading, until stopContinuous.
void Session::startContinuous(TReadThread& thread)
{
    m_state.lastMsgCode = 0;
    m_state.readMode = kReadContinuous;
    thread.Resume();
}

void Session::stopContinuous(TReadThread& thread)
{
    m_state.readMode = kReadIdle;
    thread.Terminate();
}

// Continuous reading on every reader, until interrupted or the duration is over.
void waitContinuous(RunShared& run, const std::vector<Session*>& sessions)
{
    const bool timed = run.options.durationSeconds > 0;
    const Clock::time_point end =
        run.start + std::chrono::duration_cast<Clock::duration>(
                        std::chrono::duration<double>(run.options.durationSeconds));
    while (!timed || Clock::now() < end) {
        Clock::duration tick = std::chrono::milliseconds(20);
        if (timed)
            tick = std::min(tick, end - Clock::now());
        std::this_thread::sleep_for(tick);
        std::lock_guard lock(run.mutex);
        if (g_stop || run.report.outputError() != 0)
            break;
        Session::ShowProgress(run, sessions);
    }
}

RunSummary Session::close()
{
    m_closed = true;
    m_report.forPort(m_port);
    RunSummary s;
    s.mode = m_options.mode == RunMode::Once     ? "once"
             : m_options.mode == RunMode::Repeat ? "repeat"
                                                 : "continuous";
    s.cards = m_cards;
    std::copy(std::begin(m_failures), std::end(m_failures), std::begin(s.failures));
    // Interrupted: ended early by Ctrl-C or SIGTERM. A fixed run whose last
    // pass was under way when the interrupt came has still run every pass.
    s.interrupted = g_stop && (continuous() || m_passes < std::uint64_t(m_options.repeat));
    s.elapsedSeconds = secondsSince(m_run.start);
    s.pass = m_passStats.summary();
    for (const auto& [call, stats] : m_timed.totals())
        s.calls[call] = stats.summary();
    // Continuous reading counts its read passes by their finds.
    s.passes = continuous() ? s.calls[TermbFunction::StartFindIDCard].count : m_passes;
    if (s.calls[TermbFunction::StartFindIDCard].count == 0)
        s.calls.erase(TermbFunction::StartFindIDCard);

    const std::uint64_t failed = this->failed();
    const std::uint64_t readFailures = m_failures[int(FailureKind::ReadFailed)];
    const bool nothingRun = s.passes == 0 && s.interrupted;
    if (s.interrupted && !continuous()) {
        // Continuous reading ends by an interrupt; a fixed number of passes
        // that did not all run is no result, whatever they found.
        s.exitCode = kExitInterrupted;
        complainHere("interrupted after " + std::to_string(s.passes) + " of " +
                     std::to_string(m_options.repeat) + " passes");
    } else if (m_endsOnFault) {
        s.exitCode = kExitLibraryFault;
        complainHere("the reader library failed in " + m_state.readerFaultFunction.str() +
                     " (its process crashed, or gave no answer within " + kReaderCallTimeoutKey +
                     " in " + CaretNotation(ConfigFilePath()) + ")");
    } else if (!m_readerFound && !nothingRun) {
        s.exitCode = kExitNoReader;
        const int fixedPort = m_state.setPortNo;
        complainHere(std::string("no reader found (") +
                     (fixedPort == kAutoPort ? "searched USB and every serial port"
                                             : "fixed port " + PortName(fixedPort)) +
                     "); connect the reader, check --port or " + kPortKey + " in " +
                     CaretNotation(ConfigFilePath()) + ", and that you may use the port");
    } else if (continuous() ? readFailures > 0 : failed > 0) {
        s.exitCode = kExitNoCard;
        if (readFailures > 0)
            complainHere(std::to_string(readFailures) +
                         " card read(s) failed; keep the card still on the reader and try again");
        else
            complainHere("no card read in " + std::to_string(failed) + " of " +
                         std::to_string(s.passes) +
                         " passes; place a card on the reader and try again");
    }
    return s;
}

// Writes the report page; false, said on standard error, when it could
// not be written.
bool writeHtmlReport(const RunShared& run, const std::vector<std::unique_ptr<Session>>& sessions,
                     const std::vector<TermbLibrary>& libraries,
                     const std::vector<RunSummary>& summaries, const RunSummary& total)
{
    HtmlRun page;
    page.command = run.command;
    char started[32] = "";
    if (const std::tm* local = std::localtime(&run.started))
        std::strftime(started, sizeof started, "%Y-%m-%d %H:%M:%S", local);
    page.started = started;
    page.library = libraries.front().path;
    page.isVirtual = libraries.front().isVirtual;
    page.total = total;
    for (std::size_t i = 0; i < sessions.size(); ++i) {
        ReaderRun reader;
        reader.port = sessions[i]->portInUse();
        reader.samId = sessions[i]->samId();
        reader.summary = summaries[i];
        reader.passes = sessions[i]->passStats();
        reader.calls = sessions[i]->callStats();
        reader.failures = sessions[i]->failureMarks();
        page.readers.push_back(std::move(reader));
    }
    errno = 0;
    if (ReplaceFileContent(run.options.report, HtmlReport(page)))
        return true;
    complain("the report " + CaretNotation(run.options.report) + " could not be written" +
             (errno ? std::string(" (") + std::strerror(errno) + ")" : std::string()));
    return false;
}

// Ends the run: each reader's summary, with several readers their total,
// and the report page when asked for; returns the exit code.
int finishRun(RunShared& run, const std::vector<std::unique_ptr<Session>>& sessions,
              const std::vector<TermbLibrary>& libraries)
{
    std::lock_guard lock(run.mutex);
    Report& report = run.report;
    // Output that could not be written ends the run, whatever it found:
    // what it read is lost, and a script must not take it for a result.
    if (const int error = report.outputError()) {
        for (const auto& session : sessions)
            session->shut();
        return outputFailure(error);
    }
    std::vector<RunSummary> summaries;
    for (const auto& session : sessions)
        summaries.push_back(session->close());
    RunSummary total = summaries.front();
    if (sessions.size() > 1) {
        std::vector<int> ports, codes;
        DurationStats passes;
        std::map<TermbFunction, DurationStats> calls;
        total = {};
        total.mode = summaries.front().mode;
        for (std::size_t i = 0; i < sessions.size(); ++i) {
            const RunSummary& s = summaries[i];
            report.forPort(sessions[i]->port());
            report.summary(s);
            ports.push_back(sessions[i]->port());
            codes.push_back(s.exitCode);
            total.passes += s.passes;
            total.cards += s.cards;
            for (int k = 0; k < kFailureKindCount; ++k)
                total.failures[k] += s.failures[k];
            total.interrupted = total.interrupted || s.interrupted;
            passes.merge(sessions[i]->passStats());
            for (const auto& [call, stats] : sessions[i]->callStats())
                calls[call].merge(stats);
        }
        total.exitCode = WorstExitStatus(codes);
        total.elapsedSeconds = secondsSince(run.start);
        total.pass = passes.summary();
        for (const auto& [call, stats] : calls)
            if (call != TermbFunction::StartFindIDCard || stats.count())
                total.calls[call] = stats.summary();
        report.total(total, ports);
    } else {
        report.summary(total);
    }
    if (const int error = report.outputError())
        return outputFailure(error);
    if (!run.options.report.empty() && !writeHtmlReport(run, sessions, libraries, summaries, total))
        return kExitOutput;
    return total.exitCode;
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

// --record: every reader's library calls into the one file. A recording
// that cannot be written is said once on standard error; the reading goes on.
void recordCalls(std::vector<TermbLibrary>& libraries, const Options& options)
{
    if (options.recordRaw)
        complain("the recording " + CaretNotation(options.record) +
                 " keeps the cards' personal data as read (--record-raw)");
    const auto recording = std::make_shared<CallRecording>(
        options.record, libraries.front().path, options.recordRaw,
        [](const std::string& message) { complain(CaretNotation(message)); });
    for (TermbLibrary& library : libraries)
        RecordLibraryCalls(library, recording);
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

    // The shared state as the main window sets it up (the settings are
    // loaded above); --port wins over Port.
    PortNo = kUsbPort;
    ReadMode = kReadIdle;
    if (!options.ports.empty())
        SetPortNo = options.ports.front();

    // One reader: the windowed programs' state and the library loaded above.
    // Several: each its own state, photo files and library in a host of its
    // own, since the library keeps one open port per process.
    const bool several = options.ports.size() > 1;
    std::vector<std::unique_ptr<ReaderState>> states;
    std::vector<TermbLibrary> libraries{library};
    for (std::size_t i = 1; i < options.ports.size(); ++i) {
        TermbLibrary more = options.library.empty()   ? LoadTermbLibrary()
                            : options.virtualReader() ? LoadVirtualReader()
                                                      : LoadTermbLibraryFrom(options.library);
        if (!more.loaded)
            return libraryFailure(more, report, options.virtualReader());
        libraries.push_back(std::move(more));
    }
    if (!options.record.empty())
        recordCalls(libraries, options);
    for (std::size_t i = 0; i < libraries.size(); ++i) {
        if (!several) {
            states.emplace_back(nullptr);
            continue;
        }
        auto state = std::make_unique<ReaderState>();
        state->portNo = options.ports[i];
        state->setPortNo = options.ports[i];
        state->photoTag = PortLabel(options.ports[i]);
        states.push_back(std::move(state));
    }

    catchInterrupts();
    RunShared run(options, report);
    run.several = several;
    for (const std::string& arg : commandArguments(argc, argv))
        run.command += (run.command.empty() ? "" : " ") + arg;
    run.command = std::string(kProgram) + (run.command.empty() ? "" : " ") + run.command;
    std::vector<std::unique_ptr<TimedTermb>> timed;
    std::vector<std::unique_ptr<Session>> sessions;
    std::vector<std::unique_ptr<TReadThread>> threads;
    std::vector<Session*> all;
    for (std::size_t i = 0; i < libraries.size(); ++i) {
        ReaderState& state = several ? *states[i] : MainReaderState;
        timed.push_back(std::make_unique<TimedTermb>(libraries[i].api));
        sessions.push_back(std::make_unique<Session>(run, libraries[i], state, *timed.back(),
                                                     several ? options.ports[i] : 0));
        all.push_back(sessions.back().get());
        auto thread =
            std::make_unique<TReadThread>(timed.back()->api(), TReadThread::SleepFn{}, state);
        Session* session = sessions.back().get();
        thread->OwnerWnd = [session](int status) { session->onStatus(status); };
        thread->FaultsOf(libraries[i].api);
        threads.push_back(std::move(thread));
    }
    for (const auto& session : sessions)
        session->runsWith(all);

    bool threadsDone = true;
    if (options.mode == RunMode::Continuous) {
        for (std::size_t i = 0; i < sessions.size(); ++i)
            sessions[i]->startContinuous(*threads[i]);
        waitContinuous(run, all);
        for (std::size_t i = 0; i < sessions.size(); ++i)
            sessions[i]->stopContinuous(*threads[i]);
        // A pass under way finishes; a reader call that hangs does not hold
        // the summary back for long.
        const Clock::time_point deadline = Clock::now() + std::chrono::seconds(5);
        for (const auto& thread : threads) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            threadsDone =
                thread->WaitFor(int(std::max<std::int64_t>(left.count(), 0))) && threadsDone;
        }
    } else {
        const int passes = options.mode == RunMode::Repeat ? options.repeat : 1;
        if (!several) {
            sessions[0]->runPasses(*threads[0], passes);
        } else {
            // Each reader's passes on a thread of its own; a host that one of
            // them starts afresh after a fault lives as long as that thread.
            std::vector<std::thread> workers;
            for (std::size_t i = 0; i < sessions.size(); ++i)
                workers.emplace_back([&, i] { sessions[i]->runPasses(*threads[i], passes); });
            for (std::thread& worker : workers)
                worker.join();
        }
    }

    const int exitCode = finishRun(run, sessions, libraries);
    threads.clear();
    std::fflush(stdout);
    std::fflush(stderr);
    // A reading thread still inside a reader call must not meet the
    // process's static objects being destroyed.
    if (!threadsDone)
        std::_Exit(exitCode);
    return exitCode;
}

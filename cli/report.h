#pragma once
// What the console program prints: each event of a run and the closing
// summary, as readable text or as JSON Lines on standard output, and the
// progress line on standard error. Not thread-safe: the caller serialises.
//
// Text from outside the program (a card's fields, the security-module
// number, paths, the system's messages) is data: the readable text shows
// its control characters in caret notation, JSON escapes them.

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "card/card_info.h"
#include "card/card_kinds.h"
#include "cli/duration_stats.h"
#include "cli/json_line.h"
#include "cli/timed_termb.h"

// LibraryCrashed and LibraryHung: a call crashed or overran the deadline of
// the reader host that runs the library; `call` names it, `code` is none.
enum class FailureKind {
    NoReader,
    NoCard,
    PortFailed,
    ReadFailed,
    Library,
    LibraryCrashed,
    LibraryHung
};
inline constexpr int kFailureKindCount = 7;

struct Failure
{
    FailureKind kind;
    int code = 0;               // the reader call's answer
    const char* call = nullptr; // the call that answered it; none for Library
    std::string detail;         // Library: why and where
};

struct CardRead
{
    int number = 0; // counted from 1 in this run
    int port = 0;
    const TIDCardInfo* record = nullptr; // the identity card's record
    const TCardKindInfo* kind = nullptr; // the kind, its number and the other kinds' records
    std::string wltPath, bmpPath;        // empty: the file was not written
    PassCalls pass;
    double readMs = 0; // from the pass's first reader call to the card
};

struct RunSummary
{
    const char* mode = "";
    std::uint64_t passes = 0;
    std::uint64_t cards = 0;
    std::uint64_t failures[kFailureKindCount] = {};
    bool interrupted = false;
    int exitCode = 0;
    double elapsedSeconds = 0;
    DurationSummary pass;
    std::map<TermbFunction, DurationSummary> calls;
};

const char* FailureKindName(FailureKind kind);

class Report
{
public:
    // `progress`: standard error is a terminal that shows a progress line;
    // `outShared`: standard output goes to the same terminal, so the progress
    // line makes way for every event, not only for the summary.
    Report(std::FILE* out, std::FILE* err, bool json, bool progress, bool outShared);

    void device(int port, const std::string& samIdUtf8, bool isVirtual);
    void card(const CardRead& card);
    void cardGone();
    void failure(const Failure& failure);
    void summary(const RunSummary& summary);
    // The closing line of a run with several readers: their sum, with the
    // worst exit code, after each reader's own summary.
    void total(const RunSummary& summary, const std::vector<int>& ports);

    // The events that follow belong to the reader on `port`: with several
    // readers each JSON line names its port and each text line begins with
    // it. 0: a run with one reader, whose lines are as they always were.
    void forPort(int port) { m_port = port; }

    // Replaces the progress line, when there is one (standard error is a terminal).
    void progress(const std::string& line);

    // The system's error number of the first write to standard output that
    // failed (a full disk, a closed pipe); 0 while every write succeeded.
    // Nothing more is written to standard output after one failed.
    int outputError() const { return m_outputError; }

private:
    void clearProgress();
    void line(const std::string& text, bool last = false);
    void summaryLine(const RunSummary& s, const std::string& title, JsonLine&& json);
    void writeErr(const std::string& text);

    std::FILE* m_out;
    std::FILE* m_err;
    bool m_json;
    bool m_progress;
    bool m_outShared;
    std::size_t m_progressWidth = 0;
    int m_outputError = 0;
    int m_port = 0;
};

// "USB" for 1001, "USBn" for the further USB readers 1002 to 1016, "COMn"
// for a serial port.
std::string PortName(int port);
// How a line of a run with several readers names its reader: the number of
// a USB reader (1001), COMn for a serial port.
std::string PortLabel(int port);

// The worst of several readers' exit statuses, by how little of the check
// they let happen, from best to worst: 0, 3 (no card), 2 (no reader), 5
// (library fault), 4 (no library), 130 (interrupted), 74 (no output). A
// status outside this order ranks after all of them.
int WorstExitStatus(const std::vector<int>& codes);

// The highest port number of a USB reader.
inline constexpr int kLastUsbPort = 1016;

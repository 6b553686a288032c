#pragma once
// Recordings of reader calls. A recording table is a decorator of the
// function table: every call goes through to the inner table unchanged, and
// is then written to the recording file as one JSON line: the function, the
// port, the arguments, the result, the duration and what the call returned.
// The file begins with a header line naming the program, the platform and
// the library. The virtual reader plays such a file back.
//
// Recordings are redacted unless asked for raw (reader/redaction.h): a
// recording of a real card is personal data.
//
// Writing never stops a reading: a line that cannot be written ends the
// recording, the failure is reported once, and the calls go on.

#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "reader/termb.h"

// The first line's marker; the virtual reader tells a recording from a
// scenario by it.
inline constexpr const char* kRecordingMarker = "zuviruzozozad reader calls";
inline constexpr int kRecordingFormat = 1;

// One recording file, shared by every table that records into it (one per
// reader when several are read at once); its lines never interleave.
class CallRecording
{
public:
    // Called once, with one line of text, when the file cannot be created or
    // a line cannot be written.
    using FailureFn = std::function<void(const std::string& message)>;

    // Creates `path` (replacing a file there) and writes the header, which
    // names `library`. A file that cannot be created is reported at once; the
    // recording then writes nothing, and the tables record into it harmlessly.
    CallRecording(const std::string& path, const std::string& library, bool raw,
                  FailureFn onFailure);
    ~CallRecording();
    CallRecording(const CallRecording&) = delete;
    CallRecording& operator=(const CallRecording&) = delete;

    bool Raw() const { return m_raw; }
    std::uint64_t RedactionKey() const { return m_key; }
    // Whether lines still go to the file.
    bool Writing() const;
    // Appends one complete line (without its line break).
    void WriteLine(const std::string& line);

private:
    void failLocked(const std::string& what);

    const std::string m_path;
    const bool m_raw;
    const std::uint64_t m_key;
    FailureFn m_onFailure;
    mutable std::mutex m_mutex;
    std::FILE* m_file = nullptr;
};

struct RecordingTableState;

// A table that records the calls of `inner` into `recording`. Several may
// live at once (kMaxRecordingTables), each with its own inner table.
class RecordingTable
{
public:
    RecordingTable(std::shared_ptr<CallRecording> recording, const TermbApi& inner);
    ~RecordingTable();
    RecordingTable(const RecordingTable&) = delete;
    RecordingTable& operator=(const RecordingTable&) = delete;

    // The recording table; `inner` itself, unrecorded, when every slot is
    // taken. Valid while this object lives.
    const TermbApi& Api() const { return m_api; }

private:
    int m_slot = -1;
    TermbApi m_api;
};

inline constexpr int kMaxRecordingTables = 8;

struct TermbLibrary;

// Makes the table of `lib` record its calls into `recording`; `lib` and its
// copies keep the recording table alive.
void RecordLibraryCalls(TermbLibrary& lib, std::shared_ptr<CallRecording> recording);

// The windowed programs' recording: TERMB_RECORD=FILE records the calls of
// `lib` (loaded) into FILE, redacted unless TERMB_RECORD_RAW=1; a failure and
// a raw recording are reported through the diagnostics. Nothing when unset.
void RecordCallsFromEnvironment(TermbLibrary& lib);

// The table a recording table records for; any other table as it is.
TermbApi UnrecordedApi(const TermbApi& api);

// "linux-x86_64", "windows-x86" and the like.
const char* RecordingPlatform();

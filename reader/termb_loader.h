#pragma once
// Finding and binding the reader library at run time.

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "reader/library_file.h"
#include "reader/termb.h"

// The library's file name on this platform: termb.dll or libtermb.so.
const char* TermbFileName();

// The name of the extra function by which our virtual reader makes itself
// known; it returns a short description of itself.
inline constexpr const char* kVirtualReaderSymbol = "TermbVirtualReaderInfo";
using TermbVirtualReaderInfo_t = const char* (*)();

// Why a reader library is not in use.
enum class TermbLoadFailure {
    None,             // loaded, with all nine functions
    NotFound,         // no such file where it was looked for
    NotLoadable,      // the file is there but the system would not load it
    MissingFunctions, // loaded, but some of the nine functions are missing
};

class HostedReader;
class RecordingTable;

struct TermbLibrary
{
    TermbApi api = AbsentReaderApi(); // always callable
    bool loaded = false;              // the file was loaded and has all nine functions
    bool isVirtual = false;           // it is our virtual reader
    std::string virtualInfo;          // the virtual reader's description of itself
    std::string path;                 // the file in use, or the last one tried
    std::vector<std::string> tried;   // every place looked at, in order
    TermbLoadFailure failure = TermbLoadFailure::NotFound;
    std::vector<std::string> missing; // the functions the file lacks (MissingFunctions)
    LibraryFileCheck fileCheck;       // NotLoadable: what the file's header tells
    std::string error;                // the system's own words on the failure, for diagnostics only
    // The reader host that runs the library when it is loaded hosted; shared
    // by every copy, so the host lives as long as any copy of the table may
    // be called. Null when the library runs in this process.
    std::shared_ptr<HostedReader> host;
    // The recording table `api` is, when the calls are recorded
    // (reader/call_recording.h); null otherwise.
    std::shared_ptr<RecordingTable> recording;
};

// Where the libraries the loader finds run from now on: in a reader host,
// `program`, whose calls each get `callTimeout` (ReaderHosting), or, without
// hosting (the start), in this process. The search is the same either way.
//
// A host is started by the thread that loads, and on Linux it dies with that
// thread; after a fault the next call starts a fresh one on the thread that
// makes it. So the loading thread must outlive the calls: the windowed
// programs load on their window thread, which lives until the process ends,
// and their reading thread, which makes every later start, lives as long.
struct ReaderHosting
{
    std::string program;
    std::chrono::milliseconds callTimeout{10000};
};
void SetReaderHosting(std::optional<ReaderHosting> hosting);

// The reader host program: beside the executable (a build tree), or in the
// tool's private library directory (the installation); empty when neither
// holds one that may be run.
std::string FindReaderHostProgram();

// How the reader library is to run, as the user chose and the setup found.
enum class ReaderHostingResult {
    Hosted,      // in a reader host
    InProcess,   // in this process, as asked
    HostMissing, // in this process: no reader host program could be found
};

// The setup of the windowed programs and the console program: hosted with
// `callTimeout`, unless `inProcess`, or in process where FindReaderHostProgram()
// finds no host. Call once, before loading, on a thread that outlives the calls.
ReaderHostingResult SetUpReaderHosting(bool inProcess, std::chrono::milliseconds callTimeout);
// The windowed programs' setup: hosted with ReaderCallTimeout of the shared
// state (load the settings first), unless TERMB_IN_PROCESS is 1.
ReaderHostingResult SetUpWindowedReaderHosting();
// What the last SetUpReaderHosting() decided; InProcess before any.
ReaderHostingResult ReaderHostingInUse();

// Loads the reader library: the file named by the environment variable
// TERMB_LIBRARY when it is set (a file: a name without a directory is taken
// from the current directory, never looked up on the system's search path); otherwise
// TermbFileName() in the executable's directory, then through the system's library search path. The
// library is never unloaded: a reader library may keep threads of its own.
TermbLibrary LoadTermbLibrary();

// Loads exactly `file`; a relative name is taken from the current directory.
TermbLibrary LoadTermbLibraryFrom(const std::string& file);

// Loads `file` in this process as the system's loader takes it: a name
// without a directory through the system's library search path. The reader
// host loads what the tool's search chose this way.
TermbLibrary LoadTermbLibraryInProcess(const std::string& file);

// Our virtual reader's file name on this platform: termb_virtual.dll or
// libtermb_virtual.so, never the vendor library's name.
const char* VirtualReaderFileName();

// Loads the virtual reader that comes with the tool: VirtualReaderFileName()
// in the executable's directory, then (outside Windows) in the tool's
// private library directory where the installation puts it relative to
// the executable.
TermbLibrary LoadVirtualReader();

// The reader library of the windowed programs.
struct ReaderLibrary
{
    TermbLibrary library;  // the library in use
    bool standsIn = false; // `library` is the virtual reader, standing in for `missing`
    TermbLibrary missing;  // when standsIn: what the search for TermbFileName() found
};

// LoadTermbLibrary(); but when that finds no library, nobody named one
// (TERMB_LIBRARY unset or empty), no TermbFileName() lies beside the
// executable, and the virtual reader lies where LoadVirtualReader() looks,
// the virtual reader stands in: a user who has just unpacked or installed
// the tool can try it at once, and the caption says which reader is in use.
// The console program does not fall back; it loads the virtual reader only
// when asked to by name. With TERMB_RECORD set, the library's calls are
// recorded (RecordCallsFromEnvironment).
ReaderLibrary LoadReaderLibraryOrVirtual();

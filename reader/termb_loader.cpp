#include "reader/termb_loader.h"

#include <atomic>
#include <filesystem>
#include <mutex>
#include <utility>
#include <vector>

#include "base/diagnostics.h"
#include "base/exe_dir.h"
#include "base/files.h"
#include "card/card_info.h"
#include "reader/call_recording.h"
#include "reader/dynlib.h"
#include "reader/hosted_open.h"
#include "state/shared_state.h"

// The library's header stands alone, for the virtual reader; the card
// record keeps the same sizes.
static_assert(kTermbBitmapSize == kCardBitmapSize && kBitmapBufferSize == kCardBitmapBufferSize);

namespace {

// Answers of a reader that is not there. Result 1 is a port failure for the
// calls that report one and a plain failure for the others.
int TERMB_CALL absentPort(int)
{
    return 1;
}
int TERMB_CALL absentSamId(int, char*, int)
{
    return 1;
}
int TERMB_CALL absentCard(int, unsigned char*, int)
{
    return 1;
}
int TERMB_CALL absentRead(int, unsigned char*, unsigned int*, unsigned char*, unsigned int*, int)
{
    return 1;
}
int TERMB_CALL absentReadFP(int, unsigned char*, unsigned int*, unsigned char*, unsigned int*,
                            unsigned char*, int*, int)
{
    return 1;
}
int TERMB_CALL absentAppMsg(int, unsigned char*, unsigned int*, int)
{
    return 1;
}
int TERMB_CALL absentWlt2Bmp(unsigned char*, unsigned char*)
{
    return 0;
}

#if defined(_WIN32) && !defined(_WIN64)
constexpr bool kStdcallNames = true;
#else
constexpr bool kStdcallNames = false;
#endif

// Finds a function exported under its plain name or, on 32-bit Windows, under
// the names a compiler gives a stdcall function when the library's maker did
// not undo them: "name@N" (GCC) and "_name@N" (Microsoft's compilers), N being
// the bytes of its arguments. Every argument of these functions is 4 bytes.
void* findFunction(void* library, const char* name, int argumentCount)
{
    if (void* p = FindDynamicSymbol(library, name))
        return p;
    if (!kStdcallNames)
        return nullptr;
    const std::string decorated = std::string(name) + "@" + std::to_string(4 * argumentCount);
    if (void* p = FindDynamicSymbol(library, decorated.c_str()))
        return p;
    return FindDynamicSymbol(library, ("_" + decorated).c_str());
}

template <typename Fn>
bool bind(void* library, const char* name, int argumentCount, Fn& slot,
          std::vector<std::string>& missing)
{
    void* p = findFunction(library, name, argumentCount);
    if (!p) {
        missing.push_back(name);
        return false;
    }
    slot = reinterpret_cast<Fn>(p);
    return true;
}

std::mutex g_hostingMutex;
std::optional<ReaderHosting> g_hosting;

std::optional<ReaderHosting> currentHosting()
{
    std::lock_guard lock(g_hostingMutex);
    return g_hosting;
}

bool openInProcess(TermbLibrary& lib, const std::string& file)
{
    std::string error;
    void* handle = OpenDynamicLibrary(file, error);
    if (!handle) {
        lib.error = error;
        lib.failure = DynamicLibraryFileExists(file) ? TermbLoadFailure::NotLoadable
                                                     : TermbLoadFailure::NotFound;
        lib.fileCheck = lib.failure == TermbLoadFailure::NotLoadable ? CheckLibraryFile(file)
                                                                     : LibraryFileCheck{};
        return false;
    }
    TermbApi api;
    std::vector<std::string>& missing = lib.missing;
    bool ok = true;
    ok &= bind(handle, "SDT_OpenPort", 1, api.SDT_OpenPort, missing);
    ok &= bind(handle, "SDT_ClosePort", 1, api.SDT_ClosePort, missing);
    ok &= bind(handle, "SDT_GetSAMIDToStr", 3, api.SDT_GetSAMIDToStr, missing);
    ok &= bind(handle, "SDT_StartFindIDCard", 3, api.SDT_StartFindIDCard, missing);
    ok &= bind(handle, "SDT_SelectIDCard", 3, api.SDT_SelectIDCard, missing);
    ok &= bind(handle, "SDT_ReadBaseMsg", 6, api.SDT_ReadBaseMsg, missing);
    ok &= bind(handle, "SDT_ReadBaseFPMsg", 8, api.SDT_ReadBaseFPMsg, missing);
    ok &= bind(handle, "SDT_ReadNewAppMsg", 4, api.SDT_ReadNewAppMsg, missing);
    ok &= bind(handle, "Wlt2Bmp", 2, api.Wlt2Bmp, missing);
    if (!ok) {
        // A library without every function is not used at all: half a reader
        // would fail in ways no operator could read.
        lib.failure = TermbLoadFailure::MissingFunctions;
        lib.error.clear();
        for (const std::string& name : missing)
            lib.error += (lib.error.empty() ? "missing: " : ", ") + name;
        return false;
    }
    lib.api = api;
    lib.loaded = true;
    lib.failure = TermbLoadFailure::None;
    lib.error.clear();
    if (void* info = FindDynamicSymbol(handle, kVirtualReaderSymbol)) {
        lib.isVirtual = true;
        const char* text = reinterpret_cast<TermbVirtualReaderInfo_t>(info)();
        lib.virtualInfo = text ? text : "";
    }
    return true;
}

// The one open step of every search: in a reader host when hosting is set,
// in this process otherwise.
bool tryLoad(TermbLibrary& lib, const std::string& file)
{
    lib.path = file;
    lib.tried.push_back(file);
    lib.missing.clear();
    lib.fileCheck = {};
    if (const std::optional<ReaderHosting> hosting = currentHosting())
        return OpenInReaderHost(lib, file, *hosting);
    return openInProcess(lib, file);
}

// A library that is not in use is reported once, with the system's words.
TermbLibrary reported(TermbLibrary lib)
{
    if (!lib.loaded)
        ReportDiagnostic(DiagArea::Library,
                         "not loaded: " + lib.path + (lib.error.empty() ? "" : ": " + lib.error));
    return lib;
}

} // namespace

TermbApi AbsentReaderApi()
{
    TermbApi api;
    api.SDT_OpenPort = absentPort;
    api.SDT_ClosePort = absentPort;
    api.SDT_GetSAMIDToStr = absentSamId;
    api.SDT_StartFindIDCard = absentCard;
    api.SDT_SelectIDCard = absentCard;
    api.SDT_ReadBaseMsg = absentRead;
    api.SDT_ReadBaseFPMsg = absentReadFP;
    api.SDT_ReadNewAppMsg = absentAppMsg;
    api.Wlt2Bmp = absentWlt2Bmp;
    return api;
}

const char* TermbFileName()
{
#ifdef _WIN32
    return "termb.dll";
#else
    return "libtermb.so";
#endif
}

TermbLibrary LoadTermbLibraryFrom(const std::string& file)
{
    TermbLibrary lib;
    tryLoad(lib, AbsolutePath(file));
    return reported(lib);
}

TermbLibrary LoadTermbLibraryInProcess(const std::string& file)
{
    TermbLibrary lib;
    lib.path = file;
    lib.tried.push_back(file);
    openInProcess(lib, file);
    return reported(lib);
}

void SetReaderHosting(std::optional<ReaderHosting> hosting)
{
    std::lock_guard lock(g_hostingMutex);
    g_hosting = std::move(hosting);
}

namespace {

const char* readerHostFileName()
{
#ifdef _WIN32
    return "zuviruzozozad-reader-host.exe";
#else
    return "zuviruzozozad-reader-host";
#endif
}

// The places of the tool's own files beside the executable: its directory,
// then (outside Windows) the private library directory where the
// installation puts the virtual reader and the reader host.
std::vector<std::string> toolFilePlaces(const char* name)
{
    std::vector<std::string> places{ExeDir() + name};
#ifdef ZUVI_PRIVATE_LIBDIR_FROM_BINDIR
    places.push_back((std::filesystem::path(ExeDir()) / ZUVI_PRIVATE_LIBDIR_FROM_BINDIR / name)
                         .lexically_normal()
                         .string());
#endif
    return places;
}

} // namespace

std::string FindReaderHostProgram()
{
    for (const std::string& place : toolFilePlaces(readerHostFileName()))
        if (DynamicLibraryFileExists(place))
            return place;
    return {};
}

namespace {

std::atomic<ReaderHostingResult> g_hostingInUse{ReaderHostingResult::InProcess};

ReaderHostingResult setUp(bool inProcess, std::chrono::milliseconds callTimeout)
{
    if (inProcess) {
        SetReaderHosting(std::nullopt);
        return ReaderHostingResult::InProcess;
    }
    // Decided once, here: a missing host would otherwise be looked for, and
    // fail, at every call.
    std::string program = FindReaderHostProgram();
    if (program.empty()) {
        ReportDiagnostic(DiagArea::Library, "no reader host program: loading in process");
        SetReaderHosting(std::nullopt);
        return ReaderHostingResult::HostMissing;
    }
    SetReaderHosting(ReaderHosting{std::move(program), callTimeout});
    return ReaderHostingResult::Hosted;
}

} // namespace

ReaderHostingResult SetUpReaderHosting(bool inProcess, std::chrono::milliseconds callTimeout)
{
    const ReaderHostingResult result = setUp(inProcess, callTimeout);
    g_hostingInUse = result;
    return result;
}

ReaderHostingResult SetUpWindowedReaderHosting()
{
    return SetUpReaderHosting(EnvironmentUtf8("TERMB_IN_PROCESS") == "1",
                              std::chrono::milliseconds(ReaderCallTimeout.load()));
}

ReaderHostingResult ReaderHostingInUse()
{
    return g_hostingInUse;
}

const char* VirtualReaderFileName()
{
#ifdef _WIN32
    return "termb_virtual.dll";
#else
    return "libtermb_virtual.so";
#endif
}

namespace {

// The file TERMB_LIBRARY names, or the empty text when it is unset or empty.
std::string namedLibrary()
{
    return EnvironmentUtf8("TERMB_LIBRARY");
}

TermbLibrary search()
{
    TermbLibrary lib;
    if (const std::string named = namedLibrary(); !named.empty()) {
        // A file the user names is a file: "libx.so" is the one in the
        // current directory, not a name for the system's library search.
        tryLoad(lib, AbsolutePath(named));
        return lib;
    }
    // The executable's directory first, so a library placed beside the tool
    // wins over one installed system-wide.
    if (tryLoad(lib, ExeDir() + TermbFileName()))
        return lib;
    const TermbLibrary besideTool = lib;
    if (tryLoad(lib, TermbFileName()))
        return lib;
    // Report the more telling reason: a library beside the tool that exists
    // but cannot be used matters more than one not found on the search path.
    if (besideTool.failure != TermbLoadFailure::NotFound) {
        const std::vector<std::string> tried = lib.tried;
        lib = besideTool;
        lib.tried = tried;
    }
    return lib;
}

} // namespace

TermbLibrary LoadTermbLibrary()
{
    return reported(search());
}

namespace {

// Each place of the virtual reader in turn, up to the first file that is
// there, whether it loads or not.
TermbLibrary searchVirtualReader()
{
    TermbLibrary lib;
    for (const std::string& place : toolFilePlaces(VirtualReaderFileName()))
        if (tryLoad(lib, place) || lib.failure != TermbLoadFailure::NotFound)
            break;
    return lib;
}

} // namespace

TermbLibrary LoadVirtualReader()
{
    return reported(searchVirtualReader());
}

namespace {

ReaderLibrary loadReaderLibraryOrVirtual()
{
    ReaderLibrary reader;
    reader.library = LoadTermbLibrary();
    if (reader.library.loaded || !namedLibrary().empty() ||
        DynamicLibraryFileExists(ExeDir() + TermbFileName()))
        return reader;
    TermbLibrary stand = searchVirtualReader();
    if (stand.failure == TermbLoadFailure::NotFound)
        return reader;
    reader.missing = std::move(reader.library);
    reader.library = reported(std::move(stand));
    reader.standsIn = true;
    return reader;
}

} // namespace

ReaderLibrary LoadReaderLibraryOrVirtual()
{
    ReaderLibrary reader = loadReaderLibraryOrVirtual();
    RecordCallsFromEnvironment(reader.library);
    return reader;
}

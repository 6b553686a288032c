#include "reader/hosted_open.h"

#include <utility>

#include "reader/dynlib.h"
#include "reader/hosted_reader.h"
#include "reader/library_file.h"

bool OpenInReaderHost(TermbLibrary& lib, const std::string& file, const ReaderHosting& hosting)
{
    // A path to nothing needs no host to say so. A name without a directory
    // is the system's to look up, which only the host's loader may do.
    if (file.find_first_of("/\\") != std::string::npos && !DynamicLibraryFileExists(file)) {
        lib.failure = TermbLoadFailure::NotFound;
        lib.error = "no such file";
        return false;
    }
    auto host = std::make_shared<HostedReader>(hosting.program, file, hosting.callTimeout);
    std::string error;
    if (!host->Start(error)) {
        // The host program was there at setup, so a host that ends or stalls
        // before it greets did so loading this library: the library failed
        // to load, and the tool is still standing.
        lib.failure = DynamicLibraryFileExists(file) ? TermbLoadFailure::NotLoadable
                                                     : TermbLoadFailure::NotFound;
        lib.error = "reader host: " + error;
        if (lib.failure == TermbLoadFailure::NotLoadable)
            lib.fileCheck = CheckLibraryFile(file);
        return false;
    }
    const HostHello hello = host->Hello().value_or(HostHello{});
    lib.failure = hello.failure;
    lib.error = hello.error;
    lib.missing = hello.missing;
    if (lib.failure == TermbLoadFailure::NotLoadable)
        lib.fileCheck = CheckLibraryFile(file);
    if (lib.failure != TermbLoadFailure::None)
        return false;
    lib.api = host->Api();
    lib.loaded = true;
    lib.isVirtual = hello.isVirtual;
    lib.virtualInfo = hello.virtualInfo;
    lib.host = std::move(host);
    return true;
}

// Where no reader host can run yet, a library meant for one is not loaded;
// the setup never asks for one there, since no host program is found.

#include "reader/hosted_open.h"
#include "reader/hosted_reader.h"

bool OpenInReaderHost(TermbLibrary& lib, const std::string&, const ReaderHosting&)
{
    lib.failure = TermbLoadFailure::NotLoadable;
    lib.error = "no reader host on this platform";
    return false;
}

std::optional<ReaderHostFault> TakeReaderHostFault(const TermbApi&)
{
    return std::nullopt;
}

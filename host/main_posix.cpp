// zuviruzozozad-reader-host --parent <pid> <library>
//
// Loads the reader library, says how that went, then answers one request at
// a time on its channel (descriptor 3) until the tool closes it. It lives no
// longer than the tool: the kernel kills it when the tool ends.

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

#include "reader/host_protocol.h"
#include "reader/termb_loader.h"

namespace {

constexpr int kChannel = 3;

// Exit codes: the tool sees only that the channel closed; these are for a
// person running the host by hand.
constexpr int kUsage = 2;
constexpr int kBadRequest = 3;

bool readAll(void* data, std::size_t size)
{
    auto p = static_cast<char*>(data);
    while (size > 0) {
        const ssize_t n = recv(kChannel, p, size, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool writeAll(const std::vector<unsigned char>& frame)
{
    const unsigned char* p = frame.data();
    std::size_t size = frame.size();
    while (size > 0) {
        const ssize_t n = send(kChannel, p, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 4 || std::strcmp(argv[1], "--parent") != 0)
        return kUsage;
    // The death signal comes with the parent's end; a parent that ended
    // before it was asked for is seen by the changed parent id.
    const long parent = std::strtol(argv[2], nullptr, 10);
    if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || getppid() != parent)
        return 0;

    const TermbLibrary library = LoadTermbLibraryInProcess(argv[3]);
    if (!writeAll(EncodeHostHello(HostHelloOf(library))))
        return 0;
    std::vector<unsigned char> payload;
    for (;;) {
        unsigned char header[kHostFrameHeaderSize];
        if (!readAll(header, sizeof header))
            return 0; // the tool closed the channel
        const std::uint32_t size = HostFramePayloadSize(header);
        if (size > MaxHostRequestPayload())
            return kBadRequest;
        payload.resize(size);
        HostCall request;
        if (!readAll(payload.data(), size) ||
            !DecodeHostRequest(payload.data(), payload.size(), request))
            return kBadRequest;
        if (!writeAll(EncodeHostAnswer(PerformHostCall(library.api, request))))
            return 0;
    }
}

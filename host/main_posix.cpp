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

#include "reader/dynlib.h"
#include "serve.h"

namespace {

class SocketEnd : public HostChannelEnd
{
protected:
    long ReadSome(void* data, std::size_t size) override
    {
        ssize_t n;
        while ((n = recv(kChannel, data, size, 0)) < 0 && errno == EINTR) {
        }
        return n;
    }

    long WriteSome(const void* data, std::size_t size) override
    {
        ssize_t n;
        while ((n = send(kChannel, data, size, MSG_NOSIGNAL)) < 0 && errno == EINTR) {
        }
        return n;
    }

private:
    static constexpr int kChannel = 3;
};

} // namespace

int main(int argc, char** argv)
{
    RestrictLibrarySearch();
    if (argc != 4 || std::strcmp(argv[1], "--parent") != 0)
        return kHostExitUsage;
    // The death signal comes with the parent's end; a parent that ended
    // before it was asked for is seen by the changed parent id.
    const long parent = std::strtol(argv[2], nullptr, 10);
    if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || getppid() != parent)
        return 0;
    SocketEnd channel;
    return ServeReaderLibrary(argv[3], channel);
}

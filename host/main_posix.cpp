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
#include "reader/host_process.h"
#include "serve.h"

namespace {

class SocketEnd : public HostChannelEnd
{
public:
    bool ReadAll(void* data, std::size_t size) override
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

    bool WriteAll(const std::vector<unsigned char>& frame) override
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
    KeepHeapForHostFrames();
    SocketEnd channel;
    return ServeReaderLibrary(argv[3], channel);
}

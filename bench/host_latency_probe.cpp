// The cost of a reader host, against the virtual reader at zero latency with
// a card on it, in the tool's own process and then through the host:
// - each call: SDT_StartFindIDCard ZUVI_BENCH_CALLS times (default 5000), the
//   median and the 99th percentile of a round trip in microseconds;
// - each read pass: the reading thread's single read (find, select, read
//   with fingerprint, decode, both photo files, the status) ZUVI_BENCH_PASSES
//   times (default 2000), the CPU per pass of the tool and of its host
//   together, and the time per pass;
// - allocations (operator new) per read pass in the tool, in each mode (in
//   process the library's own among them), and per call in the host's loop,
//   which runs on a thread of the probe for the count, fed the calls of a
//   read pass (the library's own among them).
//
// TERMB_LIBRARY must name the virtual reader (scripts/bench.sh sets it).

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <new>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <vector>

#include "base/exe_dir.h"
#include "bench_support.h"
#include "reader/hosted_reader.h"
#include "reader/read_thread.h"
#include "reader/serial_ports.h"
#include "serve.h" // the reader host's loop
#include "state/shared_state.h"

// Every allocation of the probe's own threads, and those of the thread that
// runs the host's loop apart.
std::atomic<long> g_allocations{0};
std::atomic<long> g_hostAllocations{0};
thread_local bool t_isHost = false;

void* operator new(std::size_t size)
{
    (t_isHost ? g_hostAllocations : g_allocations).fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept
{
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}

namespace {

using Clock = std::chrono::steady_clock;

struct Figures
{
    double median;
    double p99;
};

Figures roundTrips(const TermbApi& api, int calls)
{
    if (api.SDT_OpenPort(1001) != kTermbOk) {
        std::fprintf(stderr, "bench: the virtual reader did not open port 1001\n");
        std::exit(1);
    }
    std::vector<double> us;
    us.reserve(calls);
    unsigned char manage[kManageBufferSize] = {};
    for (int i = 0; i < calls; ++i) {
        const auto t0 = Clock::now();
        const int result = api.SDT_StartFindIDCard(1001, manage, 0);
        us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
        if (result != kTermbCardFound) {
            std::fprintf(stderr, "bench: no card found (%d)\n", result);
            std::exit(1);
        }
    }
    std::sort(us.begin(), us.end());
    return {us[us.size() / 2], us[us.size() * 99 / 100]};
}

// CPU a process has used, in nanoseconds: the scheduler's own account of all
// its threads.
double cpuNs(long pid)
{
    const std::filesystem::path task = "/proc/" + std::to_string(pid) + "/task";
    double ns = 0;
    std::error_code error;
    for (const auto& thread : std::filesystem::directory_iterator(task, error)) {
        std::ifstream stat(thread.path() / "schedstat");
        double onCpu = 0;
        if (stat >> onCpu)
            ns += onCpu;
    }
    return ns;
}

struct PassFigures
{
    double cpuUs;       // the tool's and the host's CPU per pass
    double wallUs;      // time per pass
    double allocations; // the tool's, per pass
};

PassFigures readPasses(const TermbApi& api, long hostPid, int passes, const std::string& dir)
{
    ResetSharedState();
    PortNo = kUsbPort;
    SetExeDirOverride(dir);
    SetSerialPortSource([](std::vector<std::string>& names) {
        names.clear();
        return true;
    });
    TReadThread thread(api);
    thread.OwnerWnd = [](int status) { LastMsgCode = status; };
    if (!thread.CheckDevice()) {
        std::fprintf(stderr, "bench: the virtual reader did not open\n");
        std::exit(1);
    }
    const auto cpu = [&] { return cpuNs(getpid()) + (hostPid ? cpuNs(hostPid) : 0.0); };
    ReadMode = kReadOnce;
    thread.ReadCard(); // every buffer made before the count
    const long allocations0 = g_allocations;
    const double cpu0 = cpu();
    const auto t0 = Clock::now();
    for (int i = 0; i < passes; ++i) {
        ReadMode = kReadOnce;
        thread.ReadCard();
        if (LastMsgCode != RS_CARD_READ) {
            std::fprintf(stderr, "bench: pass %d read no card (%d)\n", i, LastMsgCode.load());
            std::exit(1);
        }
    }
    const double wallNs = std::chrono::duration<double, std::nano>(Clock::now() - t0).count();
    return {(cpu() - cpu0) / 1e3 / passes, wallNs / 1e3 / passes,
            double(g_allocations - allocations0) / passes};
}

// The host's end of a socket pair.
class PairEnd : public HostChannelEnd
{
public:
    explicit PairEnd(int fd) : m_fd(fd) {}

protected:
    long ReadSome(void* data, std::size_t size) override { return recv(m_fd, data, size, 0); }
    long WriteSome(const void* data, std::size_t size) override
    {
        return send(m_fd, data, size, MSG_NOSIGNAL);
    }

private:
    int m_fd;
};

bool receiveFrame(int fd, std::vector<unsigned char>& payload)
{
    unsigned char header[kHostFrameHeaderSize];
    if (recv(fd, header, sizeof header, MSG_WAITALL) != sizeof header)
        return false;
    payload.resize(HostFramePayloadSize(header));
    return recv(fd, payload.data(), payload.size(), MSG_WAITALL) == long(payload.size());
}

// The host's loop for `library` on a thread, fed the calls of a read pass
// `rounds` times: its allocations per call once every buffer is made.
double hostAllocationsPerCall(const std::string& library, int rounds)
{
    int pair[2];
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, pair) != 0)
        std::exit(1);
    std::thread host([&] {
        t_isHost = true;
        PairEnd end(pair[1]);
        ServeReaderLibrary(library, end);
    });
    std::vector<unsigned char> bytes;
    if (!receiveFrame(pair[0], bytes)) // the hello
        std::exit(1);
    unsigned char manage[kManageBufferSize] = {}, text[kTextBufferSize] = {},
                  photo[kPhotoBufferSize] = {}, fp[kHostFingerprintSize] = {},
                  bmp[kBitmapBufferSize] = {};
    const HostCall pass[] = {
        {TermbFunction::StartFindIDCard, 0, {1001, 0}, {manage}},
        {TermbFunction::SelectIDCard, 0, {1001, 0}, {manage}},
        {TermbFunction::ReadBaseFPMsg,
         0,
         {1001, 0, 0, int(kHostFingerprintSize), 0},
         {text, photo, fp}},
        {TermbFunction::Wlt2Bmp, 0, {}, {photo, bmp}},
    };
    long before = 0;
    for (int round = 0; round <= rounds; ++round) {
        if (round == 1)
            before = g_hostAllocations; // the first round made the host's buffers
        for (HostCall call : pass) {
            EncodeHostRequest(call, bytes);
            if (send(pair[0], bytes.data(), bytes.size(), MSG_NOSIGNAL) != long(bytes.size()) ||
                !receiveFrame(pair[0], bytes) ||
                !DecodeHostAnswer(bytes.data(), bytes.size(), call)) {
                std::fprintf(stderr, "bench: the host's loop did not answer\n");
                std::exit(1);
            }
        }
    }
    const long counted = g_hostAllocations - before;
    shutdown(pair[0], SHUT_RDWR);
    host.join();
    close(pair[0]);
    close(pair[1]);
    return double(counted) / (rounds * int(std::size(pass)));
}

int envCount(const char* name, int fallback)
{
    const char* env = std::getenv(name);
    return std::max(100, env ? std::atoi(env) : fallback);
}

} // namespace

int main()
{
    const int calls = envCount("ZUVI_BENCH_CALLS", 5000);
    const int passes = envCount("ZUVI_BENCH_PASSES", 2000);
    const std::string dir = scratchDir();
    const TermbLibrary library = loadVirtualReader(
        dir, R"({"latency_scale": 0, "ports": [1001], "timeline": {"mode": "fixed", "card": 1}})");
    const Figures in = roundTrips(library.api, calls);

    HostedReader hosted(READER_HOST, library.path);
    std::string error;
    if (!hosted.Start(error)) {
        std::fprintf(stderr, "bench: no reader host: %s\n", error.c_str());
        return 1;
    }
    const Figures host = roundTrips(hosted.Api(), calls);
    std::printf("SDT_StartFindIDCard round trip, %d calls: in process median %.1f us, p99 %.1f "
                "us; through the host median %.1f us, p99 %.1f us; added median %.1f us, p99 "
                "%.1f us\n",
                calls, in.median, in.p99, host.median, host.p99, host.median - in.median,
                host.p99 - in.p99);
    const PassFigures inPass = readPasses(library.api, 0, passes, dir);
    const PassFigures hostPass = readPasses(hosted.Api(), hosted.HostId(), passes, dir);
    std::printf("read pass, %d passes: in process CPU %.1f us, time %.1f us; through the host CPU "
                "(tool and host) %.1f us, time %.1f us; added CPU %.1f us per pass\n",
                passes, inPass.cpuUs, inPass.wallUs, hostPass.cpuUs, hostPass.wallUs,
                hostPass.cpuUs - inPass.cpuUs);
    std::printf("allocations: per read pass in the tool, in process %.1f, through the host %.1f; "
                "per call in the host's loop %.2f\n",
                inPass.allocations, hostPass.allocations,
                hostAllocationsPerCall(library.path, 200));
    return 0;
}

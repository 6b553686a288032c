// The cost of a reader host, against the virtual reader at zero latency with
// a card on it, in the tool's own process and then through the host:
// - each call: SDT_StartFindIDCard ZUVI_BENCH_CALLS times (default 5000), the
//   median and the 99th percentile of a round trip in microseconds;
// - each read pass: the reading thread's single read (find, select, read
//   with fingerprint, decode, both photo files, the status) ZUVI_BENCH_PASSES
//   times (default 2000), the CPU per pass of the tool and of its host
//   together, and the time per pass.
//
// TERMB_LIBRARY must name the virtual reader (scripts/bench.sh sets it).

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/exe_dir.h"
#include "bench_support.h"
#include "reader/hosted_reader.h"
#include "reader/read_thread.h"
#include "reader/serial_ports.h"
#include "state/shared_state.h"

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
    double cpuUs;  // the tool's and the host's CPU per pass
    double wallUs; // time per pass
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
    return {(cpu() - cpu0) / 1e3 / passes, wallNs / 1e3 / passes};
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
    return 0;
}

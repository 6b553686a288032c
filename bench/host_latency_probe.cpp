// The latency a reader host adds to each call: SDT_StartFindIDCard against
// the virtual reader at zero latency with a card on it, called in the tool's
// own process and then through the host, ZUVI_BENCH_CALLS times each (default
// 5000). Prints the median and the 99th percentile of a round trip in
// microseconds for both, and what the host adds.
//
// TERMB_LIBRARY must name the virtual reader (scripts/bench.sh sets it).

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "bench_support.h"
#include "reader/hosted_reader.h"

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

} // namespace

int main()
{
    const char* env = std::getenv("ZUVI_BENCH_CALLS");
    const int calls = std::max(100, env ? std::atoi(env) : 5000);
    const TermbLibrary library = loadVirtualReader(
        scratchDir(),
        R"({"latency_scale": 0, "ports": [1001], "timeline": {"mode": "fixed", "card": 1}})");
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
    return 0;
}

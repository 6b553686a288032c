// The tool's own cost per card and while it waits: decoding the base text,
// a whole read pass against the virtual reader at zero latency (so every
// microsecond is ours, not the reader's), resident memory after many cards,
// and the CPU the reading thread takes while idle and while it waits for a
// card to be removed from a reader with realistic latencies.
//
// TERMB_LIBRARY must name the virtual reader (scripts/bench.sh sets it).

#include <atomic>
#include <benchmark/benchmark.h>
#include <chrono>
#include <thread>
#include <vector>

#include "base/exe_dir.h"
#include "bench_support.h"
#include "card/card_info.h"
#include "reader/read_thread.h"
#include "reader/serial_ports.h"
#include "reader/termb.h"
#include "sim/cards.h"
#include "state/shared_state.h"

namespace {

using namespace std::chrono_literals;

const std::string& benchDir()
{
    static const std::string dir = scratchDir();
    return dir;
}

// A fresh shared state whose photo files go to the scratch directory and
// whose serial port list is empty, as on a machine with a USB reader only.
void freshState()
{
    ResetSharedState();
    PortNo = kUsbPort;
    SetExeDirOverride(benchDir());
    SetSerialPortSource([](std::vector<std::string>& names) {
        names.clear();
        return true;
    });
}

// Handles statuses as the main window does, without drawing anything.
void handleStatus(int status)
{
    if (status == LastMsgCode)
        return;
    LastMsgCode = status;
    if (status != RS_CARD_READ)
        LastIDCardNo.clear();
}

constexpr const char* kZeroLatencyCard =
    R"({"latency_scale": 0, "ports": [1001], "timeline": {"mode": "fixed", "card": 1}})";
// Default latencies; the card arrives after a while, as an operator puts it.
constexpr const char* kRealisticIdle =
    R"({"ports": [1001], "timeline": {"mode": "fixed", "card": null}})";
constexpr const char* kRealisticCardOn =
    R"({"ports": [1001], "timeline": {"mode": "fixed", "card": 0}})";

void BM_DecodeBaseText(benchmark::State& state)
{
    termbsim::CardImage image;
    std::string error;
    // The card with the longest name and the most characters to convert.
    if (!termbsim::BuildCardImage(termbsim::BuiltinCards()[2], image, error))
        state.SkipWithError(error.c_str());
    TIDCardInfo record{};
    for (auto _ : state) {
        DecodeBaseTextInto(record, image.baseText.data());
        benchmark::DoNotOptimize(record);
    }
}
BENCHMARK(BM_DecodeBaseText)->Unit(benchmark::kMicrosecond);

// One pass of a single read with the reader already open: find, select, read
// with fingerprint, decode, both photo files, the status.
void BM_ReadPass(benchmark::State& state)
{
    freshState();
    const TermbLibrary library = loadVirtualReader(benchDir(), kZeroLatencyCard);
    TReadThread thread(library.api);
    thread.OwnerWnd = handleStatus;
    if (!thread.CheckDevice())
        state.SkipWithError("the virtual reader did not open");
    for (auto _ : state) {
        ReadMode = kReadOnce;
        thread.ReadCard();
    }
    if (FieldText(CardInfo.IDCardNo).empty())
        state.SkipWithError("no card was read");
    state.counters["passes/s"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ReadPass)->Unit(benchmark::kMicrosecond)->UseRealTime();

// The read pass's reference: only its two files, written the plainest way
// (each created or emptied and written with stdio) into the same directory.
void BM_BareFileWrites(benchmark::State& state)
{
    const std::vector<unsigned char> wlt(1024, 0x11), bmp(kTermbBitmapSize, 0x22);
    const std::string files[] = {benchDir() + "/bare.wlt", benchDir() + "/bare.bmp"};
    for (auto _ : state)
        for (int i = 0; i < 2; ++i) {
            const std::vector<unsigned char>& bytes = i == 0 ? wlt : bmp;
            if (std::FILE* file = std::fopen(files[i].c_str(), "wb")) {
                std::fwrite(bytes.data(), 1, bytes.size(), file);
                std::fclose(file);
            }
        }
}
BENCHMARK(BM_BareFileWrites)->Unit(benchmark::kMicrosecond)->UseRealTime();

// Resident memory before and after 10,000 cards read as above.
void BM_MemoryAfterCards(benchmark::State& state)
{
    freshState();
    const TermbLibrary library = loadVirtualReader(benchDir(), kZeroLatencyCard);
    TReadThread thread(library.api);
    thread.OwnerWnd = handleStatus;
    thread.CheckDevice();
    // The first cards fill caches and file buffers; measure from there.
    for (int i = 0; i < 100; ++i) {
        ReadMode = kReadOnce;
        thread.ReadCard();
    }
    const long before = residentKiB();
    for (auto _ : state) {
        for (int i = 0; i < 10000; ++i) {
            ReadMode = kReadOnce;
            thread.ReadCard();
        }
    }
    state.counters["rss_KiB_before"] = double(before);
    state.counters["rss_KiB_after"] = double(residentKiB());
}
BENCHMARK(BM_MemoryAfterCards)->Iterations(1)->Unit(benchmark::kMillisecond);

// The reading thread on its own thread for `seconds`: the share of one core
// the whole process used in that time, in percent.
double cpuShare(const char* scenario, int mode, bool waitForCard, double seconds)
{
    freshState();
    const TermbLibrary library = loadVirtualReader(benchDir(), scenario);
    std::atomic<bool> cardRead{false};
    {
        TReadThread thread(library.api);
        thread.OwnerWnd = [&](int status) {
            handleStatus(status);
            if (status == RS_CARD_READ)
                cardRead = true;
        };
        ReadMode = mode;
        thread.Resume();
        if (waitForCard)
            while (!cardRead)
                std::this_thread::sleep_for(10ms);
        const double cpu0 = processCpuSeconds();
        const auto t0 = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
        const double cpu = processCpuSeconds() - cpu0;
        const double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        ReadMode = kReadIdle;
        thread.Terminate();
        thread.WaitFor(5000);
        return 100.0 * cpu / wall;
    }
}

void BM_CpuIdle(benchmark::State& state)
{
    double share = 0;
    for (auto _ : state)
        share = cpuShare(kRealisticIdle, kReadIdle, false, 3.0);
    state.counters["cpu_%"] = share;
}
BENCHMARK(BM_CpuIdle)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// Continuous reading, the card read and still on the reader: the removal wait
// polls back to back, each poll taking the reader's 40 ms.
void BM_CpuWaitingForRemoval(benchmark::State& state)
{
    double share = 0;
    for (auto _ : state)
        share = cpuShare(kRealisticCardOn, kReadContinuous, true, 3.0);
    state.counters["cpu_%"] = share;
}
BENCHMARK(BM_CpuWaitingForRemoval)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// Continuous reading with no card: every pass finds none, fails the select
// and reopens the reader, at the reader's latencies.
void BM_CpuSearchingForCard(benchmark::State& state)
{
    double share = 0;
    for (auto _ : state)
        share = cpuShare(kRealisticIdle, kReadContinuous, false, 3.0);
    state.counters["cpu_%"] = share;
}
BENCHMARK(BM_CpuSearchingForCard)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();

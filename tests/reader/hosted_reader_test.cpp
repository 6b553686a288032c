// The forwarding table against the real host program and a stand-in library
// that behaves, crashes, hangs or answers garbage on demand.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <tuple>

#include "hosted_reader_test.h"
#include "reader/hosted_reader.h"
#include "reader/termb_loader.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Everything the nine calls answer and leave in their buffers, each call
// given buffers with earlier contents, as a reused buffer has.
struct Outcome
{
    std::vector<int> results;
    std::vector<long long> lengths;
    std::vector<std::vector<unsigned char>> buffers;
    bool operator==(const Outcome& other) const
    {
        return std::tie(results, lengths, buffers) ==
               std::tie(other.results, other.lengths, other.buffers);
    }
};

template <std::size_t N> std::vector<unsigned char> seeded(unsigned char (&buffer)[N], int seed)
{
    for (std::size_t i = 0; i < N; ++i)
        buffer[i] = static_cast<unsigned char>(i % 7 == 0 ? 0 : i * seed);
    return {};
}

template <std::size_t N> std::vector<unsigned char> bytes(const unsigned char (&buffer)[N])
{
    return std::vector<unsigned char>(buffer, buffer + N);
}

Outcome callAll(const TermbApi& api)
{
    Outcome o;
    unsigned char manage[kManageBufferSize], text[kTextBufferSize], photo[kPhotoBufferSize],
        fp[kHostFingerprintSize], bmp[kBitmapBufferSize];
    unsigned char sam[kHostSamIdSize];
    seeded(manage, 3), seeded(text, 5), seeded(photo, 11), seeded(fp, 13), seeded(bmp, 17);
    seeded(sam, 19);
    unsigned textLen = 7, photoLen = 9;
    int fpLen = static_cast<int>(kHostFingerprintSize);

    o.results.push_back(api.SDT_ClosePort(1001));
    o.results.push_back(api.SDT_OpenPort(1001));
    o.results.push_back(api.SDT_GetSAMIDToStr(1001, reinterpret_cast<char*>(sam), 0));
    o.results.push_back(api.SDT_StartFindIDCard(1001, manage, 0));
    o.results.push_back(api.SDT_SelectIDCard(1001, manage, 0));
    o.results.push_back(api.SDT_ReadBaseMsg(1001, text, &textLen, photo, &photoLen, 0));
    o.lengths.insert(o.lengths.end(), {textLen, photoLen});
    o.results.push_back(
        api.SDT_ReadBaseFPMsg(1001, text, &textLen, photo, &photoLen, fp, &fpLen, 0));
    o.lengths.insert(o.lengths.end(), {textLen, photoLen, fpLen});
    o.results.push_back(api.Wlt2Bmp(photo, bmp));
    o.results.push_back(api.SDT_ReadNewAppMsg(1001, text, &textLen, 0));
    o.lengths.push_back(textLen);
    o.buffers = {bytes(sam), bytes(manage), bytes(text), bytes(photo), bytes(fp), bytes(bmp)};
    return o;
}

TEST_F(HostedReaderTest, AWellBehavedLibraryGivesWhatItGivesInProcess)
{
    const TermbLibrary inProcess = LoadTermbLibraryFrom(HOSTILE_TERMB);
    ASSERT_TRUE(inProcess.loaded) << inProcess.error;
    HostedReader hosted(READER_HOST, HOSTILE_TERMB);
    std::string error;
    ASSERT_TRUE(hosted.Start(error)) << error;
    ASSERT_TRUE(hosted.Hello());
    EXPECT_EQ(hosted.Hello()->failure, TermbLoadFailure::None);
    EXPECT_FALSE(hosted.Hello()->isVirtual);

    const Outcome expected = callAll(inProcess.api);
    EXPECT_EQ(callAll(hosted.Api()), expected);
    EXPECT_FALSE(hosted.TakeFault());
}

TEST_F(HostedReaderTest, TheHostSaysWhyALibraryDidNotLoad)
{
    HostedReader hosted(READER_HOST, "/nonexistent/libtermb.so");
    std::string error;
    ASSERT_TRUE(hosted.Start(error)) << error;
    EXPECT_EQ(hosted.Hello()->failure, TermbLoadFailure::NotFound);
    EXPECT_EQ(hosted.Api().SDT_OpenPort(1001), AbsentReaderApi().SDT_OpenPort(1001));
}

// A host program that is not there: no host starts, and each call fails
// as an absent reader's would, recorded as such.
TEST_F(HostedReaderTest, AHostThatCannotStartFailsEveryCall)
{
    HostedReader hosted(m_dir.file("no-such-host"), HOSTILE_TERMB);
    std::string error;
    EXPECT_FALSE(hosted.Start(error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(hosted.Api().SDT_ClosePort(1), AbsentReaderApi().SDT_ClosePort(1));
    const auto fault = hosted.TakeFault();
    ASSERT_TRUE(fault);
    EXPECT_EQ(fault->kind, ReaderHostFault::Kind::NotStarted);
    EXPECT_EQ(fault->function, TermbFunction::ClosePort);
}

// Each fault ends the call as an absent reader's would, is recorded with its
// kind and function, and the next call works in a fresh host.
TEST_F(HostedReaderTest, AFaultFailsTheCallAndTheNextCallWorksInAFreshHost)
{
    const struct
    {
        const char* function;
        const char* how;
        ReaderHostFault::Kind kind;
    } cases[] = {
        {"SDT_ReadBaseFPMsg", "null", ReaderHostFault::Kind::Crashed},
        {"SDT_ReadBaseFPMsg", "abort", ReaderHostFault::Kind::Crashed},
        {"SDT_ReadBaseFPMsg", "exit", ReaderHostFault::Kind::Crashed},
        {"SDT_ReadBaseFPMsg", "hang", ReaderHostFault::Kind::Hung},
        {"SDT_StartFindIDCard", "garbage", ReaderHostFault::Kind::Crashed},
        // Writing past a buffer ends the host before it answers.
        {"SDT_ReadBaseFPMsg", "overrun", ReaderHostFault::Kind::Crashed},
        {"SDT_OpenPort", "hang", ReaderHostFault::Kind::Hung},
    };
    const Outcome behaved = callAll(LoadTermbLibraryFrom(HOSTILE_TERMB).api);
    const Outcome absent = callAll(AbsentReaderApi());
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.function) + " " + c.how);
        // A short deadline for the hangs; the crashes get the default, as a
        // sanitizer's report of a crash in the host may take a while.
        const bool hangs = c.kind == ReaderHostFault::Kind::Hung;
        HostedReader hosted(READER_HOST, HOSTILE_TERMB, hangs ? 300ms : kDefaultReaderCallTimeout);
        tell(c.function, c.how);
        ASSERT_EQ(hosted.Api().SDT_ClosePort(1), 2); // a host runs
        const long before = hosted.HostId();
        const auto start = Clock::now();
        const Outcome o = callAll(hosted.Api());
        if (hangs) {
            EXPECT_LT(Clock::now() - start, 3s);
        }
        const auto fault = TakeReaderHostFault(hosted.Api());
        ASSERT_TRUE(fault);
        EXPECT_EQ(fault->kind, c.kind);
        EXPECT_STREQ(TermbFunctionName(fault->function), c.function);
        EXPECT_FALSE(hosted.TakeFault()); // taken
        // The failed call answered as an absent reader would.
        const auto failed =
            std::mismatch(o.results.begin(), o.results.end(), behaved.results.begin()).first -
            o.results.begin();
        ASSERT_LT(failed, static_cast<long>(o.results.size()));
        EXPECT_EQ(o.results[failed], absent.results[failed]);
        EXPECT_FALSE(ProcessAlive(before));

        tell("", "");
        EXPECT_EQ(callAll(hosted.Api()), behaved);
        EXPECT_NE(hosted.HostId(), before);
        EXPECT_FALSE(hosted.TakeFault());
    }
}

// The owner may go while a call hangs: the call fails at once, without a
// fault anybody could still read, and the host is ended.
TEST_F(HostedReaderTest, GoingWhileACallHangsNeverWaitsForIt)
{
    tell("SDT_StartFindIDCard", "hang");
    auto hosted = std::make_unique<HostedReader>(READER_HOST, HOSTILE_TERMB, 60s);
    const TermbApi api = hosted->Api();
    std::string error;
    ASSERT_TRUE(hosted->Start(error)) << error;
    const long host = hosted->HostId();
    std::atomic<int> result{-1};
    std::thread caller([&] {
        unsigned char manage[kManageBufferSize] = {};
        result = api.SDT_StartFindIDCard(1001, manage, 0);
    });
    std::this_thread::sleep_for(200ms);
    const auto start = Clock::now();
    hosted.reset();
    caller.join();
    EXPECT_LT(Clock::now() - start, 1s);
    EXPECT_TRUE(IsPortFailure(result));
    EXPECT_FALSE(ProcessAlive(host));
    unsigned char manage[kManageBufferSize] = {};
    EXPECT_TRUE(IsPortFailure(api.SDT_StartFindIDCard(1001, manage, 0)));
}

} // namespace

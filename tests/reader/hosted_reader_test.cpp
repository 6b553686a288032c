// The forwarding table against the real host program and a stand-in library
// that behaves, crashes, hangs or answers garbage on demand.

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <set>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "reader/hosted_reader.h"
#include "reader/termb_loader.h"
#include "tests/temp_dir.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// A process that is gone or a zombie: a host whose parent ended belongs to
// whoever adopts it, which may reap it late.
bool alive(long pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string skip, state;
    return stat >> skip >> skip >> state && state != "Z";
}

// Everything the nine calls answer and leave in their buffers, each call
// given buffers with earlier contents, as a reused buffer has.
struct Outcome
{
    std::vector<int> results;
    std::vector<long long> lengths;
    std::vector<std::vector<unsigned char>> buffers;
    bool operator==(const Outcome&) const = default;
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

class HostedReaderTest : public testing::Test
{
protected:
    void SetUp() override { ::setenv("HOSTILE_TERMB_CONTROL", m_control.c_str(), 1); }
    void TearDown() override { ::unsetenv("HOSTILE_TERMB_CONTROL"); }
    // Makes `function` misbehave as `how` says in every host from now on;
    // empty texts make the library behave again.
    void tell(const std::string& function, const std::string& how)
    {
        m_dir.write("control", function.empty() ? "" : function + " " + how);
    }

    TempDir m_dir;
    const std::string m_control = m_dir.file("control");
};

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

// A library that writes past the buffers it is given harms only the host's
// spare room: the caller gets the buffers' own bytes, and nothing failed.
TEST_F(HostedReaderTest, WritesPastTheBuffersStayInTheHost)
{
    const Outcome expected = callAll(LoadTermbLibraryFrom(HOSTILE_TERMB).api);
    tell("SDT_ReadBaseFPMsg", "overrun");
    HostedReader hosted(READER_HOST, HOSTILE_TERMB);
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
        EXPECT_FALSE(alive(before));

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
    EXPECT_FALSE(alive(host));
    unsigned char manage[kManageBufferSize] = {};
    EXPECT_TRUE(IsPortFailure(api.SDT_StartFindIDCard(1001, manage, 0)));
}

// The host holds its channel and the standard streams, nothing else of ours.
TEST_F(HostedReaderTest, TheHostInheritsOnlyItsChannel)
{
    const int leaked = ::dup(1); // no close-on-exec
    HostedReader hosted(READER_HOST, HOSTILE_TERMB);
    std::string error;
    ASSERT_TRUE(hosted.Start(error)) << error;
    std::set<std::string> fds;
    for (const auto& entry :
         std::filesystem::directory_iterator("/proc/" + std::to_string(hosted.HostId()) + "/fd"))
        fds.insert(entry.path().filename().string());
    ::close(leaked);
    EXPECT_EQ(fds, (std::set<std::string>{"0", "1", "2", "3"}));
}

// The host dies with the process that started it, even in a call that
// never returns, where it would not notice its channel closing.
TEST_F(HostedReaderTest, TheHostDiesWithItsParent)
{
    tell("SDT_OpenPort", "hang");
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        HostedReader hosted(READER_HOST, HOSTILE_TERMB, 60s);
        std::string error;
        long host = hosted.Start(error) ? hosted.HostId() : 0;
        if (::write(pipeFds[1], &host, sizeof host) != sizeof host)
            ::_exit(1);
        hosted.Api().SDT_OpenPort(1001);
        ::_exit(0);
    }
    long host = 0;
    ASSERT_EQ(::read(pipeFds[0], &host, sizeof host), static_cast<ssize_t>(sizeof host));
    ASSERT_GT(host, 0);
    std::this_thread::sleep_for(100ms); // in the call
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    const auto until = Clock::now() + 2s;
    while (alive(host) && Clock::now() < until)
        std::this_thread::sleep_for(10ms);
    EXPECT_FALSE(alive(host));
    ::kill(static_cast<pid_t>(host), SIGKILL); // never left behind, holding the test's output
}

} // namespace

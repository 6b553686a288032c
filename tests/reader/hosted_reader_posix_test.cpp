// The reader host on POSIX: what it inherits, and its end with its parent.

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <set>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "hosted_reader_test.h"
#include "reader/hosted_reader.h"

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

bool ProcessAlive(long id)
{
    std::ifstream stat("/proc/" + std::to_string(id) + "/stat");
    std::string skip, state;
    return stat >> skip >> skip >> state && state != "Z";
}

namespace {

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
    while (ProcessAlive(host) && Clock::now() < until)
        std::this_thread::sleep_for(10ms);
    EXPECT_FALSE(ProcessAlive(host));
    ::kill(static_cast<pid_t>(host), SIGKILL); // never left behind, holding the test's output
}

} // namespace

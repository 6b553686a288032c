// The single-instance lock: held by the first copy, seen by a later one, and
// never left behind by a copy that crashed.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include "base/single_instance.h"
#include "tests/temp_dir.h"

namespace {

class SingleInstanceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (const char* old = std::getenv("XDG_RUNTIME_DIR"))
            m_oldRuntimeDir = old;
        ::setenv("XDG_RUNTIME_DIR", m_dir.path().c_str(), 1);
    }
    void TearDown() override
    {
        if (m_oldRuntimeDir.empty())
            ::unsetenv("XDG_RUNTIME_DIR");
        else
            ::setenv("XDG_RUNTIME_DIR", m_oldRuntimeDir.c_str(), 1);
    }

    TempDir m_dir;
    std::string m_oldRuntimeDir;
};

TEST_F(SingleInstanceTest, FirstHoldsTheLockAndALaterCopySeesIt)
{
    SingleInstance first;
    EXPECT_FALSE(first.anotherIsRunning());
    SingleInstance second;
    EXPECT_TRUE(second.anotherIsRunning());
    // Both agree on where the running copy listens, beside the lock.
    EXPECT_EQ(first.signalName(), second.signalName());
    EXPECT_EQ(first.signalName(), m_dir.file(std::string(kInstanceName) + ".sock"));
}

TEST_F(SingleInstanceTest, DifferentNamesDoNotMeet)
{
    SingleInstance first("zuvi-a");
    SingleInstance second("zuvi-b");
    EXPECT_FALSE(second.anotherIsRunning());
}

TEST_F(SingleInstanceTest, CrashedCopyLeavesNoLockBehind)
{
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        SingleInstance crashed;
        std::abort();
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_TRUE(std::filesystem::exists(m_dir.file(std::string(kInstanceName) + ".lock")));
    SingleInstance next;
    EXPECT_FALSE(next.anotherIsRunning());
}

TEST_F(SingleInstanceTest, UnusableRuntimeDirectoryFallsBackToTmp)
{
    ::setenv("XDG_RUNTIME_DIR", m_dir.file("missing").c_str(), 1);
    SingleInstance first("zuvi-fallback-test");
    EXPECT_EQ(first.signalName().rfind("/tmp/zuvi-fallback-test-", 0), 0u);
    SingleInstance second("zuvi-fallback-test");
    EXPECT_TRUE(second.anotherIsRunning());
    std::string lock = first.signalName();
    lock.replace(lock.size() - 5, 5, ".lock");
    EXPECT_TRUE(std::filesystem::remove(lock));
}

TEST_F(SingleInstanceTest, LaterCopyReachesTheRunningOneOncePerRequest)
{
    SingleInstance first;
    const int listener = first.listenForLaterCopies();
    ASSERT_GE(listener, 0);
    // Nothing waiting: returns at once instead of blocking the window thread.
    EXPECT_FALSE(SingleInstance::takeShowRequest(listener));
    SingleInstance later;
    ASSERT_TRUE(later.anotherIsRunning());
    EXPECT_TRUE(later.askRunningCopyToShow());
    EXPECT_TRUE(later.askRunningCopyToShow());
    EXPECT_TRUE(SingleInstance::takeShowRequest(listener));
    EXPECT_TRUE(SingleInstance::takeShowRequest(listener));
    EXPECT_FALSE(SingleInstance::takeShowRequest(listener));
    ::close(listener);
}

TEST_F(SingleInstanceTest, SocketLeftByACrashedCopyIsNotAnsweredAndIsReplaced)
{
    SingleInstance first;
    ::close(first.listenForLaterCopies()); // the file stays, nobody listens
    ASSERT_TRUE(std::filesystem::exists(first.signalName()));
    EXPECT_FALSE(SingleInstance().askRunningCopyToShow());
    const int listener = first.listenForLaterCopies();
    ASSERT_GE(listener, 0);
    EXPECT_TRUE(SingleInstance().askRunningCopyToShow());
    EXPECT_TRUE(SingleInstance::takeShowRequest(listener));
    ::close(listener);
}

} // namespace

// The reading thread on its own std::thread: the shared state changes hands
// between the test thread and the worker as between the window and the
// thread, which is what the thread sanitizer run checks.

#include <chrono>
#include <future>
#include <gtest/gtest.h>
#include <thread>

#include "fake_reader.h"
#include "reader_test_support.h"

namespace {

using namespace std::chrono_literals;
using Ints = std::vector<int>;

class ThreadRunTest : public ReaderStateTest
{
};

TEST_F(ThreadRunTest, FollowsTheModeSetFromAnotherThread)
{
    FakeReader reader;
    FakeCard card;
    card.idNo = "110101199001011234";
    card.photo.assign(1024, 0x11);
    reader.cards.push_back(card); // stays on the reader
    StatusRecorder status;
    std::atomic<int> idleTicks{0};
    TReadThread thread(reader.api(), [&](int ms) {
        if (ms == 50)
            ++idleTicks;
        std::this_thread::sleep_for(1ms);
    });
    thread.OwnerWnd = std::ref(status);
    const StopsWithTheTest stops(thread);
    thread.Resume();

    ReadMode = kReadContinuous;
    ASSERT_TRUE(eventually([&] { return status.handled().size() == 2; }));
    ReadMode = kReadIdle; // ends the removal wait
    const int ticks = idleTicks;
    ASSERT_TRUE(eventually([&] { return idleTicks > ticks; }));

    LastMsgCode = 0; // as the single-read button does
    ReadMode = kReadOnce;
    ASSERT_TRUE(eventually([&] { return ReadMode == kReadIdle; }));

    thread.Terminate();
    ASSERT_TRUE(thread.WaitFor(20000));
    EXPECT_EQ(status.handled(),
              (Ints{RS_DEVICE_FOUND, RS_CARD_READ, RS_DEVICE_FOUND, RS_CARD_READ}));
    EXPECT_EQ(LastIDCardNo, card.idNo);
    EXPECT_EQ(FieldText(CardInfo.IDCardNo), card.idNo);
    EXPECT_EQ(reader.count("read") + reader.count("readfp"), 2);
}

TEST_F(ThreadRunTest, TheWindowMayClearTheCardNumberAtAnyMoment)
{
    // The read buttons clear LastIDCardNo outside any status, while the
    // thread reads it in every pass that finds no card.
    FakeReader reader;
    StatusRecorder status;
    std::atomic<int> passes{0};
    TReadThread thread(reader.api(), [&](int) {
        ++passes;
        std::this_thread::sleep_for(100us);
    });
    thread.OwnerWnd = std::ref(status);
    const StopsWithTheTest stops(thread);
    thread.Resume();
    ReadSleep = 1; // every pass then calls the sleep function, which counts it
    ReadMode = kReadContinuous;
    // Where sleeping 100 us does not wait (Wine rounds it down to nothing),
    // the passes outrun the clearing: a cap on them keeps the reader's call
    // count bounded.
    for (int i = 0; (i < 2000 && passes < 100000) || passes < 50; ++i) {
        LastIDCardNo.clear();
        LastIDCardNo = "110101199001011234";
        std::this_thread::yield();
    }
    ReadMode = kReadIdle;
    thread.Terminate();
    EXPECT_TRUE(thread.WaitFor(20000));
}

TEST_F(ThreadRunTest, ObjectCanGoWhileAReaderCallBlocks)
{
    FakeReader reader;
    std::promise<void> entered;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<bool> firstOpen{true};
    reader.onOpen = [&] {
        if (firstOpen.exchange(false)) {
            entered.set_value();
            released.wait();
        }
    };
    // Goes with the worker: tells when the thread has let go of everything.
    struct Probe
    {
        std::promise<void> gone;
        ~Probe() { gone.set_value(); }
    };
    auto probe = std::make_shared<Probe>();
    std::future<void> workerGone = probe->gone.get_future();
    StatusRecorder status;
    {
        TReadThread thread(reader.api(), [probe](int) { std::this_thread::sleep_for(1ms); });
        probe.reset();
        thread.OwnerWnd = std::ref(status);
        thread.Resume();
        ReadMode = kReadContinuous;
        entered.get_future().wait();
    } // neither joins nor aborts while SDT_OpenPort blocks
    release.set_value();
    ASSERT_EQ(workerGone.wait_for(20s), std::future_status::ready);
    // The window that owned the object may be gone: nothing is sent to it.
    EXPECT_TRUE(status.sent().empty());
}

} // namespace

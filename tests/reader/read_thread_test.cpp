// The reading thread's algorithm, driven on the test thread against the
// scripted reader, with a sleep function that ends the run deterministically.

#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <set>
#include <stdexcept>
#include <utility>

#ifndef _WIN32
#include <csignal>
#include <sys/resource.h>
#endif

#include "fake_reader.h"
#include "reader_test_support.h"

namespace {

using Ints = std::vector<int>;
using Names = std::vector<std::string>;

// Thrown by the sleep function to end a run before a given pass.
struct EndOfRun
{
};

class ReadThreadTest : public ReaderStateTest
{
protected:
    void SetUp() override
    {
        ReaderStateTest::SetUp();
        newThread();
        status.watchPhotos(&m_dir);
        // A thread that never goes idle fails its test instead of hanging it.
        reader.onOpen = [this] {
            if (reader.count("open") > 200)
                m_thread->Terminate();
        };
    }

    // A thread object that has never been terminated.
    void newThread()
    {
        m_thread = std::make_unique<TReadThread>(reader.api(), [this](int ms) { onSleep(ms); });
        m_thread->OwnerWnd = std::ref(status);
    }

    void onSleep(int ms)
    {
        sleeps.push_back(ms);
        if (ms == 50) {
            m_thread->Terminate(); // the first idle tick ends the run
        } else if (++m_passes > m_passLimit) {
            m_thread->Terminate();
            throw EndOfRun{};
        }
    }

    // Runs the body in continuous mode for exactly `passes` passes.
    void runContinuous(int passes)
    {
        ReadSleep = 1; // so that every pass begins with a call of the sleep function
        m_passLimit = passes;
        ReadMode = kReadContinuous;
        EXPECT_THROW(m_thread->Execute(), EndOfRun);
    }

    // Runs the body for one single read.
    void runSingleRead()
    {
        ReadMode = kReadOnce;
        m_thread->Execute();
    }

    TReadThread& thread() { return *m_thread; }

    FakeReader reader;
    StatusRecorder status;
    Ints sleeps;

private:
    std::unique_ptr<TReadThread> m_thread;
    int m_passes = 0;
    int m_passLimit = 1 << 30;
};

FakeCard card(const std::string& idNo, unsigned char photoByte)
{
    FakeCard c;
    c.idNo = idNo;
    c.photo.assign(1024, photoByte);
    return c;
}

// ---- device discovery ----

struct DiscoveryCase
{
    const char* name;
    std::optional<Names> serialPorts;
    int portNo;
    int setPortNo;
    std::set<int> answering;
    std::set<int> silentModule;
    Ints expectedOpened;
    bool expectedResult;
    Ints expectedSent;
    int expectedPortNo;
};

class DiscoveryTest : public ReadThreadTest, public ::testing::WithParamInterface<DiscoveryCase>
{
};

TEST_P(DiscoveryTest, TriesPortsInOrder)
{
    const DiscoveryCase& c = GetParam();
    serialPorts = c.serialPorts;
    PortNo = c.portNo;
    SetPortNo = c.setPortNo;
    reader.answeringPorts = c.answering;
    reader.silentModulePorts = c.silentModule;

    EXPECT_EQ(thread().CheckDevice(), c.expectedResult);
    EXPECT_EQ(reader.openedPorts(), c.expectedOpened);
    EXPECT_EQ(status.sent(), c.expectedSent);
    EXPECT_EQ(PortNo, c.expectedPortNo);
    EXPECT_EQ(DeviceOK, c.expectedResult);
    // Every port tried is closed first, then opened.
    EXPECT_EQ(reader.count("close"), reader.count("open"));
    EXPECT_EQ(reader.log.front(), "close " + std::to_string(c.expectedOpened.front()));
}

const Names kThreePorts{"COM2", "COM10", "COM1"};

INSTANTIATE_TEST_SUITE_P(
    ReadThread, DiscoveryTest,
    ::testing::Values(
        DiscoveryCase{"NoSerialPortList", std::nullopt, 1001, 0, {}, {}, {1001}, false, {2}, 1001},
        DiscoveryCase{"NoSerialPorts", Names{}, 1001, 0, {}, {}, {1001}, false, {2}, 1001},
        DiscoveryCase{"UsbAnswers", kThreePorts, 1001, 0, {1001}, {}, {1001}, true, {1}, 1001},
        DiscoveryCase{"CandidatesInTextOrder",
                      kThreePorts,
                      1001,
                      0,
                      {},
                      {},
                      {1001, 1, 10, 2},
                      false,
                      {2},
                      1001},
        DiscoveryCase{"LastPortFirstAndNotAgain",
                      kThreePorts,
                      10,
                      0,
                      {},
                      {},
                      {10, 1001, 1, 2},
                      false,
                      {2},
                      10},
        DiscoveryCase{"FoundOnSerialPort",
                      kThreePorts,
                      1001,
                      0,
                      {10, 2},
                      {},
                      {1001, 1, 10},
                      true,
                      {2, 1},
                      10},
        DiscoveryCase{"OpenWithoutModuleNumberFails",
                      kThreePorts,
                      1001,
                      0,
                      {2},
                      {1001, 1},
                      {1001, 1, 10, 2},
                      true,
                      {2, 1},
                      2},
        DiscoveryCase{"FixedPortIsNeverSearchedAround",
                      kThreePorts,
                      1001,
                      5,
                      {1001, 1, 2},
                      {},
                      {5},
                      false,
                      {2},
                      5},
        DiscoveryCase{
            "FixedPortAnswers", kThreePorts, 3, 1001, {1001}, {}, {1001}, true, {1}, 1001},
        DiscoveryCase{"NamesWithoutNumberAreSkipped",
                      Names{"COMx", "CO", "COM", "COM-4", "COM0", "COM4"},
                      1001,
                      0,
                      {4},
                      {},
                      {1001, 4},
                      true,
                      {2, 1},
                      4}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ReadThreadTest, OpenReaderIsNotTouchedAgain)
{
    DeviceOK = true;
    EXPECT_TRUE(thread().CheckDevice());
    EXPECT_TRUE(reader.log.empty());
    EXPECT_TRUE(status.sent().empty());
}

TEST_F(ReadThreadTest, ReaderLostOnSerialPortIsLookedForThereFirst)
{
    serialPorts = Names{"COM1", "COM3"};
    reader.answeringPorts = {3};
    ASSERT_TRUE(thread().CheckDevice());
    ASSERT_EQ(PortNo, 3);

    reader.log.clear();
    reader.answeringPorts.clear();
    DeviceOK = false;
    EXPECT_FALSE(thread().CheckDevice());
    EXPECT_EQ(reader.openedPorts(), (Ints{3, 1001, 1}));
    EXPECT_EQ(PortNo, 3);
}

// ---- serial port numbers ----

struct PortListCase
{
    std::optional<Names> listed;
    Names expected;
    bool expectedResult;
};

TEST_F(ReadThreadTest, SerialPortNumbersAreSortedAsText)
{
    const PortListCase cases[] = {
        {Names{"COM2", "COM11", "COM1", "COM10"}, {"1", "10", "11", "2"}, true},
        {Names{"COMb", "COMA", "COMc"}, {"A", "b", "c"}, true},
        {Names{"CO", "COM3"}, {"", "3"}, true},
        {Names{}, {}, true},
        {std::nullopt, {"kept"}, false},
    };
    for (const PortListCase& c : cases) {
        serialPorts = c.listed;
        Names list{"kept"};
        EXPECT_EQ(ListSerialPortNumbers(list), c.expectedResult);
        EXPECT_EQ(list, c.expected);
    }
}

// ---- read pass ----

class ReadPassTest : public ReadThreadTest
{
protected:
    void SetUp() override
    {
        ReadThreadTest::SetUp();
        DeviceOK = true;
        ReadMode = kReadOnce;
        reader.cards.push_back(card("110101199001011234", 0x11));
    }
};

TEST_F(ReadPassTest, ModuleNumberChoosesTheReadCall)
{
    struct Case
    {
        const char* samId;
        const char* expectedCall;
        int expectedLength;
    };
    const Case cases[] = {
        {"5-1-20260101-0000000001", "read 1001", 0},
        {"5-2", "read 1001", 0},
        {"05.01-20260101-0000000001-1234567890", "readfp 1024", 512},
        {"", "readfp 1024", 512},
        {"15-1", "readfp 1024", 512},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.samId);
        std::strcpy(SamIdStr, c.samId);
        CardInfo.FingerprintLength = 77; // a stale length from an earlier card
        reader.log.clear();
        DeviceOK = true;
        thread().ReadCard();
        EXPECT_EQ(reader.count(c.expectedCall), 1);
        EXPECT_EQ(CardInfo.FingerprintLength, c.expectedLength);
        EXPECT_EQ(FieldText(CardInfo.IDCardNo), "110101199001011234");
        EXPECT_EQ(LastIDCardNo, "110101199001011234");
    }
}

TEST_F(ReadPassTest, FindDecidesWhetherToSelect)
{
    struct Case
    {
        int mode;
        const char* lastIdCardNo;
        bool cardHandled;
        bool expectNoCard;
    };
    // Only continuous reading after a handled card whose display was cleared
    // reports the empty reader; every other miss goes on to a select.
    const Case cases[] = {
        {kReadContinuous, "", true, true},
        {kReadOnce, "", true, false},
        {kReadContinuous, "110101199001011234", true, false},
        {kReadContinuous, "", false, false},
    };
    reader.cards.clear();
    for (const Case& c : cases) {
        reader.log.clear();
        ResetSharedState();
        DeviceOK = true;
        ReadMode = c.mode;
        LastIDCardNo = c.lastIdCardNo;
        CardHandled = c.cardHandled;
        StatusRecorder fresh;
        thread().OwnerWnd = std::ref(fresh);
        thread().ReadCard();
        EXPECT_EQ(reader.count("select"), c.expectNoCard ? 0 : 1);
        EXPECT_EQ(fresh.sent(), c.expectNoCard ? Ints{RS_NO_CARD} : Ints{});
        // A failed select leaves the port to be reopened; a reported empty
        // reader keeps it.
        EXPECT_EQ(DeviceOK, c.expectNoCard);
    }
}

TEST_F(ReadPassTest, FailuresBeforeTheCardIsRead)
{
    struct Case
    {
        const char* name;
        std::deque<int> find, select, read;
        Ints expectedSent;
        bool expectedDeviceOk;
        bool expectedCardHandled;
    };
    const Case cases[] = {
        {"port fails at find", {2}, {}, {}, {}, false, false},
        {"port fails at find (0)", {0}, {}, {}, {}, false, false},
        {"select fails", {}, {7}, {}, {}, false, false},
        {"select answers 129", {}, {129}, {}, {RS_CARD_READ}, true, true},
        {"read fails", {}, {}, {65}, {RS_CARD_LOST}, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ResetSharedState();
        PortNo = kUsbPort;
        DeviceOK = true;
        ReadMode = kReadOnce;
        StatusRecorder fresh;
        thread().OwnerWnd = std::ref(fresh);
        reader.findScript = c.find;
        reader.selectScript = c.select;
        reader.readScript = c.read;
        thread().ReadCard();
        EXPECT_EQ(fresh.sent(), c.expectedSent);
        EXPECT_EQ(DeviceOK, c.expectedDeviceOk);
        EXPECT_EQ(CardHandled, c.expectedCardHandled);
    }
}

struct RemovalCase
{
    const char* name;
    std::deque<int> polls; // answers before the card's own (144, forever)
    Ints expectedSent;     // after RS_CARD_READ
    int expectedPollCalls;
    bool expectedDeviceOk;
    bool expectedCardHandled;
};

class RemovalWaitTest : public ReadPassTest, public ::testing::WithParamInterface<RemovalCase>
{
};

TEST_P(RemovalWaitTest, ReactsToEachAnswer)
{
    const RemovalCase& c = GetParam();
    ReadMode = kReadContinuous;
    reader.pollScript = c.polls;
    int calls = 0;
    reader.onPoll = [&] {
        if (++calls == 6)
            ReadMode = kReadIdle; // the card still lies there: stop reading
    };
    thread().ReadCard();
    Ints expected{RS_CARD_READ};
    expected.insert(expected.end(), c.expectedSent.begin(), c.expectedSent.end());
    EXPECT_EQ(status.sent(), expected);
    EXPECT_EQ(calls, c.expectedPollCalls);
    EXPECT_EQ(DeviceOK, c.expectedDeviceOk);
    EXPECT_EQ(CardHandled, c.expectedCardHandled);
}

INSTANTIATE_TEST_SUITE_P(
    ReadThread, RemovalWaitTest,
    ::testing::Values(RemovalCase{"CardStays", {144, 145, 144}, {}, 6, true, true},
                      RemovalCase{"CardTaken", {144, 65}, {RS_CARD_LOST}, 2, true, true},
                      RemovalCase{"OddAnswerThenCardThere", {7, 145}, {}, 6, true, true},
                      RemovalCase{"PortFailureIsRetriedOnce", {0, 144}, {}, 6, true, true},
                      RemovalCase{"PortFailure", {9, 3}, {}, 2, false, false},
                      RemovalCase{"TwoOddAnswers", {9, 9}, {RS_CARD_LOST}, 2, true, true},
                      RemovalCase{"GoneOnRetry", {9, 65}, {RS_CARD_LOST}, 2, true, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ReadPassTest, StoppingWhileTheCardIsShownEndsTheWaitBeforeItsFirstPoll)
{
    reader.onPoll = [&] { ReadMode = kReadIdle; }; // keeps a faulty wait from hanging
    for (const bool terminate : {false, true}) {
        ReadMode = kReadContinuous;
        DeviceOK = true;
        LastMsgCode = 0;
        status.onStatus = [&](int s) {
            if (s != RS_CARD_READ)
                return;
            if (terminate)
                thread().Terminate();
            else
                ReadMode = kReadIdle;
        };
        thread().ReadCard();
        EXPECT_EQ(reader.count("poll"), 0);
    }
}

// ---- the thread body ----

TEST_F(ReadThreadTest, SingleReadWithoutCardIsOnePass)
{
    runSingleRead();
    EXPECT_EQ(status.sent(), (Ints{RS_DEVICE_FOUND}));
    EXPECT_EQ(ReadMode, kReadIdle);
    EXPECT_EQ(reader.count("find"), 1);
    EXPECT_EQ(reader.count("select"), 1);
    EXPECT_EQ(reader.count("readfp") + reader.count("read"), 0);
}

TEST_F(ReadThreadTest, SingleReadReadsTheCard)
{
    reader.cards.push_back(card("110101199001011234", 0x21));
    runSingleRead();
    EXPECT_EQ(status.sent(), (Ints{RS_DEVICE_FOUND, RS_CARD_READ}));
    EXPECT_EQ(ReadMode, kReadIdle);
    EXPECT_EQ(reader.count("poll"), 0);
}

TEST_F(ReadThreadTest, PauseBeforeEachPass)
{
    const std::pair<int, Ints> cases[] = {{0, {50}},    {999, {999, 50}}, {1000, {50}},
                                          {5000, {50}}, {-5, {50}},       {1, {1, 50}}};
    for (const auto& [readSleep, expected] : cases) {
        SCOPED_TRACE(readSleep);
        sleeps.clear();
        newThread();
        ReadSleep = readSleep;
        runSingleRead();
        EXPECT_EQ(sleeps, expected);
    }
}

TEST_F(ReadThreadTest, ContinuousWithoutCardReopensThePortEachPass)
{
    runContinuous(3);
    EXPECT_EQ(reader.openedPorts(), (Ints{1001, 1001, 1001}));
    EXPECT_EQ(status.sent(), (Ints{1, 1, 1}));
    EXPECT_EQ(status.handled(), (Ints{1}));
}

TEST_F(ReadThreadTest, CardLeftOnTheReaderIsReadOnce)
{
    reader.cards.push_back(card("110101199001011234", 0x31));
    int polls = 0;
    reader.onPoll = [&] {
        if (++polls == 100)
            ReadMode = kReadIdle;
    };
    ReadMode = kReadContinuous;
    thread().Execute();
    EXPECT_EQ(status.sent(), (Ints{RS_DEVICE_FOUND, RS_CARD_READ}));
    EXPECT_EQ(reader.count("find"), 1);
}

TEST_F(ReadThreadTest, RemovedCardThenEmptyReader)
{
    FakeCard first = card("110101199001011234", 0x41);
    first.polls = 3;
    reader.cards.push_back(first);
    runContinuous(3);
    EXPECT_EQ(status.sent(), (Ints{1, 3, 4, 6, 6}));
    EXPECT_EQ(status.handled(), (Ints{1, 3, 4, 6}));
    // The empty reader is reported without touching the port again.
    EXPECT_EQ(reader.openedPorts(), (Ints{1001}));
    EXPECT_EQ(reader.count("select"), 1);
    EXPECT_EQ(reader.count("find"), 3);
}

TEST_F(ReadThreadTest, PortFailureWhileWaitingReopensTheReader)
{
    reader.cards.push_back(card("110101199001011234", 0x51));
    reader.pollScript = {1, 1};
    int polls = 0;
    reader.onPoll = [&] {
        if (++polls == 10)
            ReadMode = kReadIdle;
    };
    ReadMode = kReadContinuous;
    thread().Execute();
    // No status for the failure itself; the next pass reopens the reader and
    // reads the card that still lies there.
    EXPECT_EQ(status.sent(), (Ints{1, 3, 1, 3}));
    EXPECT_EQ(reader.openedPorts(), (Ints{1001, 1001}));
    EXPECT_EQ(reader.count("select"), 2);
}

TEST_F(ReadThreadTest, EachCardShowsItsOwnPhoto)
{
    FakeCard first = card("110101199001011234", 0x61);
    first.polls = 0;
    FakeCard second = card("220101199001011234", 0x62);
    second.absentFinds = 1;
    second.polls = 0;
    FakeCard third = card("330101199001011234", 0x63);
    third.bitmapResult = 0; // its photo does not convert
    third.polls = 0;
    reader.cards = {first, second, third};
    runContinuous(4);

    EXPECT_EQ(status.shownIds(),
              (Names{"110101199001011234", "220101199001011234", "330101199001011234"}));
    const auto photos = status.shownPhotos();
    ASSERT_EQ(photos.size(), 3u);
    EXPECT_EQ(photos[0], std::string(kTermbBitmapSize, '\x61'));
    EXPECT_EQ(photos[1], std::string(kTermbBitmapSize, '\x62'));
    EXPECT_EQ(photos[2], ""); // no photo rather than the second card's
    EXPECT_FALSE(std::filesystem::exists(m_dir.file("zp.bmp")));
    EXPECT_EQ(m_dir.read("zp.wlt"), std::string(1024, '\x63'));
}

TEST_F(ReadThreadTest, StalePhotoIsReplacedAndLengthBounded)
{
    m_dir.write("zp.bmp", "an earlier holder's photo");
    m_dir.write("zp.wlt", std::string(3000, 'x'));
    FakeCard big = card("110101199001011234", 0x71);
    big.photo.assign(kPhotoBufferSize, 0x71);
    big.reportedPhotoLength = 5000;
    reader.cards.push_back(big);
    runSingleRead();
    EXPECT_EQ(m_dir.read("zp.wlt"), std::string(kPhotoBufferSize, '\x71'));
    EXPECT_EQ(m_dir.read("zp.bmp"), std::string(kTermbBitmapSize, '\x71'));
}

TEST_F(ReadThreadTest, NothingInAPassEndsTheThread)
{
    // The port list fails badly once; the status target throws once; and a
    // window that is gone takes no status at all.
    int listings = 0;
    SetSerialPortSource([&](Names&) -> bool {
        if (++listings == 1)
            throw std::runtime_error("registry gone");
        return false;
    });
    bool thrown = false;
    status.onStatus = [&](int) {
        if (!std::exchange(thrown, true))
            throw std::runtime_error("window gone");
    };
    FakeCard once = card("110101199001011234", 0x81);
    once.polls = 0;
    reader.cards.push_back(once);
    runContinuous(2);
    EXPECT_EQ(status.sent(), (Ints{RS_DEVICE_FOUND, RS_CARD_READ, RS_CARD_LOST}));

    thread().OwnerWnd = nullptr;
    DeviceOK = false;
    reader.cards = {card("220101199001011234", 0x82)};
    thread().CheckDevice();
    thread().ReadCard();
    EXPECT_EQ(LastIDCardNo, "220101199001011234");
    EXPECT_EQ(status.sent().size(), 3u);
}

// ---- writing a file ----

TEST_F(ReadThreadTest, SaveBufToFileReplacesTheWholeFile)
{
    const std::string file = m_dir.file("zp.wlt");
    m_dir.write("zp.wlt", std::string(5000, 'o'));
    const std::vector<unsigned char> bytes{0, 1, 2, 0xFF};
    EXPECT_TRUE(SaveBufToFile(file, bytes.data(), bytes.size()));
    EXPECT_EQ(m_dir.read("zp.wlt"), std::string("\0\1\2\xFF", 4));
    EXPECT_TRUE(SaveBufToFile(file, nullptr, 0));
    EXPECT_EQ(m_dir.read("zp.wlt"), "");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_dir.path()), {}), 1);

    EXPECT_FALSE(SaveBufToFile(m_dir.file("missing/zp.wlt"), bytes.data(), bytes.size()));
}

#ifndef _WIN32
// A full disk, made by a file size limit: the write comes up short.
TEST_F(ReadThreadTest, ShortWriteLeavesNoFile)
{
    m_dir.write("zp.bmp", "an earlier holder's photo");
    const std::vector<unsigned char> bitmap(kTermbBitmapSize, 0x42);
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto savedHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved;
    limited.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    const bool written = SaveBufToFile(m_dir.file("zp.bmp"), bitmap.data(), bitmap.size());
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, savedHandler);

    EXPECT_FALSE(written);
    EXPECT_TRUE(std::filesystem::is_empty(m_dir.path()));
}
#endif

} // namespace

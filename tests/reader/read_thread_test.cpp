// The reading thread's algorithm on the test thread against the scripted
// reader; the sleep function ends each run at a known point.

#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <set>
#include <stdexcept>
#include <tuple>
#include <utility>

#ifndef _WIN32
#include <csignal>
#include <sys/resource.h>
#endif

#include "base/diagnostics.h"
#include "card/card_kinds.h"
#include "fake_reader.h"
#include "reader/photo_files.h"
#include "reader_test_support.h"
#include "tests/card/base_text_builder.h"

namespace {

using Ints = std::vector<int>;
using Names = std::vector<std::string>;
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
        // A thread that never goes idle fails its test instead of hanging it.
        reader.onOpen = [this] {
            if (reader.count("open") > 200)
                m_thread->Terminate();
        };
    }
    void newThread()
    {
        m_thread = std::make_unique<TReadThread>(reader.api(), [this](int ms) {
            sleeps.push_back(ms);
            // Every run here ends at its first idle tick or within a few
            // dozen passes: a thread that sleeps on past that has lost its
            // idle tick, and fails now instead of at the suite's timeout.
            if (sleeps.size() > kMaxSleeps) {
                ADD_FAILURE() << "the run did not end: no idle tick of 50 ms in " << kMaxSleeps
                              << " sleeps, the last of " << ms << " ms";
                m_thread->Terminate();
                return;
            }
            if (ms == 50) {
                m_thread->Terminate(); // the first idle tick ends the run
            } else if (++m_passes > m_passLimit) {
                m_thread->Terminate(); // nothing after the run may wait for a card
                throw EndOfRun{};      // before the pass after the last one wanted
            }
        });
        m_thread->OwnerWnd = std::ref(status);
    }
    // Exactly `passes` passes of continuous reading; each begins with a pause.
    void runContinuous(int passes)
    {
        ReadSleep = 1;
        m_passLimit = passes;
        ReadMode = kReadContinuous;
        EXPECT_THROW(m_thread->Execute(), EndOfRun);
    }
    void runSingleRead()
    {
        ReadMode = kReadOnce;
        m_thread->Execute();
    }
    TReadThread& thread() { return *m_thread; }

    FakeReader reader;
    StatusRecorder status;
    Ints sleeps;
    static constexpr std::size_t kMaxSleeps = 1000;

private:
    std::unique_ptr<TReadThread> m_thread;
    int m_passes = 0;
    int m_passLimit = 1 << 30;
};

FakeCard card(const std::string& idNo, unsigned char photoByte, int polls = -1)
{
    FakeCard c{idNo, std::vector<unsigned char>(1024, photoByte)};
    c.polls = polls;
    return c;
}

TEST_F(ReadThreadTest, DiscoveryTriesPortsInOrder)
{
    struct Case
    {
        std::optional<Names> serialPorts;
        int portNo, setPortNo;
        std::set<int> answering, silentModule;
        Ints opened;
        Ints sent;
        int portNoAfter;
    };
    const Names com{"COM2", "COM10", "COM1"};
    const Case cases[] = {
        {std::nullopt, 1001, 0, {}, {}, {1001}, {2}, 1001}, // no port list: USB only
        {Names{}, 1001, 0, {}, {}, {1001}, {2}, 1001},
        {com, 1001, 0, {1001}, {}, {1001}, {1}, 1001},
        {com, 1001, 0, {}, {}, {1001, 1, 10, 2}, {2}, 1001}, // text order
        {com, 10, 0, {}, {}, {10, 1001, 1, 2}, {2}, 10},     // last port first, once
        {com, 1001, 0, {10, 2}, {}, {1001, 1, 10}, {2, 1}, 10},
        {com, 1001, 0, {2}, {1001, 1}, {1001, 1, 10, 2}, {2, 1}, 2}, // no module number
        {com, 1001, 5, {1001, 1, 2}, {}, {5}, {2}, 5},               // fixed port only
        {com, 3, 1001, {1001}, {}, {1001}, {1}, 1001},
        {Names{"COMx", "CO", "COM", "COM-4", "COM0", "COM4"},
         1001,
         0,
         {4},
         {},
         {1001, 4},
         {2, 1},
         4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.opened));
        int listings = 0;
        SetSerialPortSource([&](Names& names) {
            ++listings;
            if (c.serialPorts)
                names = *c.serialPorts;
            return c.serialPorts.has_value();
        });
        ResetSharedState();
        StatusRecorder fresh;
        thread().OwnerWnd = std::ref(fresh);
        reader.log.clear();
        serialPorts = c.serialPorts;
        PortNo = c.portNo;
        SetPortNo = c.setPortNo;
        reader.answeringPorts = c.answering;
        reader.silentModulePorts = c.silentModule;
        const bool found = c.sent.back() == RS_DEVICE_FOUND;
        EXPECT_EQ(thread().CheckDevice(), found);
        EXPECT_EQ(DeviceOK, found);
        EXPECT_EQ(reader.openedPorts(), c.opened);
        EXPECT_EQ(fresh.sent(), c.sent);
        EXPECT_EQ(PortNo, c.portNoAfter);
        EXPECT_EQ(reader.log.front(), "close " + std::to_string(c.opened.front()));
        // The system's port list is read only when a search needs it.
        EXPECT_EQ(listings, c.sent.front() == RS_NO_DEVICE && c.setPortNo == 0 ? 1 : 0);
    }
}

TEST_F(ReadThreadTest, LostSerialReaderIsLookedForThereFirst)
{
    serialPorts = Names{"COM1", "COM3"};
    reader.answeringPorts = {3};
    ASSERT_TRUE(thread().CheckDevice());
    reader.log.clear();
    reader.answeringPorts.clear();
    DeviceOK = false;
    EXPECT_FALSE(thread().CheckDevice());
    EXPECT_EQ(reader.openedPorts(), (Ints{3, 1001, 1}));
}

TEST_F(ReadThreadTest, SerialPortNumbersAreSortedAsText)
{
    const std::pair<std::optional<Names>, Names> cases[] = {
        {Names{"COM2", "COM11", "COM1", "COM10"}, {"1", "10", "11", "2"}},
        {Names{"COMb", "COMA", "CO"}, {"", "A", "b"}},
        {std::nullopt, {"kept"}},
    };
    for (const auto& [listed, expected] : cases) {
        serialPorts = listed;
        Names list{"kept"};
        EXPECT_EQ(ListSerialPortNumbers(list), listed.has_value());
        EXPECT_EQ(list, expected);
    }
}

TEST_F(ReadThreadTest, ModuleNumberChoosesTheReadCall)
{
    const std::tuple<const char*, const char*, int> cases[] = {
        {"5-1-20260101", "read 1001", 0},
        {"5-2", "read 1001", 0},
        {"05.01-20260101-0000000001", "readfp 1024", 512},
        {"15-1", "readfp 1024", 512},
    };
    reader.cards.push_back(card("110101199001011234", 0x11));
    PortNo = kUsbPort;
    ReadMode = kReadOnce;
    for (const auto& [samId, call, length] : cases) {
        SCOPED_TRACE(samId);
        std::strcpy(SamIdStr, samId);
        CardInfo.FingerprintLength = 77; // left from an earlier card
        reader.log.clear();
        DeviceOK = true;
        thread().ReadCard();
        EXPECT_EQ(reader.count(call), 1);
        EXPECT_EQ(CardInfo.FingerprintLength, length);
        EXPECT_EQ(LastIDCardNo, "110101199001011234");
    }
}

TEST_F(ReadThreadTest, FindSelectAndReadFailures)
{
    struct Case
    {
        const char* name;
        int mode;
        const char* lastIdCardNo;
        bool cardHandled, cardThere;
        std::deque<int> find, select, read;
        int selects;
        Ints sent;
        bool deviceOk, cardHandledAfter;
    };
    // Only continuous reading after a handled card whose view was cleared
    // reports the empty reader without a select.
    const Case cases[] = {
        {"empty after a card", 2, "", true, false, {}, {}, {}, 0, {RS_NO_CARD}, true, true},
        {"empty, single read", 1, "", true, false, {}, {}, {}, 1, {}, false, true},
        {"empty, card still shown", 2, "1101", true, false, {}, {}, {}, 1, {}, false, true},
        {"empty, nothing handled", 2, "", false, false, {}, {}, {}, 1, {}, false, false},
        {"port fails at find", 2, "", true, true, {3}, {}, {}, 0, {}, false, true},
        {"select fails", 1, "", false, true, {}, {7}, {}, 1, {}, false, false},
        {"select answers 129", 1, "", false, true, {}, {129}, {}, 1, {RS_CARD_READ}, true, true},
        {"read fails", 1, "", false, true, {}, {}, {65}, 1, {RS_CARD_LOST}, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ResetSharedState();
        DeviceOK = true;
        ReadMode = c.mode;
        LastIDCardNo = c.lastIdCardNo;
        CardHandled = c.cardHandled;
        StatusRecorder fresh;
        thread().OwnerWnd = std::ref(fresh);
        reader.log.clear();
        reader.cards.clear();
        if (c.cardThere)
            reader.cards.push_back(card("110101199001011234", 0x11, 0));
        reader.findScript = c.find;
        reader.selectScript = c.select;
        reader.readScript = c.read;
        thread().ReadCard();
        EXPECT_EQ(reader.count("select"), c.selects);
        EXPECT_EQ(fresh.sent(), c.sent);
        EXPECT_EQ(DeviceOK, c.deviceOk);
        EXPECT_EQ(CardHandled, c.cardHandledAfter);
    }
}

TEST_F(ReadThreadTest, RemovalWaitReactsToEachAnswer)
{
    struct Case
    {
        std::deque<int> polls; // then 144 for ever, until the sixth poll stops reading
        Ints sent;
        int pollCalls;
        bool deviceOk;
    };
    const Case cases[] = {
        {{144, 145, 144}, {3}, 6, true}, {{144, 65}, {3, 4}, 2, true}, {{7, 145}, {3}, 6, true},
        {{0, 144}, {3}, 6, true}, // one odd answer is retried
        {{9, 3}, {3}, 2, false},         {{9, 9}, {3, 4}, 2, true},    {{9, 65}, {3, 4}, 2, true},
    };
    reader.cards.push_back(card("110101199001011234", 0x11));
    int calls = 0;
    reader.onPoll = [&] {
        if (++calls == 6)
            ReadMode = kReadIdle;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.sent) + " after " + std::to_string(c.polls[0]));
        StatusRecorder fresh;
        thread().OwnerWnd = std::ref(fresh);
        calls = 0;
        DeviceOK = true;
        ReadMode = kReadContinuous;
        reader.pollScript = c.polls;
        thread().ReadCard();
        EXPECT_EQ(fresh.sent(), c.sent);
        EXPECT_EQ(calls, c.pollCalls);
        EXPECT_EQ(DeviceOK, c.deviceOk);
        EXPECT_EQ(CardHandled, c.deviceOk); // a port failure clears both
    }
}

TEST_F(ReadThreadTest, StoppingWhileTheCardIsShownEndsTheWaitBeforeItsFirstPoll)
{
    reader.cards.push_back(card("110101199001011234", 0x11));
    reader.onPoll = [&] { ReadMode = kReadIdle; };
    for (const bool terminate : {false, true}) {
        ReadMode = kReadContinuous;
        DeviceOK = true;
        LastMsgCode = 0;
        status.onStatus = [&](int) {
            terminate ? thread().Terminate() : void(ReadMode = kReadIdle);
        };
        thread().ReadCard();
        EXPECT_EQ(reader.count("poll"), 0);
    }
}

TEST_F(ReadThreadTest, SingleReadWithoutCardIsOnePass)
{
    runSingleRead();
    EXPECT_EQ(status.sent(), (Ints{RS_DEVICE_FOUND}));
    EXPECT_EQ(ReadMode, kReadIdle);
    EXPECT_EQ(reader.count("find"), 1);
    EXPECT_EQ(reader.count("select"), 1);
}

TEST_F(ReadThreadTest, PauseBeforeEachPass)
{
    const std::pair<int, Ints> cases[] = {{0, {50}},    {1, {1, 50}}, {999, {999, 50}},
                                          {1000, {50}}, {5000, {50}}, {-5, {50}}};
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
}

TEST_F(ReadThreadTest, RemovedCardThenEmptyReader)
{
    reader.cards.push_back(card("110101199001011234", 0x41, 3));
    runContinuous(3);
    EXPECT_EQ(status.sent(), (Ints{1, 3, 4, 6, 6}));
    EXPECT_EQ(reader.openedPorts(), (Ints{1001})); // the port is left alone
    EXPECT_EQ(reader.count("select"), 1);
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
    EXPECT_EQ(status.sent(), (Ints{1, 3, 1, 3})); // no status for the failure itself
    EXPECT_EQ(reader.openedPorts(), (Ints{1001, 1001}));
}

TEST_F(ReadThreadTest, EachCardShowsItsOwnPhoto)
{
    FakeCard second = card("220101199001011234", 0x62, 0);
    second.absentFinds = 1;
    FakeCard third = card("330101199001011234", 0x63, 0);
    third.bitmapResult = 0; // does not convert
    reader.cards = {card("110101199001011234", 0x61, 0), second, third};
    runContinuous(4);

    EXPECT_EQ(status.shownIds(),
              (Names{"110101199001011234", "220101199001011234", "330101199001011234"}));
    EXPECT_EQ(status.shownPhotos(), (Names{std::string(kTermbBitmapSize, '\x61'),
                                           std::string(kTermbBitmapSize, '\x62'), ""}));
    EXPECT_EQ(m_dir.read("zp.wlt"), std::string(1024, '\x63'));
    // The second card's bitmap is gone, so nothing reads it as the third's.
    EXPECT_FALSE(std::filesystem::exists(m_dir.file("zp.bmp")));
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
    EXPECT_EQ(status.sent(), (Ints{RS_DEVICE_FOUND, RS_CARD_READ}));
    EXPECT_EQ(m_dir.read("zp.wlt"), std::string(kPhotoBufferSize, '\x71'));
    EXPECT_EQ(m_dir.read("zp.bmp"), std::string(kTermbBitmapSize, '\x71'));
}

// A card of each kind: CardInfo is the base text decoded as an identity
// card, exactly as before; CardKindInfo holds the kind and its record, and
// LastIDCardNo the card's number, never empty, whatever the kind.
FakeCard kindCard(const std::string& mark, const std::function<void(BaseTextBuilder&)>& fill,
                  unsigned char photoByte)
{
    BaseTextBuilder b;
    fill(b);
    if (!mark.empty())
        b.field(kKindMarkOffset, 2, mark);
    FakeCard c = card("", photoByte, 0);
    c.baseText.assign(b.bytes().begin(), b.bytes().end());
    return c;
}

TEST_F(ReadThreadTest, EachKindIsDecodedBesideTheIdCardRecord)
{
    const FakeCard cards[] = {
        kindCard(
            "", [](BaseTextBuilder& b) { b.name("测试").idNumber("110101199001011234"); }, 0x61),
        kindCard(
            "I",
            [](BaseTextBuilder& b) {
                b.field(0, 120, "SAMPLE JOHN")
                    .field(120, 2, "1")
                    .field(122, 30, "USA998503150001")
                    .field(152, 6, "USA")
                    .field(158, 30, "约翰·示例");
            },
            0x62),
        kindCard(
            "J",
            [](BaseTextBuilder& b) {
                b.name("陈示例").idNumber("810000199007200014").field(220, 18, "H99000001");
            },
            0x63),
        kindCard(
            "Y", [](BaseTextBuilder& b) { b.field(0, 120, "NEW LAYOUT"); }, 0x64),
        kindCard(
            "Q", [](BaseTextBuilder&) {}, 0x65),
    };
    for (const FakeCard& c : cards)
        reader.cards.push_back(c);
    reader.cards[1].absentFinds = reader.cards[2].absentFinds = 1;
    reader.cards[3].absentFinds = reader.cards[4].absentFinds = 1;
    runContinuous(9);

    EXPECT_EQ(status.shownKinds(),
              (std::vector<CardKind>{CardKind::IdCard, CardKind::ForeignPermanent,
                                     CardKind::HkMacaoTaiwanPermit, CardKind::ForeignPermanent2023,
                                     CardKind::Unknown}));
    const Names numbers = status.shownNumbers();
    ASSERT_EQ(numbers.size(), 5u);
    EXPECT_EQ(numbers[0], "110101199001011234");
    EXPECT_EQ(numbers[1], "USA998503150001");
    EXPECT_EQ(numbers[2], "810000199007200014");
    EXPECT_EQ(numbers[3].rfind("Y-", 0), 0u) << numbers[3];
    EXPECT_EQ(numbers[4].rfind("Q-", 0), 0u) << numbers[4];
    EXPECT_EQ(numbers[3].size(), 10u);
    // The identity card's record is the base text read as an identity card,
    // for every kind: the foreign card's ID number field holds its card number
    // and nationality.
    EXPECT_EQ(status.shownIds(),
              (Names{"110101199001011234", "USA998503150001USA", "810000199007200014", "", ""}));

    // The last card's records stay until the next read clears them.
    EXPECT_EQ(CardKindInfo.Kind, CardKind::Unknown);
    TIDCardInfo expected{};
    DecodeBaseTextInto(expected, cards[4].baseText.data());
    EXPECT_EQ(std::memcmp(CardInfo.Name, expected.Name, offsetof(TIDCardInfo, AppAddress)), 0);
}

TEST_F(ReadThreadTest, KindRecordOfTheCardShown)
{
    reader.cards.push_back(kindCard(
        "I",
        [](BaseTextBuilder& b) {
            b.field(0, 120, "SAMPLE   JOHN").field(122, 30, "USA998503150001").field(152, 6, "DEU");
        },
        0x62));
    std::string englishName, nationality;
    status.onStatus = [&](int s) {
        if (s == RS_CARD_READ) {
            englishName = FieldText(CardKindInfo.Foreign.EnglishName);
            nationality = FieldText(CardKindInfo.Foreign.NationalityCode);
        }
    };
    runSingleRead();
    EXPECT_EQ(status.sent(), (Ints{RS_DEVICE_FOUND, RS_CARD_READ}));
    EXPECT_EQ(englishName, "SAMPLE JOHN");
    EXPECT_EQ(nationality, "DEU");
}

// An identity card's LastIDCardNo stays exactly CardInfo's ID number field,
// whatever that field holds: blanks, double-byte characters, a field that
// the decoding cuts, nothing at all.
TEST_F(ReadThreadTest, IdCardNumberStaysTheIdNumberField)
{
    const std::string numbers[] = {"110101199001011234", " 1101 01199001011X",
                                   "一二三四五六七八九十一二三四五六七八", "", "11010119900101123"};
    unsigned char photo = 0x40;
    for (const std::string& number : numbers) {
        FakeCard c = kindCard(
            "", [&](BaseTextBuilder& b) { b.name("测试").idNumber(number); }, ++photo);
        c.absentFinds = reader.cards.empty() ? 0 : 1;
        reader.cards.push_back(c);
    }
    runContinuous(2 * static_cast<int>(std::size(numbers)) - 1);
    const Names ids = status.shownIds();
    ASSERT_EQ(ids.size(), std::size(numbers));
    EXPECT_EQ(status.shownNumbers(), ids);
    EXPECT_EQ(ids[1], "110101199001011X"); // blanks removed, as DecodeBaseText does
    EXPECT_EQ(ids[2].size(), 19u);         // cut to the field, no NUL
    EXPECT_EQ(status.shownKinds(), std::vector<CardKind>(std::size(numbers), CardKind::IdCard));
}

// A read that fails after a foreign card leaves no trace of it in either
// record, as CardInfo has always been cleared after the select.
TEST_F(ReadThreadTest, FailedReadClearsTheKindRecordToo)
{
    reader.cards.push_back(kindCard(
        "I", [](BaseTextBuilder& b) { b.field(122, 30, "USA998503150001"); }, 0x62));
    runSingleRead();
    ASSERT_EQ(CardKindInfo.Kind, CardKind::ForeignPermanent);
    reader.readScript = {1};
    status.onStatus = [](int s) {
        if (s != RS_CARD_LOST)
            return;
        EXPECT_EQ(CardKindInfo.Kind, CardKind::IdCard);
        EXPECT_EQ(CardNumberText(CardKindInfo), "");
        EXPECT_EQ(FieldText(CardKindInfo.Foreign.CardNo), "");
    };
    newThread();
    runSingleRead();
    EXPECT_EQ(status.sent().back(), RS_CARD_LOST);

    ResetSharedState();
    TCardKindInfo zero{};
    EXPECT_EQ(std::memcmp(&CardKindInfo, &zero, sizeof zero), 0);
}

// The card view shows the bitmap made for the card just read, never one
// left from an earlier card: not when the files cannot be written, and not
// when the converter claims a bitmap it did not write.
TEST_F(ReadThreadTest, ShownPhotoIsAlwaysThisCards)
{
    FakeCard unwritten = card("220101199001011234", 0x62, 0);
    unwritten.absentFinds = 1;
    unwritten.bitmapWritten = false;
    reader.cards = {card("110101199001011234", 0x61, 0), unwritten};
    SetExeDirOverride((m_dir.path() / "gone" / "").string()); // nothing can be written there
    runContinuous(3);
    EXPECT_EQ(status.shownPhotos(),
              (Names{std::string(kTermbBitmapSize, '\x61'), std::string(kTermbBitmapSize, '\0')}));
}

// A port that opens but gives no security-module number is closed again;
// one that answers stays open for the reading.
TEST_F(ReadThreadTest, PortThatDoesNotAnswerIsClosedAgain)
{
    serialPorts = Names{"COM3"};
    reader.silentModulePorts = {1001};
    reader.answeringPorts = {3};
    runSingleRead();
    EXPECT_EQ(
        std::vector<std::string>(reader.log.begin(), reader.log.begin() + 7),
        (Names{"close 1001", "open 1001", "sam 1001", "close 1001", "close 3", "open 3", "sam 3"}));
    EXPECT_EQ(reader.count("close"), 3);
}

// Each pass notes the stop count it began under, before it reports anything,
// so the window can tell statuses of stopped reading apart.
TEST_F(ReadThreadTest, PassesCarryTheStopCountTheyBeganUnder)
{
    StopCount = 5;
    std::vector<int> counts;
    status.onStatus = [&](int) { counts.push_back(PassStopCount); };
    runSingleRead();
    EXPECT_EQ(counts, (Ints{5}));
}

// Continuous reading stopped and started again while a pass runs: that pass
// ends after its read instead of waiting for the card to leave, and the new
// reading begins like any other, with device discovery, then reads the card
// that still lies there and shows it.
TEST_F(ReadThreadTest, PassOfStoppedReadingDoesNotWaitForRemoval)
{
    reader.cards.push_back(card("110101199001011234", 0x31, 2));
    bool restarted = false;
    status.onStatus = [&](int s) {
        if (s == RS_DEVICE_FOUND && !std::exchange(restarted, true)) {
            // The pass has begun; its read is still to come.
            ReadMode = kReadIdle;
            ++StopCount;
            ReadMode = kReadContinuous;
        }
    };
    Ints pauses;
    TReadThread own(reader.api(), [&](int ms) {
        pauses.push_back(ms);
        const Ints sent = status.sent();
        if (pauses.size() > 10 || (!sent.empty() && sent.back() == RS_CARD_LOST))
            throw EndOfRun{};
    });
    own.OwnerWnd = std::ref(status);
    ReadSleep = 1;
    ReadMode = kReadContinuous;
    EXPECT_THROW(own.Execute(), EndOfRun);

    EXPECT_EQ(status.sent(),
              (Ints{RS_DEVICE_FOUND, RS_CARD_READ, RS_DEVICE_FOUND, RS_CARD_READ, RS_CARD_LOST}));
    EXPECT_EQ(pauses, (Ints{1, 50, 1, 1})); // an idle tick between the two readings
    Names cardCalls;
    for (const std::string& call : reader.log) {
        const std::string name = call.substr(0, call.find(' '));
        if (name != "open" && name != "close" && name != "sam")
            cardCalls.push_back(name);
    }
    EXPECT_EQ(cardCalls, (Names{"find", "select", "readfp", "find", "select", "readfp", "poll",
                                "poll", "poll"}));
}

// A single read asked for while a pass of continuous reading still runs gets
// a pass of its own instead of ending with the old one.
TEST_F(ReadThreadTest, SingleReadAfterStoppingGetsItsOwnPass)
{
    reader.cards.push_back(card("110101199001011234", 0x31));
    reader.onPoll = [&] {
        // Stopped, and a single read pressed, while the pass still runs.
        LastMsgCode = 0;
        ReadMode = kReadOnce;
        reader.onPoll = {};
    };
    ReadSleep = 0;
    ReadMode = kReadContinuous;
    thread().Execute();
    EXPECT_EQ(status.shownIds(), (Names{"110101199001011234", "110101199001011234"}));
    EXPECT_EQ(ReadMode, kReadIdle);
}

// Without a pause, passes that fail at once are still an idle tick apart.
// Once resumed, the thread alone calls the reader: the steps refuse to run
// on another thread beside it.
TEST_F(ReadThreadTest, StepsRefuseToRunBesideTheResumedThread)
{
    thread().Resume();
    EXPECT_FALSE(thread().CheckDevice());
    thread().ReadCard();
    ASSERT_TRUE(thread().WaitFor(5000));
    EXPECT_TRUE(reader.log.empty());
}

TEST_F(ReadThreadTest, PassesWithoutPauseAreATickApart)
{
    reader.answeringPorts = {};
    Ints paced;
    TReadThread paced_thread(reader.api(), [&](int ms) {
        paced.push_back(ms);
        if (paced.size() == 3)
            ReadMode = kReadIdle;
        if (ms == 50 && ReadMode == kReadIdle)
            throw EndOfRun{};
    });
    ReadSleep = 0;
    ReadMode = kReadContinuous;
    EXPECT_THROW(paced_thread.Execute(), EndOfRun);
    ASSERT_GE(paced.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_GE(paced[i], 40) << i; // the fake's calls take next to no time
}

TEST_F(ReadThreadTest, NothingInAPassEndsTheThread)
{
    int listings = 0;
    SetSerialPortSource([&](Names&) -> bool {
        if (++listings == 1)
            throw std::runtime_error("port list gone");
        return false;
    });
    bool thrown = false;
    status.onStatus = [&](int) {
        if (!std::exchange(thrown, true))
            throw std::runtime_error("window gone");
    };
    reader.cards.push_back(card("110101199001011234", 0x81, 0));
    PortNo = 7; // does not answer, so the first pass lists the ports
    // Both absorbed failures reach the diagnostic sink.
    static std::vector<std::string> reports;
    reports.clear();
    SetDiagnosticSink([](DiagArea area, std::string_view message) {
        reports.push_back(DiagAreaName(area) + std::string(": ") + std::string(message));
    });
    runContinuous(2);
    SetDiagnosticSink(nullptr);
    EXPECT_EQ(status.sent(),
              (Ints{RS_NO_DEVICE, RS_NO_DEVICE, RS_DEVICE_FOUND, RS_CARD_READ, RS_CARD_LOST}));
    EXPECT_EQ(reports, (Names{"status: status 2 not delivered: window gone",
                              "read-pass: pass ended: port list gone"}));

    thread().OwnerWnd = nullptr; // a window that is gone takes nothing
    reader.cards = {card("220101199001011234", 0x82)};
    DeviceOK = false;
    thread().CheckDevice();
    thread().ReadCard();
    EXPECT_EQ(LastIDCardNo, "220101199001011234");
    EXPECT_EQ(status.sent().size(), 5u);
}

TEST_F(ReadThreadTest, SaveBufToFileWritesAllOrNothing)
{
    m_dir.write("zp.bmp", std::string(50000, 'o'));
    const std::vector<unsigned char> bitmap(kTermbBitmapSize, 0x42);
    EXPECT_TRUE(SaveBufToFile(m_dir.file("zp.bmp"), bitmap.data(), 4));
    EXPECT_EQ(m_dir.read("zp.bmp"), "BBBB");
    EXPECT_FALSE(SaveBufToFile(m_dir.file("missing/zp.bmp"), bitmap.data(), 4));
    // Files are reused in place: a shorter content after a longer one keeps
    // nothing of it, in turn after turn.
    const std::size_t lengths[] = {kTermbBitmapSize, 1024, 0, 3, kTermbBitmapSize, 7};
    for (const std::size_t length : lengths) {
        const std::vector<unsigned char> bytes(length,
                                               static_cast<unsigned char>('a' + length % 26));
        ASSERT_TRUE(SaveBufToFile(m_dir.file("zp.wlt"), bytes.data(), length));
        EXPECT_EQ(m_dir.read("zp.wlt"), std::string(bytes.begin(), bytes.end())) << length;
    }
    std::filesystem::remove(m_dir.file("zp.wlt"));
    std::filesystem::remove(m_dir.file("zp.wlt.part"));
#ifndef _WIN32
    // A full disk, made by a file size limit: the write comes up short, and
    // neither the partial file nor the earlier one is left.
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
#endif
}

} // namespace

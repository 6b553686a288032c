// Scenario files: cards given field by field or with a bitmap photo, each
// fault kind, and scenarios that cannot be used.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "card/card_info.h"
#include "card/card_kinds.h"
#include "card/gbk.h"
#include "sim/cards.h"
#include "sim/photo.h"
#include "sim/scenario.h"
#include "sim_support.h"

namespace {

class Scenario : public VirtualReaderTest
{
protected:
    std::vector<int> finds(int n)
    {
        std::vector<int> out;
        for (int i = 0; i < n; ++i)
            out.push_back(find());
        return out;
    }
    std::vector<int> selects(int n)
    {
        std::vector<int> out;
        for (int i = 0; i < n; ++i)
            out.push_back(select());
        return out;
    }
    std::vector<int> reads(int n)
    {
        std::vector<int> out;
        for (int i = 0; i < n; ++i)
            out.push_back(read().code);
        return out;
    }
    void useFaults(const std::string& faults)
    {
        useScenario(R"({"latency_scale": 0, "timeline": {"mode": "fixed", "card": 0}, "faults": )" +
                    faults + "}");
        ASSERT_EQ(open(), kTermbOk);
    }
};

using ::testing::ElementsAre;

TEST_F(Scenario, CardGivenFieldByField)
{
    useScenario(R"({"latency_scale": 0,
        "cards": [{"name": "李 样例", "sex": 2, "nation": 1, "birth": "19900101",
                   "address": "示例市示例路1号", "id_number": "990101199001010021",
                   "authority": "示例市公安局", "start": "20200101", "end": "20300101",
                   "fingerprint": false}],
        "timeline": {"mode": "fixed", "card": 0}})");
    ASSERT_EQ(open(), kTermbOk);
    BaseRead r = read();
    ASSERT_EQ(r.code, kTermbOk);
    EXPECT_EQ(r.fingerprintLen, 0);
    TIDCardInfo record{};
    DecodeBaseTextInto(record, r.text.data());
    EXPECT_EQ(GbkToUtf8(FieldText(record.Name)), "李样例");
    EXPECT_EQ(GbkToUtf8(FieldText(record.Sex)), "女");
    EXPECT_EQ(GbkToUtf8(FieldText(record.Nation)), "汉族");
    EXPECT_EQ(GbkToUtf8(FieldText(record.Address)), "示例市示例路1号");
    EXPECT_EQ(FieldText(record.IDCardNo), "990101199001010021");
    EXPECT_EQ(FieldText(record.EndDate), "20300101");
    std::vector<unsigned char> bmp(kBitmapBufferSize);
    EXPECT_EQ(api().Wlt2Bmp(r.photo.data(), bmp.data()), kTermbBitmapSize) << "a drawn portrait";
}

TEST_F(Scenario, BuiltinCardWithChangedFieldsAndZeroPadding)
{
    useScenario(R"({"latency_scale": 0,
        "cards": [{"builtin": "han-male", "name": "王测试", "end": "长期", "padding": "zero"}],
        "timeline": {"mode": "fixed", "card": 0}})");
    ASSERT_EQ(open(), kTermbOk);
    BaseRead r = read();
    ASSERT_EQ(r.code, kTermbOk);
    EXPECT_EQ(r.text[6], 0); // after three characters: U+0000, not a blank
    TIDCardInfo record{};
    DecodeBaseTextInto(record, r.text.data());
    EXPECT_EQ(GbkToUtf8(FieldText(record.Name)), "王测试");
    EXPECT_EQ(GbkToUtf8(FieldText(record.EndDate)), "长期");
    EXPECT_EQ(FieldText(record.IDCardNo), "990101198503150113");
    EXPECT_EQ(r.fingerprintLen, 1024);
}

TEST_F(Scenario, CardsOfEveryKindGivenFieldByField)
{
    const struct
    {
        const char* card;
        ::CardKind kind; // the tool's kinds, not the virtual reader's
        const char* number;
    } cases[] = {
        {R"({"kind": "foreign", "english_name": "SAMPLE  ANNA", "sex": 2, "id_number":
             "JPN999001010003", "nationality": "JPN", "version": "01", "authority": "9901"})",
         ::CardKind::ForeignPermanent, "JPN999001010003"},
        {R"({"kind": "permit", "name": "何示例", "id_number": "820000199001010013",
             "pass_number": "M99000003", "issue_count": "01"})",
         ::CardKind::HkMacaoTaiwanPermit, "820000199001010013"},
        {R"({"kind": "foreign-2023"})", ::CardKind::ForeignPermanent2023, nullptr},
        // A mark no kind has, through the identity card's last field.
        {R"({"builtin": 0, "reserved": "              Z"})", ::CardKind::Unknown, nullptr},
    };
    for (const auto& c : cases) {
        useScenario(std::string(R"({"latency_scale": 0, "cards": [)") + c.card +
                    R"(], "timeline": {"mode": "fixed", "card": 0}})");
        ASSERT_EQ(open(), kTermbOk) << c.card;
        BaseRead r = read();
        ASSERT_EQ(r.code, kTermbOk) << c.card;
        TCardKindInfo info{};
        DecodeCardKind(r.text.data(), info);
        EXPECT_EQ(info.Kind, c.kind) << c.card;
        if (c.number) {
            EXPECT_EQ(CardNumberText(info), c.number);
        }
    }
}

TEST_F(Scenario, PhotoFromABitmapFile)
{
    // Three colours in bands, written by hand as a bottom-up 24-bit bitmap.
    std::string file(38862, '\0');
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            file[at + i] = static_cast<char>(v >> (8 * i));
    };
    file[0] = 'B';
    file[1] = 'M';
    put32(2, 38862);
    put32(10, 54);
    put32(14, 40);
    put32(18, 102);
    put32(22, 126);
    file[26] = 1;
    file[28] = 24;
    for (int row = 0; row < 126; ++row) {
        for (int x = 0; x < 102; ++x) {
            const int band = (x / 34 + row / 42) % 3;
            const char bgr[3][3] = {
                {'\xFF', '\xFF', '\xFF'}, {'\x20', '\x40', '\xC0'}, {'\x10', '\x10', '\x10'}};
            std::copy(bgr[band], bgr[band] + 3, file.begin() + 54 + row * 308 + 3 * x);
        }
    }
    m_dir.write("photo.bmp", file);
    useScenario(R"({"latency_scale": 0, "cards": [{"builtin": 3, "photo": "photo.bmp"}],
                    "timeline": {"mode": "fixed", "card": 0}})");
    ASSERT_EQ(open(), kTermbOk);
    BaseRead r = read();
    ASSERT_EQ(r.code, kTermbOk);
    std::vector<unsigned char> bmp(kBitmapBufferSize);
    ASSERT_EQ(api().Wlt2Bmp(r.photo.data(), bmp.data()), kTermbBitmapSize);
    EXPECT_TRUE(
        std::equal(file.begin() + 54, file.end(), bmp.begin() + 54,
                   [](char a, unsigned char b) { return static_cast<unsigned char>(a) == b; }));
}

TEST_F(Scenario, FindPortFailureSequence)
{
    useFaults(R"({"find_port_failure": {"sequence": [false, true, 2, null]}})");
    EXPECT_THAT(finds(5), ElementsAre(kTermbCardFound, 1, 2, kTermbCardFound, kTermbCardFound));
}

TEST_F(Scenario, SelectFailureSequenceRepeats)
{
    useFaults(R"({"select_failure": {"sequence": [true, false, 130], "repeat": true}})");
    EXPECT_THAT(selects(6), ElementsAre(128, kTermbOk, 130, 128, kTermbOk, 130));
}

TEST_F(Scenario, ReadFailureSequence)
{
    useFaults(R"({"read_failure": {"sequence": [false, true], "repeat": true, "code": 66}})");
    EXPECT_THAT(reads(4), ElementsAre(kTermbOk, 66, kTermbOk, 66));
}

TEST_F(Scenario, CardLeavesDuringReadUntilItIsPlacedAgain)
{
    useManualScenario(R"("faults": {"card_leaves_during_read": {"sequence": [false, true]}})");
    ASSERT_EQ(open(), kTermbOk);
    placeCard("2");
    EXPECT_EQ(read().code, kTermbOk);
    EXPECT_EQ(read().code, kTermbCardGone);
    EXPECT_EQ(find(), 128);
    EXPECT_EQ(stillThere(), kTermbCardGone);
    placeCard("");
    EXPECT_EQ(find(), 128);
    placeCard("2");
    EXPECT_EQ(find(), kTermbCardFound);
    EXPECT_EQ(read().code, kTermbOk);
}

TEST_F(Scenario, CardLeavesDuringReadInACycleUntilTheNextTurn)
{
    useScenario(R"({"latency_scale": 0, "timeline": {"mode": "cycle", "on_ms": 1000, "off_ms": 0},
                    "faults": {"card_leaves_during_read": {"sequence": [true]}}})");
    ASSERT_EQ(open(), kTermbOk);
    EXPECT_EQ(read().code, kTermbCardGone);
    EXPECT_EQ(find(), 128);
    advanceVirtualClock(1000);
    EXPECT_EQ(find(), kTermbCardFound);
}

TEST_F(Scenario, ReaderVanishesAndComesBackWithItsPortsClosed)
{
    useFaults(R"({"reader_vanishes": {"sequence": [false, true], "duration_ms": 1000}})");
    EXPECT_EQ(find(), kTermbCardFound);
    EXPECT_TRUE(IsPortFailure(find()));
    EXPECT_NE(open(), kTermbOk);
    int code = 0;
    samId(1001, &code);
    EXPECT_TRUE(IsPortFailure(code));
    advanceVirtualClock(1000);
    EXPECT_TRUE(IsPortFailure(find())) << "back, but the port must be opened again";
    EXPECT_EQ(open(), kTermbOk);
    EXPECT_EQ(find(), kTermbCardFound);
}

TEST_F(Scenario, ReaderVanishesAtGivenTimes)
{
    useFaults(R"({"reader_vanishes": {"at_ms": [500], "duration_ms": 1000}})");
    EXPECT_EQ(find(), kTermbCardFound);
    advanceVirtualClock(600);
    EXPECT_TRUE(IsPortFailure(find()));
    EXPECT_NE(open(), kTermbOk);
    advanceVirtualClock(1000);
    EXPECT_TRUE(IsPortFailure(find()));
    EXPECT_EQ(open(), kTermbOk);
    EXPECT_EQ(find(), kTermbCardFound);
}

TEST_F(Scenario, AnAbsenceBetweenTwoCallsStillClosesThePorts)
{
    useFaults(R"({"reader_vanishes": {"at_ms": [500], "duration_ms": 100}})");
    EXPECT_EQ(find(), kTermbCardFound);
    advanceVirtualClock(1000); // no call fell inside the absence
    EXPECT_TRUE(IsPortFailure(find()));
}

TEST_F(Scenario, PhotoThatDoesNotDecode)
{
    useFaults(R"({"photo_corrupt": {"sequence": [true]}})");
    std::vector<unsigned char> bmp(kBitmapBufferSize);
    BaseRead r = read();
    ASSERT_EQ(r.code, kTermbOk);
    EXPECT_NE(api().Wlt2Bmp(r.photo.data(), bmp.data()), kTermbBitmapSize);
    r = read();
    ASSERT_EQ(r.code, kTermbOk);
    EXPECT_EQ(api().Wlt2Bmp(r.photo.data(), bmp.data()), kTermbBitmapSize);
}

TEST_F(Scenario, ProbabilityWithASeedIsRepeatable)
{
    const std::string faults = R"({"select_failure": {"probability": 0.3, "seed": 7}})";
    useFaults(faults);
    const std::vector<int> first = selects(200);
    const auto failures = std::count(first.begin(), first.end(), 128);
    EXPECT_GT(failures, 30);
    EXPECT_LT(failures, 90);
    useFaults(faults);
    EXPECT_EQ(selects(200), first);
    useFaults(R"({"select_failure": {"probability": 0.3, "seed": 8}})");
    EXPECT_NE(selects(200), first);
}

TEST_F(Scenario, ProbabilityZeroAndOne)
{
    useFaults(R"({"read_failure": {"probability": 0}, "find_port_failure": {"probability": 1}})");
    for (int code : finds(20))
        EXPECT_EQ(code, 1);
    for (int code : reads(20))
        EXPECT_EQ(code, kTermbOk);
}

// A scenario that cannot be used: one line on standard error naming the file
// and the problem, and a reader that is not attached.
struct Malformed
{
    const char* name;
    const char* json; // nullptr: no such file
    const char* problem;
    friend void PrintTo(const Malformed& m, std::ostream* os) { *os << m.name; }
};

class MalformedScenario : public VirtualReaderTest, public ::testing::WithParamInterface<Malformed>
{
};

TEST_P(MalformedScenario, GivesOneLineAndNoReader)
{
    const Malformed& c = GetParam();
    std::string file = m_dir.file("scenario.json");
    ::testing::internal::CaptureStderr();
    if (c.json) {
        useScenario(c.json);
    } else {
        file = m_dir.file("missing.json");
        SetTestVariable("TERMB_VIRTUAL_SCENARIO", file);
        resetVirtualReader();
    }
    // Nothing more is said however the reader is used.
    EXPECT_NE(open(1001), kTermbOk);
    EXPECT_TRUE(IsPortFailure(find(1001)));
    EXPECT_NE(open(3), kTermbOk);
    int code = 0;
    samId(1001, &code);
    EXPECT_NE(code, kTermbOk);
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_TRUE(!err.empty() && err.back() == '\n') << err;
    EXPECT_NE(err.find(file), std::string::npos) << err;
    EXPECT_NE(err.find(c.problem), std::string::npos) << err;
    const auto info = virtualReaderHook<const char* (*)()>("TermbVirtualReaderInfo");
    EXPECT_NE(std::string(info()).find("malformed"), std::string::npos) << info();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MalformedScenario,
    ::testing::Values(
        Malformed{"MissingFile", nullptr, "cannot be read"},
        Malformed{"NotJson", "{\"ports\": [1001,", "not valid JSON"},
        Malformed{"NotAnObject", "[1, 2]", "must be an object"},
        Malformed{"UnknownKey", R"({"latencyscale": 0})", "unknown key \"latencyscale\""},
        Malformed{"PortsNotAList", R"({"ports": 1001})", "ports: must be a list"},
        Malformed{"PortZero", R"({"ports": [1001, 0]})", "ports[1]: must lie between 1 and 65535"},
        Malformed{"SamIdTooLong",
                  R"({"sam_id": ")"
                  "0123456789012345678901234567890123456789"
                  "0123456789012345678901234567890123456789"
                  "0123456789012345678901234567890123456789"
                  "0123456789012345678901234567890123456789"
                  "0123456789012345678901234567890123456789X\"}",
                  "sam_id: must be at most 200 characters"},
        Malformed{"NameTooLong", R"({"cards": [0, {"name": "一二三四五六七八九十一二三四五六"}]})",
                  "cards[1]: name has 16 characters; the field holds 15"},
        Malformed{"NoSuchBuiltinNumber", R"({"cards": [13]})",
                  "cards[0]: must lie between 0 and 12"},
        Malformed{"NoSuchKind", R"({"cards": [{"kind": "passport"}]})",
                  "cards[0].kind: must be \"id\", \"foreign\""},
        Malformed{"FieldOfAnotherKind",
                  R"({"cards": [{"builtin": "foreign-usa", "address": "x"}]})",
                  "cards[0].address: is no field of a \"foreign\" card"},
        Malformed{"EnglishNameTooLong",
                  R"({"cards": [{"kind": "foreign", "english_name": ")"
                  "ABCDEFGHIJABCDEFGHIJABCDEFGHIJABCDEFGHIJABCDEFGHIJABCDEFGHIJX\"}]}",
                  "cards[0]: english_name has 61 characters; the field holds 60"},
        Malformed{"NoSuchBuiltinKey", R"({"cards": ["nobody"]})",
                  "there is no built-in card \"nobody\""},
        Malformed{"NationNotText", R"({"cards": [{"nation": [1]}]})",
                  "cards[0].nation: must be a text"},
        Malformed{"MissingPhoto", R"({"cards": [{"photo": "none.bmp"}]})",
                  "cards[0].photo: cannot read"},
        Malformed{"PhotoNotABitmap", R"({"cards": [{"photo": "scenario.json"}]})",
                  "not a Windows bitmap file"},
        Malformed{"TimelineMode", R"({"timeline": {"mode": "random"}})", "timeline.mode: must be"},
        Malformed{"ManualWithoutFile", R"({"timeline": {"mode": "manual"}})",
                  "needs a \"control_file\""},
        Malformed{"CycleOnZero", R"({"timeline": {"mode": "cycle", "on_ms": 0}})",
                  "timeline.on_ms: must lie between 1"},
        Malformed{"FixedCardOutOfRange",
                  R"({"cards": [0], "timeline": {"mode": "fixed", "card": 1}})",
                  "timeline.card: must lie between 0 and 0"},
        Malformed{"NegativeScale", R"({"latency_scale": -1})", "latency_scale: must lie between"},
        Malformed{"UnknownFunction", R"({"latency_ms": {"SDT_Beep": 5}})",
                  "unknown function \"SDT_Beep\""},
        Malformed{"UnknownFault", R"({"faults": {"fire": {"probability": 1}}})",
                  "unknown fault \"fire\""},
        Malformed{"TwoTriggers",
                  R"({"faults": {"read_failure": {"probability": 1, "sequence": []}}})",
                  "needs exactly one of"},
        Malformed{"ProbabilityAboveOne", R"({"faults": {"read_failure": {"probability": 2}}})",
                  "faults.read_failure.probability: must lie between"},
        Malformed{"CodeForPhotoFault", R"({"faults": {"photo_corrupt": {"sequence": [65]}}})",
                  "faults.photo_corrupt.sequence[0]: must be true or false"},
        // Recordings, given as the scenario file itself or named by one.
        Malformed{"ReplayWithOtherKeys", R"({"replay": "calls.jsonl", "ports": [1001]})",
                  "ports: does not go with replay"},
        Malformed{"ReplayOfNothing", R"({"replay": "none.jsonl"})", "cannot be read"},
        Malformed{"RecordingOfAnotherFormat",
                  R"({"recording": "zuviruzozozad reader calls", "format": 2})", "format 2"},
        Malformed{"RecordingLineNoCall", R"({"recording": "zuviruzozozad reader calls", "format": 1}
[1]
)",
                  "line 2: not a recorded call"},
        Malformed{"RecordingOddHex",
                  R"({"recording": "zuviruzozozad reader calls", "format": 1}
{"call": "SDT_ReadBaseMsg", "port": 1001, "result": 144, "out": {"text": "abc"}}
)",
                  "odd number of digits"},
        Malformed{"RecordingNegativeDuration",
                  R"({"recording": "zuviruzozozad reader calls", "format": 1}
{"call": "SDT_OpenPort", "port": 1001, "result": 144, "us": -1}
)",
                  "us must not be negative"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Scenario, CommentsAndDescriptionAreAllowed)
{
    ::testing::internal::CaptureStderr();
    useScenario(R"({"description": "for a test", "_note": "ignored",
                    "timeline": {"mode": "fixed", "card": 0, "_why": "ignored too"},
                    "latency_scale": 0})");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(open(), kTermbOk);
    EXPECT_EQ(find(), kTermbCardFound);
}

TEST_F(Scenario, ResetAfterAMalformedScenarioAttachesTheReaderAgain)
{
    ::testing::internal::CaptureStderr();
    useScenario("{");
    ::testing::internal::GetCapturedStderr();
    EXPECT_NE(open(), kTermbOk);
    useDefaultDemo();
    EXPECT_EQ(open(), kTermbOk);
}

// The demo without a scenario file serves every built-in card, the other
// kinds after the identity cards, now that the windows show each kind.
TEST(DefaultDemo, ServesEveryBuiltinCardInTurn)
{
    termbsim::Scenario demo = termbsim::DefaultScenario();
    const auto& builtin = termbsim::BuiltinCards();
    ASSERT_EQ(demo.cards.size(), builtin.size());
    termbsim::EnsureImages(demo);
    ASSERT_EQ(demo.images.size(), builtin.size());
    for (std::size_t i = 0; i < builtin.size(); ++i)
        EXPECT_EQ(demo.cards[i].key, builtin[i].key);
    using termbsim::CardKind;
    EXPECT_EQ(demo.cards.front().kind, CardKind::IdCard);
    for (CardKind kind : {CardKind::ForeignPermanent, CardKind::HkMacaoTaiwanPermit,
                          CardKind::ForeignPermanent2023})
        EXPECT_TRUE(std::any_of(demo.cards.begin(), demo.cards.end(),
                                [&](const termbsim::CardSpec& c) { return c.kind == kind; }));
}

} // namespace

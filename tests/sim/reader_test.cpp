// The virtual reader through the tool's own loader: ports, the card calls,
// the timelines and latencies.

#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>

#include "card/card_info.h"
#include "card/card_kinds.h"
#include "sim/cards.h"
#include "sim/photo.h"
#include "sim_support.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

termbsim::CardImage builtinImage(int index)
{
    termbsim::CardImage image;
    std::string error;
    EXPECT_TRUE(termbsim::BuildCardImage(termbsim::BuiltinCards()[index], image, error)) << error;
    return image;
}

class VirtualReader : public VirtualReaderTest
{
};

TEST_F(VirtualReader, LoadsThroughTheToolsLoaderAsTheVirtualReader)
{
    const TermbLibrary& lib = virtualReader();
    EXPECT_TRUE(lib.loaded);
    EXPECT_TRUE(lib.isVirtual);
    EXPECT_NE(lib.virtualInfo.find("virtual reader"), std::string::npos) << lib.virtualInfo;
    EXPECT_NE(lib.path.find("libtermb_virtual."), std::string::npos) << lib.path;
}

TEST_F(VirtualReader, DefaultDemoIsAReaderOnUsbWithTheFirstCardOnIt)
{
    const auto info = virtualReaderHook<const char* (*)()>("TermbVirtualReaderInfo");
    EXPECT_NE(std::string(info()).find("default demo"), std::string::npos);
    EXPECT_EQ(open(1001), kTermbOk);
    EXPECT_NE(open(3), kTermbOk);
    int code = 0;
    EXPECT_EQ(samId(1001, &code), "05.01-20261209-0000000001-3915022118");
    EXPECT_EQ(code, kTermbOk);
    EXPECT_EQ(find(), kTermbCardFound);
    EXPECT_EQ(select(), kTermbOk);
    const auto start = Clock::now();
    BaseRead r = read();
    // Realistic latency by default: a fingerprint read takes a few hundred ms.
    EXPECT_GE(Clock::now() - start, 300ms);
    ASSERT_EQ(r.code, kTermbOk);
    const termbsim::CardImage card = builtinImage(0);
    EXPECT_TRUE(std::equal(card.baseText.begin(), card.baseText.end(), r.text.begin()));
    EXPECT_EQ(stillThere(), kTermbOk);
}

TEST_F(VirtualReader, DefaultDemoCardsTakeTurnsThreeSecondsOnTwoOff)
{
    useScenario(R"({"latency_scale": 0})"); // the demo's timeline, without waiting
    ASSERT_EQ(open(), kTermbOk);
    EXPECT_EQ(find(), kTermbCardFound);
    advanceVirtualClock(3100);
    EXPECT_EQ(find(), 128);
    EXPECT_EQ(stillThere(), kTermbCardGone);
    advanceVirtualClock(2000); // 5.1 s: the second card
    EXPECT_EQ(find(), kTermbCardFound);
    BaseRead r = read();
    ASSERT_EQ(r.code, kTermbOk);
    TIDCardInfo record{};
    DecodeBaseTextInto(record, r.text.data());
    EXPECT_EQ(FieldText(record.IDCardNo), "990202197608220373");
    // One whole round later: the same card again.
    advanceVirtualClock(static_cast<long long>(termbsim::BuiltinCards().size()) * 5000);
    EXPECT_EQ(read().code, kTermbOk);
}

class EveryCardRoundTrip : public VirtualReaderTest, public ::testing::WithParamInterface<int>
{
};

TEST_P(EveryCardRoundTrip, OpenSamFindSelectReadDecode)
{
    const int index = GetParam();
    useScenario(R"({"latency_scale": 0, "timeline": {"mode": "fixed", "card": )" +
                std::to_string(index) + "}}");
    ASSERT_EQ(open(), kTermbOk);
    int code = 0;
    samId(1001, &code);
    ASSERT_EQ(code, kTermbOk);
    ASSERT_EQ(find(), kTermbCardFound);
    ASSERT_EQ(select(), kTermbOk);
    BaseRead r = read();
    ASSERT_EQ(r.code, kTermbOk);

    const termbsim::CardSpec& spec = termbsim::BuiltinCards()[index];
    const termbsim::CardImage card = builtinImage(index);
    EXPECT_EQ(r.textLen, 256u);
    EXPECT_TRUE(std::equal(card.baseText.begin(), card.baseText.end(), r.text.begin()));
    EXPECT_EQ(r.text[256], 0xEE) << "nothing written beyond the base text";
    ASSERT_EQ(r.photoLen, card.photo.size());
    EXPECT_LE(r.photoLen, 1024u);
    EXPECT_TRUE(std::equal(card.photo.begin(), card.photo.end(), r.photo.begin()));
    if (spec.hasFingerprint) {
        EXPECT_EQ(r.fingerprintLen, 1024);
        EXPECT_TRUE(
            std::equal(card.fingerprint.begin(), card.fingerprint.end(), r.fingerprint.begin()));
        EXPECT_EQ(r.fingerprint[0], 0x43);
    } else {
        EXPECT_EQ(r.fingerprintLen, 0);
    }

    TCardKindInfo kind{};
    DecodeCardKind(r.text.data(), kind);
    if (spec.kind == termbsim::CardKind::IdCard) {
        TIDCardInfo record{};
        DecodeBaseTextInto(record, r.text.data());
        EXPECT_EQ(FieldText(record.IDCardNo), spec.fields.idNumber);
        EXPECT_EQ(FieldText(record.Birthday), spec.fields.birth);
    }
    if (CardKindDecoded(kind.Kind)) {
        EXPECT_EQ(CardNumberText(kind), spec.fields.idNumber);
    }

    std::vector<unsigned char> bmp(kBitmapBufferSize, 0xEE);
    ASSERT_EQ(api().Wlt2Bmp(r.photo.data(), bmp.data()), kTermbBitmapSize);
    const std::vector<std::uint8_t> expected =
        termbsim::BmpFromImage(termbsim::CardPhotoImage(spec));
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), bmp.begin()));
    EXPECT_EQ(stillThere(), kTermbOk);
}

INSTANTIATE_TEST_SUITE_P(Cards, EveryCardRoundTrip,
                         ::testing::Range(0, static_cast<int>(termbsim::BuiltinCards().size())));

TEST_F(VirtualReader, ReadWithoutFingerprintFillsTextAndPhotoOnly)
{
    useScenario(R"({"latency_scale": 0, "sam_id": "5-1-20261209-0000000002",
                    "timeline": {"mode": "fixed", "card": 0}})");
    ASSERT_EQ(open(), kTermbOk);
    EXPECT_EQ(samId(), "5-1-20261209-0000000002");
    BaseRead r = read(false);
    ASSERT_EQ(r.code, kTermbOk);
    EXPECT_EQ(r.textLen, 256u);
    EXPECT_EQ(r.photoLen, builtinImage(0).photo.size());
}

TEST_F(VirtualReader, CallsOnAPortThatIsNotOpenFailAsAPortFailure)
{
    useScenario(
        R"({"latency_scale": 0, "ports": [1001, 3], "timeline": {"mode": "fixed", "card": 0}})");
    // Never opened.
    EXPECT_TRUE(IsPortFailure(find()));
    EXPECT_NE(select(), kTermbOk);
    EXPECT_NE(read().code, kTermbOk);
    EXPECT_TRUE(IsPortFailure(stillThere()));
    int code = 0;
    samId(1001, &code);
    EXPECT_NE(code, kTermbOk);
    // Open, then closed again.
    ASSERT_EQ(open(1001), kTermbOk);
    EXPECT_EQ(find(1001), kTermbCardFound);
    api().SDT_ClosePort(1001);
    EXPECT_TRUE(IsPortFailure(find(1001)));
    // The serial port is a port of its own.
    EXPECT_TRUE(IsPortFailure(find(3)));
    ASSERT_EQ(open(3), kTermbOk);
    EXPECT_EQ(find(3), kTermbCardFound);
    EXPECT_EQ(read(true, 3).code, kTermbOk);
    // A port the reader is not attached on never opens.
    EXPECT_NE(api().SDT_OpenPort(4), kTermbOk);
    EXPECT_TRUE(IsPortFailure(find(4)));
}

TEST_F(VirtualReader, NoPortsIsAMachineWithoutReader)
{
    useScenario(R"({"ports": [], "latency_scale": 0})");
    EXPECT_NE(open(1001), kTermbOk);
    EXPECT_TRUE(IsPortFailure(find(1001)));
}

TEST_F(VirtualReader, ManualPlacementThroughTheControlFile)
{
    useManualScenario();
    ASSERT_EQ(open(), kTermbOk);
    EXPECT_EQ(find(), 128);
    EXPECT_NE(select(), kTermbOk);
    EXPECT_EQ(read().code, 128);

    placeCard("1\n");
    EXPECT_EQ(find(), kTermbCardFound);
    EXPECT_EQ(select(), kTermbOk);
    BaseRead r = read();
    ASSERT_EQ(r.code, kTermbOk);
    TIDCardInfo record{};
    DecodeBaseTextInto(record, r.text.data());
    EXPECT_EQ(FieldText(record.IDCardNo), "990202197608220373");
    EXPECT_EQ(stillThere(), kTermbOk);
    EXPECT_EQ(stillThere(), kTermbOk);

    placeCard("");
    EXPECT_EQ(stillThere(), kTermbCardGone);
    EXPECT_EQ(find(), 128);

    // Another card: the one read before has gone.
    placeCard("5");
    EXPECT_EQ(stillThere(), kTermbCardGone);
    ASSERT_EQ(read().code, kTermbOk);
    EXPECT_EQ(stillThere(), kTermbOk);

    // Taken away and put back is a new placement.
    placeCard("");
    EXPECT_EQ(find(), 128);
    placeCard("5");
    EXPECT_EQ(stillThere(), kTermbCardGone);
}

TEST_F(VirtualReader, ControlFileThatNamesNoCardLeavesTheReaderEmpty)
{
    useManualScenario();
    ASSERT_EQ(open(), kTermbOk);
    ::testing::internal::CaptureStderr();
    const std::string past = std::to_string(termbsim::BuiltinCards().size());
    placeCard(past); // one past the last built-in card
    EXPECT_EQ(find(), 128);
    EXPECT_EQ(find(), 128);
    placeCard("two");
    EXPECT_EQ(find(), 128);
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 2) << err;
    EXPECT_NE(err.find("\"" + past + "\" is not a card number from 0 to " +
                       std::to_string(termbsim::BuiltinCards().size() - 1)),
              std::string::npos)
        << err;
    std::filesystem::remove(m_dir.file("card"));
    EXPECT_EQ(find(), 128) << "a missing control file is an empty reader";
}

TEST_F(VirtualReader, CycleTimelineWithShortPeriods)
{
    useScenario(R"({"latency_scale": 0, "cards": [0, 5],
                    "timeline": {"mode": "cycle", "on_ms": 1000, "off_ms": 500}})");
    ASSERT_EQ(open(), kTermbOk);
    auto idNumber = [&] {
        BaseRead r = read();
        if (r.code != kTermbOk)
            return std::string("code ") + std::to_string(r.code);
        TIDCardInfo record{};
        DecodeBaseTextInto(record, r.text.data());
        return FieldText(record.IDCardNo);
    };
    EXPECT_EQ(idNumber(), "990101198503150113"); // scenario card 0 is built-in 0
    advanceVirtualClock(1200);
    EXPECT_EQ(find(), 128);
    advanceVirtualClock(400);                    // 1.6 s
    EXPECT_EQ(idNumber(), "990606199909090716"); // scenario card 1 is built-in 5
    advanceVirtualClock(1500);                   // 3.1 s: the first again
    EXPECT_EQ(idNumber(), "990101198503150113");
}

TEST_F(VirtualReader, CycleCanStartWithTheReaderEmpty)
{
    useScenario(R"({"latency_scale": 0, "timeline": {"mode": "cycle", "on_ms": 1000,
                    "off_ms": 500, "start": "off"}})");
    ASSERT_EQ(open(), kTermbOk);
    EXPECT_EQ(find(), 128);
    advanceVirtualClock(600);
    EXPECT_EQ(find(), kTermbCardFound);
}

TEST_F(VirtualReader, LatenciesAreRealisticAndScaled)
{
    useScenario(R"({"latency_ms": {"SDT_ReadBaseMsg": 150, "SDT_StartFindIDCard": 60},
                    "timeline": {"mode": "fixed", "card": 0}})");
    ASSERT_EQ(open(), kTermbOk);
    auto timed = [](auto fn) {
        const auto start = Clock::now();
        fn();
        return Clock::now() - start;
    };
    EXPECT_GE(timed([&] { EXPECT_EQ(read(false).code, kTermbOk); }), 150ms);
    EXPECT_GE(timed([&] { find(); }), 60ms);
    useScenario(R"({"latency_scale": 0.5, "latency_ms": {"SDT_ReadBaseMsg": 200},
                    "timeline": {"mode": "fixed", "card": 0}})");
    ASSERT_EQ(open(), kTermbOk);
    const auto half = timed([&] { EXPECT_EQ(read(false).code, kTermbOk); });
    EXPECT_GE(half, 100ms);
    EXPECT_LT(half, 190ms);
    useScenario(R"({"latency_scale": 0, "timeline": {"mode": "fixed", "card": 0}})");
    ASSERT_EQ(open(), kTermbOk);
    EXPECT_LT(timed([&] {
                  for (int i = 0; i < 20; ++i)
                      read();
              }),
              100ms);
}

TEST_F(VirtualReader, CardTakenAwayDuringAReadFailsTheRead)
{
    m_dir.write("card", "0");
    useScenario(R"({"latency_ms": {"SDT_ReadBaseFPMsg": 400}, "latency_scale": 1,
                    "timeline": {"mode": "manual", "control_file": "card"}})");
    ASSERT_EQ(open(), kTermbOk);
    // The control file changes while the reading thread is inside the call.
    std::thread remover([&] {
        std::this_thread::sleep_for(100ms);
        placeCard("");
    });
    BaseRead r = read();
    remover.join();
    EXPECT_EQ(r.code, kTermbCardGone);
}

TEST_F(VirtualReader, StateChangesFromOtherThreadsWhileReadingAreSafe)
{
    useManualScenario();
    ASSERT_EQ(open(), kTermbOk);
    std::atomic<bool> stop = false;
    std::thread changer([&] {
        for (int i = 0; !stop; ++i) {
            placeCard(i % 3 == 0 ? "" : std::to_string(i % 8));
            advanceVirtualClock(7);
        }
    });
    int reads = 0;
    const auto until = Clock::now() + 300ms;
    while (Clock::now() < until) {
        const int f = find();
        EXPECT_TRUE(f == kTermbCardFound || f == 128) << f;
        BaseRead r = read();
        EXPECT_TRUE(r.code == kTermbOk || r.code == 128 || r.code == kTermbCardGone) << r.code;
        if (r.code == kTermbOk) {
            ++reads;
            std::vector<unsigned char> bmp(kBitmapBufferSize);
            EXPECT_EQ(api().Wlt2Bmp(r.photo.data(), bmp.data()), kTermbBitmapSize);
        }
        const int s = stillThere();
        EXPECT_TRUE(s == kTermbOk || s == kTermbCardGone) << s;
    }
    stop = true;
    changer.join();
    EXPECT_GT(reads, 0);
}

TEST_F(VirtualReader, NullBuffersAreRefusedNotWrittenTo)
{
    useScenario(R"({"latency_scale": 0, "timeline": {"mode": "fixed", "card": 0}})");
    ASSERT_EQ(open(), kTermbOk);
    unsigned len = 0;
    unsigned char buf[kTextBufferSize];
    EXPECT_NE(api().SDT_GetSAMIDToStr(1001, nullptr, 0), kTermbOk);
    EXPECT_NE(api().SDT_StartFindIDCard(1001, nullptr, 0), kTermbCardFound);
    EXPECT_NE(api().SDT_ReadBaseMsg(1001, nullptr, &len, buf, &len, 0), kTermbOk);
    EXPECT_NE(api().SDT_ReadBaseFPMsg(1001, buf, &len, buf, &len, nullptr, nullptr, 0), kTermbOk);
    EXPECT_NE(api().SDT_ReadNewAppMsg(1001, buf, nullptr, 0), kTermbOk);
}

#ifndef _WIN32
TEST_F(VirtualReader, ControlToolPlacesAndRemovesCards)
{
    useManualScenario();
    ASSERT_EQ(open(), kTermbOk);
    const std::string ctl = TERMB_VIRTUAL_CTL;
    const std::string file = m_dir.file("card");
    ASSERT_EQ(std::system((ctl + " place '" + file + "' 3").c_str()), 0);
    ASSERT_EQ(read().code, kTermbOk);
    ASSERT_EQ(std::system((ctl + " remove '" + file + "'").c_str()), 0);
    EXPECT_EQ(stillThere(), kTermbCardGone);
    EXPECT_NE(std::system((ctl + " place '" + file + "' x 2>/dev/null").c_str()), 0);
    ASSERT_EQ(std::system((ctl + " dump 4 '" + m_dir.file("dump") + "' >/dev/null").c_str()), 0);
    EXPECT_EQ(m_dir.read("dump/foreign-origin-long-term.bmp").size(), 38862u);
    EXPECT_EQ(m_dir.read("dump/foreign-origin-long-term.base").size(), 256u);
}
#endif

} // namespace

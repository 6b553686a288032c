#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>

#include "reader/host_protocol.h"

namespace {

using Bytes = std::vector<unsigned char>;

Bytes payloadOf(const Bytes& frame)
{
    EXPECT_EQ(HostFramePayloadSize(frame.data()), frame.size() - kHostFrameHeaderSize);
    return Bytes(frame.begin() + kHostFrameHeaderSize, frame.end());
}

// A call of `function` and the buffers it points at. full(): every integer
// and every buffer byte set, zeros among them (trailing ones included), so
// nothing passes by luck; otherwise every byte is 0xEE, so a byte written
// where none should be shows, buffers of `room` bytes.
struct CallWithBuffers
{
    CallWithBuffers(TermbFunction function, bool full, bool room = false)
    {
        call.function = function;
        for (std::size_t i = 0; i < kMaxHostCallBuffers; ++i) {
            const std::size_t size = room ? HostCallBufferRoom(i)
                                     : i < HostCallBufferCount(function)
                                         ? HostCallBufferSize(function, i)
                                         : 0;
            storage[i].assign(size, full ? 0 : 0xEE);
            for (std::size_t b = 0; full && b + 3 < size; ++b)
                storage[i][b] = static_cast<unsigned char>(b * 7 % 251);
            call.buffers[i] = storage[i].data();
        }
        if (full) {
            call.result = -7;
            for (std::size_t i = 0; i < HostCallValueCount(function); ++i)
                call.values[i] = i % 2 ? -1 - int(i) : 1001 + int(i);
        }
    }
    // The buffers as the call sees them, each of its function's size.
    std::vector<Bytes> buffers() const
    {
        std::vector<Bytes> out;
        for (std::size_t i = 0; i < HostCallBufferCount(call.function); ++i)
            out.emplace_back(storage[i].begin(),
                             storage[i].begin() + HostCallBufferSize(call.function, i));
        return out;
    }
    std::array<Bytes, kMaxHostCallBuffers> storage;
    HostCall call;
};

void expectSame(const CallWithBuffers& a, const CallWithBuffers& b)
{
    EXPECT_EQ(a.call.function, b.call.function);
    EXPECT_EQ(a.call.values, b.call.values);
    EXPECT_EQ(a.buffers(), b.buffers());
}

Bytes encoded(const CallWithBuffers& c, bool answer)
{
    Bytes frame;
    (answer ? EncodeHostAnswer : EncodeHostRequest)(c.call, frame);
    return payloadOf(frame);
}

TEST(HostProtocol, EveryFunctionsRequestAndAnswerComeBackWhole)
{
    for (int n = 1; n <= kTermbFunctionCount; ++n) {
        const auto function = static_cast<TermbFunction>(n);
        SCOPED_TRACE(TermbFunctionName(function));
        const CallWithBuffers sent(function, true);

        const Bytes request = encoded(sent, false);
        EXPECT_LE(request.size(), MaxHostRequestPayload());
        // The host's buffers hold any function's: the request's bytes and
        // zeros up to its own buffers' sizes.
        CallWithBuffers decoded(TermbFunction::OpenPort, false, true);
        ASSERT_TRUE(DecodeHostRequest(request.data(), request.size(), decoded.call));
        expectSame(decoded, sent);

        const Bytes answer = encoded(sent, true);
        EXPECT_LE(answer.size(), MaxHostAnswerPayload(function));
        EXPECT_LE(answer.size(), MaxHostFramePayload());
        CallWithBuffers back(function, false);
        ASSERT_TRUE(DecodeHostAnswer(answer.data(), answer.size(), back.call));
        expectSame(back, sent);
        EXPECT_EQ(back.call.result, -7);
    }
}

// Frames that a broken or hostile host might send, each to be refused whole:
// the caller's integers and buffers, which an answer is decoded into, keep
// every byte.
TEST(HostProtocol, MalformedFramesAreRefusedWithNothingWritten)
{
    const Bytes good = encoded(CallWithBuffers(TermbFunction::ReadBaseFPMsg, true), true);
    auto withLength = [](Bytes b, std::size_t at, std::uint32_t length) {
        for (int i = 0; i < 4; ++i)
            b.at(at + i) = static_cast<unsigned char>(length >> (8 * i));
        return b;
    };
    // The first buffer's length lies after the function, result and 5 integers.
    constexpr std::size_t firstBuffer = 1 + 4 + 5 * 4;
    const struct
    {
        const char* what;
        Bytes payload;
    } cases[] = {
        {"empty", {}},
        {"unknown function 0", {0}},
        {"unknown function 10", {10, 0, 0, 0, 0}},
        {"an answer for another function",
         encoded(CallWithBuffers(TermbFunction::ReadBaseMsg, true), true)},
        {"cut in the integers", Bytes(good.begin(), good.begin() + 9)},
        {"cut in a buffer", Bytes(good.begin(), good.end() - 1)},
        {"a byte too many",
         [&] {
             Bytes b = good;
             b.push_back(0);
             return b;
         }()},
        {"a buffer longer than its size",
         [&] {
             // The fingerprint, last, sent whole and then a byte more.
             CallWithBuffers c(TermbFunction::ReadBaseFPMsg, true);
             std::fill(c.storage[2].begin(), c.storage[2].end(), 0x55);
             Bytes b = encoded(c, true);
             b.push_back(0x55);
             return withLength(b, b.size() - kHostFingerprintSize - 5, kHostFingerprintSize + 1);
         }()},
        {"a length near 4 GiB", withLength(good, firstBuffer, 0xFFFFFFFFu)},
    };
    const CallWithBuffers untouched(TermbFunction::ReadBaseFPMsg, false);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CallWithBuffers target(TermbFunction::ReadBaseFPMsg, false);
        EXPECT_FALSE(DecodeHostAnswer(c.payload.data(), c.payload.size(), target.call));
        expectSame(target, untouched);
        EXPECT_EQ(target.call.result, 0);
    }
    CallWithBuffers target(TermbFunction::OpenPort, false, true);
    const Bytes unknownRequest{0x2A};
    EXPECT_FALSE(DecodeHostRequest(unknownRequest.data(), unknownRequest.size(), target.call));
}

// A library whose calls write one byte: the last of a buffer they are given
// (g_past 0) or the g_past-th behind it.
std::size_t g_past = 0;
void touch(unsigned char* buffer, std::size_t size)
{
    buffer[size - 1 + g_past] = 0x5A;
}
int TERMB_CALL samIdTouching(int, char* samId, int)
{
    touch(reinterpret_cast<unsigned char*>(samId), kHostSamIdSize);
    return kTermbOk;
}
int TERMB_CALL readFPTouching(int, unsigned char*, unsigned*, unsigned char*, unsigned*,
                              unsigned char* fp, int*, int)
{
    touch(fp, kHostFingerprintSize);
    return kTermbOk;
}
int TERMB_CALL wlt2BmpTouching(unsigned char*, unsigned char* bmp)
{
    touch(bmp, kBitmapBufferSize);
    return kTermbBitmapSize;
}

// One space serves call after call, its buffers' sizes changing with the
// function: a write behind the buffer, however near or far in the spare
// room, fails the call; one into the buffer's last byte is the answer.
TEST(HostProtocol, AWriteBehindABufferFailsTheCallInASpaceReusedByOthers)
{
    TermbApi api = AbsentReaderApi();
    api.SDT_GetSAMIDToStr = samIdTouching;
    api.SDT_ReadBaseFPMsg = readFPTouching;
    api.Wlt2Bmp = wlt2BmpTouching;
    const struct
    {
        TermbFunction function;
        std::size_t place; // of the buffer written
    } calls[] = {{TermbFunction::Wlt2Bmp, 1},
                 {TermbFunction::GetSAMIDToStr, 0},
                 {TermbFunction::ReadBaseFPMsg, 2},
                 {TermbFunction::Wlt2Bmp, 1}};
    HostCallSpace space;
    for (std::size_t past : {std::size_t(0), std::size_t(1), kHostSpareRoom})
        for (const auto& c : calls) {
            SCOPED_TRACE(std::string(TermbFunctionName(c.function)) + " " + std::to_string(past));
            const Bytes request = encoded(CallWithBuffers(c.function, true), false);
            ASSERT_TRUE(DecodeHostRequest(request.data(), request.size(), space.Call()));
            g_past = past;
            EXPECT_EQ(PerformHostCall(api, space), past == 0);
            const std::size_t size = HostCallBufferSize(c.function, c.place);
            if (past == 0) {
                EXPECT_EQ(space.Call().buffers[c.place][size - 1], 0x5A);
            }
        }
}

TEST(HostProtocol, TheHelloCarriesTheLoadOutcomeAndRefusesGarbage)
{
    HostHello hello;
    hello.failure = TermbLoadFailure::MissingFunctions;
    hello.isVirtual = true;
    hello.virtualInfo = "info";
    hello.error = "missing: Wlt2Bmp";
    hello.missing = {"Wlt2Bmp"};
    const Bytes payload = payloadOf(EncodeHostHello(hello));
    HostHello back;
    ASSERT_TRUE(DecodeHostHello(payload.data(), payload.size(), back));
    EXPECT_EQ(back.failure, hello.failure);
    EXPECT_TRUE(back.isVirtual);
    EXPECT_EQ(back.virtualInfo, "info");
    EXPECT_EQ(back.error, hello.error);
    EXPECT_EQ(back.missing, hello.missing);

    for (std::size_t cut = 0; cut < payload.size(); ++cut)
        EXPECT_FALSE(DecodeHostHello(payload.data(), cut, back)) << cut;
    Bytes otherVersion = payload;
    otherVersion[0] = kHostProtocolVersion + 1;
    EXPECT_FALSE(DecodeHostHello(otherVersion.data(), otherVersion.size(), back));
}

} // namespace

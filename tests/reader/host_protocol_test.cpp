#include <gtest/gtest.h>

#include "reader/host_protocol.h"

namespace {

using Bytes = std::vector<unsigned char>;

Bytes payloadOf(const Bytes& frame)
{
    EXPECT_EQ(HostFramePayloadSize(frame.data()), frame.size() - kHostFrameHeaderSize);
    return Bytes(frame.begin() + kHostFrameHeaderSize, frame.end());
}

// A call of `function` with every integer and every buffer byte set, zeros
// among them (trailing ones included), so nothing passes by luck.
HostCall fullCall(TermbFunction function)
{
    HostCall call;
    call.function = function;
    call.result = -7;
    for (std::size_t i = 0; i < HostCallValueCount(function); ++i)
        call.values.push_back(i % 2 ? -1 - int(i) : 1001 + int(i));
    for (std::size_t size : HostCallBufferSizes(function)) {
        Bytes buffer(size, 0);
        for (std::size_t i = 0; i + 3 < size; ++i)
            buffer[i] = static_cast<unsigned char>(i * 7 % 251);
        call.buffers.push_back(buffer);
    }
    return call;
}

void expectSame(const HostCall& a, const HostCall& b)
{
    EXPECT_EQ(a.function, b.function);
    EXPECT_EQ(a.values, b.values);
    EXPECT_EQ(a.buffers, b.buffers);
}

TEST(HostProtocol, EveryFunctionsRequestAndAnswerComeBackWhole)
{
    for (int n = 1; n <= 9; ++n) {
        const auto function = static_cast<TermbFunction>(n);
        SCOPED_TRACE(TermbFunctionName(function));
        const HostCall call = fullCall(function);

        const Bytes request = payloadOf(EncodeHostRequest(call));
        EXPECT_LE(request.size(), MaxHostRequestPayload());
        HostCall decoded;
        ASSERT_TRUE(DecodeHostRequest(request.data(), request.size(), decoded));
        expectSame(decoded, call);

        const Bytes answer = payloadOf(EncodeHostAnswer(call));
        EXPECT_LE(answer.size(), MaxHostAnswerPayload(function));
        HostCall back;
        ASSERT_TRUE(DecodeHostAnswer(function, answer.data(), answer.size(), back));
        expectSame(back, call);
        EXPECT_EQ(back.result, -7);
    }
}

// Frames that a broken or hostile host might send, each to be refused whole.
TEST(HostProtocol, MalformedFramesAreRefused)
{
    const Bytes good = payloadOf(EncodeHostAnswer(fullCall(TermbFunction::ReadBaseFPMsg)));
    auto withLength = [&](std::size_t at, std::uint32_t length) {
        Bytes b = good;
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
         payloadOf(EncodeHostAnswer(fullCall(TermbFunction::ReadBaseMsg)))},
        {"cut in the integers", Bytes(good.begin(), good.begin() + 9)},
        {"cut in a buffer", Bytes(good.begin(), good.end() - 1)},
        {"a byte too many",
         [&] {
             Bytes b = good;
             b.push_back(0);
             return b;
         }()},
        {"a buffer longer than its size",
         [] {
             HostCall call = fullCall(TermbFunction::ReadBaseFPMsg);
             call.buffers[2].assign(kHostFingerprintSize + 1, 0x55);
             return payloadOf(EncodeHostAnswer(call));
         }()},
        {"a length near 4 GiB", withLength(firstBuffer, 0xFFFFFFFFu)},
    };
    for (const auto& c : cases) {
        HostCall call;
        EXPECT_FALSE(DecodeHostAnswer(TermbFunction::ReadBaseFPMsg, c.payload.data(),
                                      c.payload.size(), call))
            << c.what;
    }
    HostCall call;
    const Bytes unknownRequest{0x2A};
    EXPECT_FALSE(DecodeHostRequest(unknownRequest.data(), unknownRequest.size(), call));
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

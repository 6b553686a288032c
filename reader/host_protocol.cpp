#include "reader/host_protocol.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

struct Shape
{
    std::size_t values;
    std::vector<std::size_t> buffers;
};

// Argument lists as the function table declares them: the integers (port,
// by-reference lengths, the trailing flag) in order, and the buffers.
const Shape& shapeOf(TermbFunction function)
{
    // In the order of TermbFunction.
    static const std::array<Shape, kTermbFunctionCount> shapes{{
        {1, {}},                  // SDT_OpenPort: port
        {1, {}},                  // SDT_ClosePort: port
        {2, {kHostSamIdSize}},    // SDT_GetSAMIDToStr: port, flag
        {2, {kManageBufferSize}}, // SDT_StartFindIDCard: port, flag
        {2, {kManageBufferSize}}, // SDT_SelectIDCard: port, flag
        // SDT_ReadBaseMsg: port, text length, photo length, flag
        {4, {kTextBufferSize, kPhotoBufferSize}},
        // SDT_ReadBaseFPMsg: port, text length, photo length, fingerprint length, flag
        {5, {kTextBufferSize, kPhotoBufferSize, kHostFingerprintSize}},
        // SDT_ReadNewAppMsg: port, length, flag
        {3, {kTextBufferSize}},
        {0, {kPhotoBufferSize, kBitmapBufferSize}}, // Wlt2Bmp
    }};
    return shapes[static_cast<std::size_t>(function) - 1];
}

bool known(std::uint8_t number)
{
    return number >= static_cast<std::uint8_t>(TermbFunction::OpenPort) &&
           number <= static_cast<std::uint8_t>(TermbFunction::Wlt2Bmp);
}

std::size_t maxPayload(TermbFunction function, bool answer)
{
    const Shape& shape = shapeOf(function);
    std::size_t size = 1 + (answer ? 4 : 0) + 4 * shape.values;
    for (std::size_t buffer : shape.buffers)
        size += 4 + buffer;
    return size;
}

class Writer
{
public:
    Writer()
    {
        m_bytes.reserve(1024);
        m_bytes.resize(kHostFrameHeaderSize); // the length, filled in by frame()
    }
    void u8(std::uint8_t v) { m_bytes.push_back(v); }
    void u32(std::uint32_t v)
    {
        for (int i = 0; i < 4; ++i)
            m_bytes.push_back(static_cast<unsigned char>(v >> (8 * i)));
    }
    void bytes(const unsigned char* data, std::size_t size)
    {
        u32(static_cast<std::uint32_t>(size));
        m_bytes.insert(m_bytes.end(), data, data + size);
    }
    void text(const std::string& s, std::size_t limit)
    {
        bytes(reinterpret_cast<const unsigned char*>(s.data()), std::min(s.size(), limit));
    }
    std::vector<unsigned char> frame()
    {
        const auto size = static_cast<std::uint32_t>(m_bytes.size() - kHostFrameHeaderSize);
        for (int i = 0; i < 4; ++i)
            m_bytes[i] = static_cast<unsigned char>(size >> (8 * i));
        return std::move(m_bytes);
    }

private:
    std::vector<unsigned char> m_bytes;
};

// Reads a payload; every read past its end fails and sticks.
class Reader
{
public:
    Reader(const unsigned char* data, std::size_t size) : m_data(data), m_left(size) {}
    bool u8(std::uint8_t& v)
    {
        if (!take(1))
            return false;
        v = m_data[-1];
        return true;
    }
    bool u32(std::uint32_t& v)
    {
        if (!take(4))
            return false;
        v = 0;
        for (int i = 0; i < 4; ++i)
            v |= std::uint32_t(m_data[i - 4]) << (8 * i);
        return true;
    }
    bool i32(std::int32_t& v)
    {
        std::uint32_t u;
        if (!u32(u))
            return false;
        v = static_cast<std::int32_t>(u);
        return true;
    }
    bool bytes(std::vector<unsigned char>& out, std::size_t limit)
    {
        std::uint32_t size;
        if (!u32(size) || size > limit || !take(size))
            return false;
        out.assign(m_data - size, m_data);
        return true;
    }
    bool text(std::string& out, std::size_t limit)
    {
        std::vector<unsigned char> b;
        if (!bytes(b, limit))
            return false;
        out.assign(b.begin(), b.end());
        return true;
    }
    bool atEnd() const { return m_left == 0; }

private:
    bool take(std::size_t n)
    {
        if (n > m_left)
            return false;
        m_data += n;
        m_left -= n;
        return true;
    }
    const unsigned char* m_data;
    std::size_t m_left;
};

// Trailing zeros are left for the receiver to fill in: most buffers are
// mostly empty.
void writeBuffer(Writer& w, const std::vector<unsigned char>& buffer)
{
    std::size_t used = buffer.size();
    while (used > 0 && buffer[used - 1] == 0)
        --used;
    w.bytes(buffer.data(), used);
}

std::vector<unsigned char> encode(const HostCall& call, bool answer)
{
    Writer w;
    w.u8(static_cast<std::uint8_t>(call.function));
    if (answer)
        w.u32(static_cast<std::uint32_t>(call.result));
    for (std::int32_t v : call.values)
        w.u32(static_cast<std::uint32_t>(v));
    for (const auto& buffer : call.buffers)
        writeBuffer(w, buffer);
    return w.frame();
}

bool decode(Reader& r, bool answer, HostCall& call)
{
    const Shape& shape = shapeOf(call.function);
    if (answer) {
        std::int32_t result;
        if (!r.i32(result))
            return false;
        call.result = result;
    }
    call.values.assign(shape.values, 0);
    for (std::int32_t& v : call.values)
        if (!r.i32(v))
            return false;
    call.buffers.assign(shape.buffers.size(), {});
    for (std::size_t i = 0; i < shape.buffers.size(); ++i) {
        if (!r.bytes(call.buffers[i], shape.buffers[i]))
            return false;
        call.buffers[i].resize(shape.buffers[i], 0);
    }
    return r.atEnd();
}

constexpr std::size_t kMaxInfoText = 1024;
constexpr std::size_t kMaxErrorText = 4096;
constexpr std::size_t kMaxFunctionName = 64;
constexpr std::uint8_t kMaxMissing = 9;

} // namespace

std::size_t HostCallValueCount(TermbFunction function)
{
    return shapeOf(function).values;
}

std::vector<std::size_t> HostCallBufferSizes(TermbFunction function)
{
    return shapeOf(function).buffers;
}

std::size_t MaxHostRequestPayload()
{
    std::size_t most = 0;
    for (std::uint8_t n = 1; known(n); ++n)
        most = std::max(most, maxPayload(static_cast<TermbFunction>(n), false));
    return most;
}

std::size_t MaxHostAnswerPayload(TermbFunction function)
{
    return maxPayload(function, true);
}

std::uint32_t HostFramePayloadSize(const unsigned char* header)
{
    std::uint32_t size = 0;
    Reader(header, kHostFrameHeaderSize).u32(size);
    return size;
}

std::vector<unsigned char> EncodeHostRequest(const HostCall& call)
{
    return encode(call, false);
}

std::vector<unsigned char> EncodeHostAnswer(const HostCall& call)
{
    return encode(call, true);
}

bool DecodeHostRequest(const unsigned char* payload, std::size_t size, HostCall& call)
{
    Reader r(payload, size);
    std::uint8_t number;
    if (!r.u8(number) || !known(number))
        return false;
    call.function = static_cast<TermbFunction>(number);
    return decode(r, false, call);
}

bool DecodeHostAnswer(TermbFunction expected, const unsigned char* payload, std::size_t size,
                      HostCall& call)
{
    Reader r(payload, size);
    std::uint8_t number;
    if (!r.u8(number) || number != static_cast<std::uint8_t>(expected))
        return false;
    call.function = expected;
    return decode(r, true, call);
}

HostHello HostHelloOf(const TermbLibrary& library)
{
    HostHello hello;
    hello.failure = library.failure;
    hello.isVirtual = library.isVirtual;
    hello.virtualInfo = library.virtualInfo;
    hello.error = library.error;
    hello.missing = library.missing;
    return hello;
}

std::vector<unsigned char> EncodeHostHello(const HostHello& hello)
{
    Writer w;
    w.u8(hello.version);
    w.u8(static_cast<std::uint8_t>(hello.failure));
    w.u8(hello.isVirtual ? 1 : 0);
    w.text(hello.virtualInfo, kMaxInfoText);
    w.text(hello.error, kMaxErrorText);
    const std::size_t missing = std::min<std::size_t>(hello.missing.size(), kMaxMissing);
    w.u8(static_cast<std::uint8_t>(missing));
    for (std::size_t i = 0; i < missing; ++i)
        w.text(hello.missing[i], kMaxFunctionName);
    return w.frame();
}

bool DecodeHostHello(const unsigned char* payload, std::size_t size, HostHello& hello)
{
    Reader r(payload, size);
    std::uint8_t failure, isVirtual, missing;
    if (!r.u8(hello.version) || hello.version != kHostProtocolVersion || !r.u8(failure) ||
        failure > static_cast<std::uint8_t>(TermbLoadFailure::MissingFunctions) ||
        !r.u8(isVirtual) || isVirtual > 1 || !r.text(hello.virtualInfo, kMaxInfoText) ||
        !r.text(hello.error, kMaxErrorText) || !r.u8(missing) || missing > kMaxMissing)
        return false;
    hello.failure = static_cast<TermbLoadFailure>(failure);
    hello.isVirtual = isVirtual == 1;
    hello.missing.assign(missing, {});
    for (std::string& name : hello.missing)
        if (!r.text(name, kMaxFunctionName))
            return false;
    return r.atEnd();
}

bool PerformHostCall(const TermbApi& api, const HostCall& request, HostCall& answer)
{
    // Room behind each buffer, so that a library that writes past one lands
    // in it and is seen there rather than in the host's other memory.
    constexpr std::size_t kSpare = 4096;
    constexpr unsigned char kGuard = 0xA5;
    answer = request;
    std::vector<std::vector<unsigned char>> space;
    for (const auto& buffer : request.buffers) {
        space.emplace_back(buffer.size() + kSpare, kGuard);
        std::memcpy(space.back().data(), buffer.data(), buffer.size());
    }
    auto buf = [&](std::size_t i) { return space[i].data(); };
    std::int32_t* v = answer.values.data();
    // The by-reference lengths are unsigned in the table; the bits travel.
    auto len = [&](std::size_t i) { return reinterpret_cast<unsigned*>(&v[i]); };
    switch (request.function) {
    case TermbFunction::OpenPort:
        answer.result = api.SDT_OpenPort(v[0]);
        break;
    case TermbFunction::ClosePort:
        answer.result = api.SDT_ClosePort(v[0]);
        break;
    case TermbFunction::GetSAMIDToStr:
        answer.result = api.SDT_GetSAMIDToStr(v[0], reinterpret_cast<char*>(buf(0)), v[1]);
        break;
    case TermbFunction::StartFindIDCard:
        answer.result = api.SDT_StartFindIDCard(v[0], buf(0), v[1]);
        break;
    case TermbFunction::SelectIDCard:
        answer.result = api.SDT_SelectIDCard(v[0], buf(0), v[1]);
        break;
    case TermbFunction::ReadBaseMsg:
        answer.result = api.SDT_ReadBaseMsg(v[0], buf(0), len(1), buf(1), len(2), v[3]);
        break;
    case TermbFunction::ReadBaseFPMsg:
        answer.result =
            api.SDT_ReadBaseFPMsg(v[0], buf(0), len(1), buf(1), len(2), buf(2), &v[3], v[4]);
        break;
    case TermbFunction::ReadNewAppMsg:
        answer.result = api.SDT_ReadNewAppMsg(v[0], buf(0), len(1), v[2]);
        break;
    case TermbFunction::Wlt2Bmp:
        answer.result = api.Wlt2Bmp(buf(0), buf(1));
        break;
    }
    for (std::size_t i = 0; i < space.size(); ++i) {
        const std::size_t size = answer.buffers[i].size();
        if (std::any_of(space[i].begin() + std::ptrdiff_t(size), space[i].end(),
                        [](unsigned char b) { return b != kGuard; }))
            return false;
        std::memcpy(answer.buffers[i].data(), space[i].data(), size);
    }
    return true;
}

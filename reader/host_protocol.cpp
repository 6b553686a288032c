#include "reader/host_protocol.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

struct Shape
{
    std::size_t values;
    std::size_t buffers;
    std::array<std::size_t, kMaxHostCallBuffers> sizes;
};

// Argument lists as the function table declares them: the integers (port,
// by-reference lengths, the trailing flag) in order, and the buffers.
const Shape& shapeOf(TermbFunction function)
{
    // In the order of TermbFunction.
    static constexpr std::array<Shape, kTermbFunctionCount> shapes{{
        {1, 0, {}},                  // SDT_OpenPort: port
        {1, 0, {}},                  // SDT_ClosePort: port
        {2, 1, {kHostSamIdSize}},    // SDT_GetSAMIDToStr: port, flag
        {2, 1, {kManageBufferSize}}, // SDT_StartFindIDCard: port, flag
        {2, 1, {kManageBufferSize}}, // SDT_SelectIDCard: port, flag
        // SDT_ReadBaseMsg: port, text length, photo length, flag
        {4, 2, {kTextBufferSize, kPhotoBufferSize}},
        // SDT_ReadBaseFPMsg: port, text length, photo length, fingerprint length, flag
        {5, 3, {kTextBufferSize, kPhotoBufferSize, kHostFingerprintSize}},
        // SDT_ReadNewAppMsg: port, length, flag
        {3, 1, {kTextBufferSize}},
        {0, 2, {kPhotoBufferSize, kBitmapBufferSize}}, // Wlt2Bmp
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
    for (std::size_t i = 0; i < shape.buffers; ++i)
        size += 4 + shape.sizes[i];
    return size;
}

// Writes a frame into `bytes`, reusing its storage.
class Writer
{
public:
    explicit Writer(std::vector<unsigned char>& bytes) : m_bytes(bytes)
    {
        m_bytes.clear();
        m_bytes.resize(kHostFrameHeaderSize); // the length, filled in by finish()
    }
    void u8(std::uint8_t v) { m_bytes.push_back(v); }
    void u32(std::uint32_t v)
    {
        const unsigned char le[4] = {
            static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
            static_cast<unsigned char>(v >> 16), static_cast<unsigned char>(v >> 24)};
        m_bytes.insert(m_bytes.end(), le, le + 4);
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
    void finish()
    {
        const auto size = static_cast<std::uint32_t>(m_bytes.size() - kHostFrameHeaderSize);
        for (int i = 0; i < 4; ++i)
            m_bytes[i] = static_cast<unsigned char>(size >> (8 * i));
    }

private:
    std::vector<unsigned char>& m_bytes;
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
    // A length and that many bytes, left where they are.
    bool bytes(const unsigned char*& data, std::uint32_t& size, std::size_t limit)
    {
        if (!u32(size) || size > limit || !take(size))
            return false;
        data = m_data - size;
        return true;
    }
    bool text(std::string& out, std::size_t limit)
    {
        const unsigned char* data;
        std::uint32_t size;
        if (!bytes(data, size, limit))
            return false;
        out.assign(data, data + size);
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

// The length of `buffer` without its trailing zeros, eight bytes at a time
// where it can: a bitmap or text buffer left empty is tens of KiB of zeros.
std::size_t withoutTrailingZeros(const unsigned char* buffer, std::size_t size)
{
    while (size % 8 != 0 && buffer[size - 1] == 0)
        --size;
    if (size % 8 == 0) {
        for (std::uint64_t word; size >= 8; size -= 8) {
            std::memcpy(&word, buffer + size - 8, 8);
            if (word != 0)
                break;
        }
        while (size > 0 && buffer[size - 1] == 0)
            --size;
    }
    return size;
}

// Trailing zeros are left for the receiver to fill in: most buffers are
// mostly empty.
void encode(const HostCall& call, bool answer, std::vector<unsigned char>& frame)
{
    const Shape& shape = shapeOf(call.function);
    Writer w(frame);
    w.u8(static_cast<std::uint8_t>(call.function));
    if (answer)
        w.u32(static_cast<std::uint32_t>(call.result));
    for (std::size_t i = 0; i < shape.values; ++i)
        w.u32(static_cast<std::uint32_t>(call.values[i]));
    for (std::size_t i = 0; i < shape.buffers; ++i)
        w.bytes(call.buffers[i], withoutTrailingZeros(call.buffers[i], shape.sizes[i]));
    w.finish();
}

// Checks the rest of a payload for `function`'s call, then writes it into
// `call`: nothing is written unless all of it is good.
bool decode(Reader& r, TermbFunction function, bool answer, HostCall& call)
{
    const Shape& shape = shapeOf(function);
    std::int32_t result = 0;
    if (answer && !r.i32(result))
        return false;
    std::array<std::int32_t, kMaxHostCallValues> values{};
    for (std::size_t i = 0; i < shape.values; ++i)
        if (!r.i32(values[i]))
            return false;
    std::array<const unsigned char*, kMaxHostCallBuffers> bytes{};
    std::array<std::uint32_t, kMaxHostCallBuffers> lengths{};
    for (std::size_t i = 0; i < shape.buffers; ++i)
        if (!r.bytes(bytes[i], lengths[i], shape.sizes[i]))
            return false;
    if (!r.atEnd())
        return false;

    call.function = function;
    if (answer)
        call.result = result;
    call.values = values;
    for (std::size_t i = 0; i < shape.buffers; ++i) {
        if (lengths[i] > 0)
            std::memcpy(call.buffers[i], bytes[i], lengths[i]);
        std::memset(call.buffers[i] + lengths[i], 0, shape.sizes[i] - lengths[i]);
    }
    return true;
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

std::size_t HostCallBufferCount(TermbFunction function)
{
    return shapeOf(function).buffers;
}

std::size_t HostCallBufferSize(TermbFunction function, std::size_t place)
{
    return shapeOf(function).sizes[place];
}

std::size_t HostCallBufferRoom(std::size_t place)
{
    std::size_t most = 0;
    for (std::uint8_t n = 1; known(n); ++n)
        most = std::max(most, shapeOf(static_cast<TermbFunction>(n)).sizes[place]);
    return most;
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

std::size_t MaxHostFramePayload()
{
    std::size_t most = MaxHostRequestPayload();
    for (std::uint8_t n = 1; known(n); ++n)
        most = std::max(most, MaxHostAnswerPayload(static_cast<TermbFunction>(n)));
    return most;
}

std::uint32_t HostFramePayloadSize(const unsigned char* header)
{
    std::uint32_t size = 0;
    Reader(header, kHostFrameHeaderSize).u32(size);
    return size;
}

void EncodeHostRequest(const HostCall& call, std::vector<unsigned char>& frame)
{
    encode(call, false, frame);
}

void EncodeHostAnswer(const HostCall& call, std::vector<unsigned char>& frame)
{
    encode(call, true, frame);
}

bool DecodeHostRequest(const unsigned char* payload, std::size_t size, HostCall& call)
{
    Reader r(payload, size);
    std::uint8_t number;
    if (!r.u8(number) || !known(number))
        return false;
    return decode(r, static_cast<TermbFunction>(number), false, call);
}

bool DecodeHostAnswer(const unsigned char* payload, std::size_t size, HostCall& call)
{
    Reader r(payload, size);
    std::uint8_t number;
    if (!r.u8(number) || number != static_cast<std::uint8_t>(call.function))
        return false;
    return decode(r, call.function, true, call);
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
    std::vector<unsigned char> frame;
    Writer w(frame);
    w.u8(hello.version);
    w.u8(static_cast<std::uint8_t>(hello.failure));
    w.u8(hello.isVirtual ? 1 : 0);
    w.text(hello.virtualInfo, kMaxInfoText);
    w.text(hello.error, kMaxErrorText);
    const std::size_t missing = std::min<std::size_t>(hello.missing.size(), kMaxMissing);
    w.u8(static_cast<std::uint8_t>(missing));
    for (std::size_t i = 0; i < missing; ++i)
        w.text(hello.missing[i], kMaxFunctionName);
    w.finish();
    return frame;
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

HostCallSpace::HostCallSpace()
{
    for (std::size_t place = 0; place < kMaxHostCallBuffers; ++place) {
        m_room[place].assign(HostCallBufferRoom(place) + kHostSpareRoom, 0);
        m_call.buffers[place] = m_room[place].data();
    }
}

bool PerformHostCall(const TermbApi& api, HostCallSpace& space)
{
    // The room behind each buffer, so that a library that writes past one
    // lands in it and is seen there rather than in the host's other memory.
    constexpr unsigned char kGuard = 0xA5;
    static const std::vector<unsigned char> guard(kHostSpareRoom, kGuard);
    HostCall& call = space.Call();
    const std::size_t buffers = HostCallBufferCount(call.function);
    for (std::size_t i = 0; i < buffers; ++i)
        std::memset(call.buffers[i] + HostCallBufferSize(call.function, i), kGuard, kHostSpareRoom);
    auto buf = [&](std::size_t i) { return call.buffers[i]; };
    std::int32_t* v = call.values.data();
    // The by-reference lengths are unsigned in the table; the bits travel.
    auto len = [&](std::size_t i) { return reinterpret_cast<unsigned*>(&v[i]); };
    switch (call.function) {
    case TermbFunction::OpenPort:
        call.result = api.SDT_OpenPort(v[0]);
        break;
    case TermbFunction::ClosePort:
        call.result = api.SDT_ClosePort(v[0]);
        break;
    case TermbFunction::GetSAMIDToStr:
        call.result = api.SDT_GetSAMIDToStr(v[0], reinterpret_cast<char*>(buf(0)), v[1]);
        break;
    case TermbFunction::StartFindIDCard:
        call.result = api.SDT_StartFindIDCard(v[0], buf(0), v[1]);
        break;
    case TermbFunction::SelectIDCard:
        call.result = api.SDT_SelectIDCard(v[0], buf(0), v[1]);
        break;
    case TermbFunction::ReadBaseMsg:
        call.result = api.SDT_ReadBaseMsg(v[0], buf(0), len(1), buf(1), len(2), v[3]);
        break;
    case TermbFunction::ReadBaseFPMsg:
        call.result =
            api.SDT_ReadBaseFPMsg(v[0], buf(0), len(1), buf(1), len(2), buf(2), &v[3], v[4]);
        break;
    case TermbFunction::ReadNewAppMsg:
        call.result = api.SDT_ReadNewAppMsg(v[0], buf(0), len(1), v[2]);
        break;
    case TermbFunction::Wlt2Bmp:
        call.result = api.Wlt2Bmp(buf(0), buf(1));
        break;
    }
    for (std::size_t i = 0; i < buffers; ++i)
        if (std::memcmp(call.buffers[i] + HostCallBufferSize(call.function, i), guard.data(),
                        kHostSpareRoom) != 0)
            return false;
    return true;
}

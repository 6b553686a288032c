#pragma once
// The private channel between the tool and its reader host: the process
// that loads the reader library and makes its calls, so that a library that
// crashes or hangs takes only the host with it.
//
// One request at a time. Every message is a frame: its payload's length as
// 4 bytes little-endian, then the payload. A request's payload is the
// function's number, its integer arguments (by-reference ones with their
// values before the call) and the contents of its buffers; the answer repeats
// the function's number, then the result, the integers and the buffers as the
// call left them. Every buffer is passed whole in both directions, so the
// library sees what it would see in the tool's own process and the caller gets
// back exactly the bytes the library left; trailing zero bytes are not sent
// and the receiver zero-fills them. Every length read is bounded by the
// buffer's size: a frame that breaks any rule is rejected whole.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "reader/termb.h"
#include "reader/termb_functions.h"
#include "reader/termb_loader.h"

// The buffers each call is given, in bytes. The callers of the function
// table pass buffers of these sizes, as the reading thread does.
inline constexpr std::size_t kHostSamIdSize = 201;
inline constexpr std::size_t kHostFingerprintSize = 1024;

// The most integers and buffers one function's call carries.
inline constexpr std::size_t kMaxHostCallValues = 5;
inline constexpr std::size_t kMaxHostCallBuffers = 3;

// One call as it crosses the channel. `values` are the integer arguments in
// the order of the function's argument list (the by-reference lengths
// included), the first HostCallValueCount() of them in use; `buffers` the
// pointer arguments, the first HostCallBufferCount() of them, each pointing
// at HostCallBufferSize() bytes owned by whoever fills the call in: the
// caller's own buffers in the tool, a HostCallSpace in the host. So a call
// crosses with one copy of its bytes each way and no allocation.
struct HostCall
{
    TermbFunction function = TermbFunction::OpenPort;
    int result = 0; // answers only
    std::array<std::int32_t, kMaxHostCallValues> values{};
    std::array<unsigned char*, kMaxHostCallBuffers> buffers{};
};

// How many integers and buffers a function's call carries, and the size of
// its buffer at `place`.
std::size_t HostCallValueCount(TermbFunction function);
std::size_t HostCallBufferCount(TermbFunction function);
std::size_t HostCallBufferSize(TermbFunction function, std::size_t place);
// The largest buffer any function passes at `place`: what a decoded request
// may need there.
std::size_t HostCallBufferRoom(std::size_t place);

// The largest payload a request or the answer to `function` may have; a frame
// announcing more is malformed. MaxHostFramePayload() is the largest of all,
// the room that keeps every frame without growing.
std::size_t MaxHostRequestPayload();
std::size_t MaxHostAnswerPayload(TermbFunction function);
std::size_t MaxHostFramePayload();

// A frame's length prefix.
inline constexpr std::size_t kHostFrameHeaderSize = 4;
std::uint32_t HostFramePayloadSize(const unsigned char* header);

// Whole frames, length prefix included, into `frame`: its contents are
// replaced, its storage reused. A call whose buffers are missing is a
// programming error of the caller and is not checked here; decoding checks
// everything.
void EncodeHostRequest(const HostCall& call, std::vector<unsigned char>& frame);
void EncodeHostAnswer(const HostCall& call, std::vector<unsigned char>& frame);

// Decode a payload (without its prefix) into `call`: its integers, and each
// buffer's bytes into the buffer `call` points at for that place, zero-filled
// to the buffer's size. The whole payload is checked before anything is
// written: false, with `call` and its buffers untouched, for an unknown
// function, a count or length out of bounds, a short payload or bytes left
// over. A request's buffers need HostCallBufferRoom() bytes, as its function
// is known only from the payload; an answer must be for `call.function`.
bool DecodeHostRequest(const unsigned char* payload, std::size_t size, HostCall& call);
bool DecodeHostAnswer(const unsigned char* payload, std::size_t size, HostCall& call);

// The host's first message once it is running: the protocol version and the
// outcome of loading the library, so the tool knows the library as if it had
// loaded it itself.
inline constexpr std::uint8_t kHostProtocolVersion = 1;
struct HostHello
{
    std::uint8_t version = kHostProtocolVersion;
    TermbLoadFailure failure = TermbLoadFailure::NotFound;
    bool isVirtual = false;
    std::string virtualInfo;
    std::string error;
    std::vector<std::string> missing;
};
inline constexpr std::size_t kMaxHostHelloPayload = 8192;
HostHello HostHelloOf(const TermbLibrary& library);
std::vector<unsigned char> EncodeHostHello(const HostHello& hello);
bool DecodeHostHello(const unsigned char* payload, std::size_t size, HostHello& hello);

// The host's buffers for one call at a time, made once and reused by every
// call: at each place the largest buffer any function passes there, and
// kHostSpareRoom bytes behind it for PerformHostCall's guard.
inline constexpr std::size_t kHostSpareRoom = 4096;
class HostCallSpace
{
public:
    HostCallSpace();
    HostCallSpace(const HostCallSpace&) = delete;
    HostCallSpace& operator=(const HostCallSpace&) = delete;

    // The call whose buffers are this space's: decode a request into it,
    // perform it, encode the answer from it.
    HostCall& Call() { return m_call; }

private:
    HostCall m_call;
    std::array<std::vector<unsigned char>, kMaxHostCallBuffers> m_room;
};

// Makes the call held in `space` on `api`, in the host; the results, the
// integers and the buffers as the library left them replace the request's.
// The library gets buffers of their full sizes holding the request's bytes,
// each with the kHostSpareRoom bytes behind it filled with a known pattern.
// False when the library wrote into that room: it writes past the buffers it
// is given, the host's memory can no longer be trusted, and the answer must
// not be sent. The host then ends as a crashed library would, so the tool
// reports the call.
bool PerformHostCall(const TermbApi& api, HostCallSpace& space);

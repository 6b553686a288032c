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

// One call as it crosses the channel. `values` are the integer arguments in
// the order of the function's argument list (the by-reference lengths
// included); `buffers` the pointer arguments' contents, each at most its
// buffer's size, missing bytes being zero.
struct HostCall
{
    TermbFunction function = TermbFunction::OpenPort;
    int result = 0; // answers only
    std::vector<std::int32_t> values;
    std::vector<std::vector<unsigned char>> buffers;
};

// How many integers and which buffer sizes a function's call carries.
std::size_t HostCallValueCount(TermbFunction function);
std::vector<std::size_t> HostCallBufferSizes(TermbFunction function);

// The largest payload a request or the answer to `function` may have; a frame
// announcing more is malformed.
std::size_t MaxHostRequestPayload();
std::size_t MaxHostAnswerPayload(TermbFunction function);

// A frame's length prefix.
inline constexpr std::size_t kHostFrameHeaderSize = 4;
std::uint32_t HostFramePayloadSize(const unsigned char* header);

// Whole frames, length prefix included. A call whose counts or buffer sizes
// break the function's shape is a programming error of the caller and is not
// checked here; decoding checks everything.
std::vector<unsigned char> EncodeHostRequest(const HostCall& call);
std::vector<unsigned char> EncodeHostAnswer(const HostCall& call);

// Decode a payload (without its prefix). False, with `call` unspecified, for
// an unknown function, a count or length out of bounds, a short payload or
// bytes left over. An answer must be for `expected`.
bool DecodeHostRequest(const unsigned char* payload, std::size_t size, HostCall& call);
bool DecodeHostAnswer(TermbFunction expected, const unsigned char* payload, std::size_t size,
                      HostCall& call);

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

// Makes the request's call on `api`, in the host, and fills `answer`. The
// library gets buffers of their full sizes holding the request's bytes, each
// with room behind it filled with a known pattern. False when the library
// wrote into that room: it writes past the buffers it is given, the host's
// memory can no longer be trusted, and the answer must not be sent. The host
// then ends as a crashed library would, so the tool reports the call.
bool PerformHostCall(const TermbApi& api, const HostCall& request, HostCall& answer);

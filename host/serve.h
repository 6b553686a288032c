#pragma once
// The reader host's work once it runs, the same on every system: load the
// library, say how that went, then answer one request at a time until the
// tool closes the channel.

#include <cstddef>
#include <string>
#include <vector>

// The host's end of its channel, per system. Each call moves all its bytes
// or fails: the tool has closed the channel or is gone.
class HostChannelEnd
{
public:
    virtual ~HostChannelEnd() = default;
    virtual bool ReadAll(void* data, std::size_t size) = 0;
    virtual bool WriteAll(const std::vector<unsigned char>& frame) = 0;
};

// Exit codes: the tool sees only that the channel closed; these are for a
// person running the host by hand.
inline constexpr int kHostExitUsage = 2;
inline constexpr int kHostExitBadRequest = 3;

// Loads `library` (a UTF-8 path) and serves it on `channel`; the exit code.
int ServeReaderLibrary(const std::string& library, HostChannelEnd& channel);

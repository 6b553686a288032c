#pragma once
// The reader host's work once it runs, the same on every system: load the
// library, say how that went, then answer one request at a time until the
// tool closes the channel.

#include <cstddef>
#include <string>
#include <vector>

// The host's end of its channel. ReadAll and WriteAll move all their bytes
// or fail: the tool has closed the channel or is gone. Each system gives the
// one step that moves some bytes.
class HostChannelEnd
{
public:
    virtual ~HostChannelEnd() = default;
    bool ReadAll(void* data, std::size_t size);
    bool WriteAll(const std::vector<unsigned char>& frame);

protected:
    // The bytes moved by one read or write of at most `size`; 0 or less when
    // the channel failed.
    virtual long ReadSome(void* data, std::size_t size) = 0;
    virtual long WriteSome(const void* data, std::size_t size) = 0;
};

// Exit codes: the tool sees only that the channel closed; these are for a
// person running the host by hand.
inline constexpr int kHostExitUsage = 2;
inline constexpr int kHostExitBadRequest = 3;
inline constexpr int kHostExitLibraryOverran = 4; // wrote past a buffer it was given

// Loads `library` (a UTF-8 path) and serves it on `channel`; the exit code.
int ServeReaderLibrary(const std::string& library, HostChannelEnd& channel);

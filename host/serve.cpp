#include "serve.h"

#include "reader/host_protocol.h"
#include "reader/termb_loader.h"

bool HostChannelEnd::ReadAll(void* data, std::size_t size)
{
    for (auto p = static_cast<char*>(data); size > 0;) {
        const long n = ReadSome(p, size);
        if (n <= 0)
            return false;
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool HostChannelEnd::WriteAll(const std::vector<unsigned char>& frame)
{
    std::size_t size = frame.size();
    for (const unsigned char* p = frame.data(); size > 0;) {
        const long n = WriteSome(p, size);
        if (n <= 0)
            return false;
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

int ServeReaderLibrary(const std::string& library, HostChannelEnd& channel)
{
    const TermbLibrary loaded = LoadTermbLibraryInProcess(library);
    if (!channel.WriteAll(EncodeHostHello(HostHelloOf(loaded))))
        return 0;
    // Made once, with room for the largest frame and buffers, so that no
    // call allocates.
    HostCallSpace space;
    std::vector<unsigned char> payload(MaxHostRequestPayload());
    std::vector<unsigned char> frame;
    frame.reserve(kHostFrameHeaderSize + MaxHostFramePayload());
    for (;;) {
        unsigned char header[kHostFrameHeaderSize];
        if (!channel.ReadAll(header, sizeof header))
            return 0; // the tool closed the channel
        const std::uint32_t size = HostFramePayloadSize(header);
        if (size > payload.size())
            return kHostExitBadRequest;
        if (!channel.ReadAll(payload.data(), size) ||
            !DecodeHostRequest(payload.data(), size, space.Call()))
            return kHostExitBadRequest;
        if (!PerformHostCall(loaded.api, space))
            return kHostExitLibraryOverran;
        EncodeHostAnswer(space.Call(), frame);
        if (!channel.WriteAll(frame))
            return 0;
    }
}

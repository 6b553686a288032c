#include "serve.h"

#include "reader/host_protocol.h"
#include "reader/termb_loader.h"

int ServeReaderLibrary(const std::string& library, HostChannelEnd& channel)
{
    const TermbLibrary loaded = LoadTermbLibraryInProcess(library);
    if (!channel.WriteAll(EncodeHostHello(HostHelloOf(loaded))))
        return 0;
    std::vector<unsigned char> payload;
    for (;;) {
        unsigned char header[kHostFrameHeaderSize];
        if (!channel.ReadAll(header, sizeof header))
            return 0; // the tool closed the channel
        const std::uint32_t size = HostFramePayloadSize(header);
        if (size > MaxHostRequestPayload())
            return kHostExitBadRequest;
        payload.resize(size);
        HostCall request;
        if (!channel.ReadAll(payload.data(), size) ||
            !DecodeHostRequest(payload.data(), payload.size(), request))
            return kHostExitBadRequest;
        if (!channel.WriteAll(EncodeHostAnswer(PerformHostCall(loaded.api, request))))
            return 0;
    }
}

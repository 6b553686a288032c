// The virtual reader's Wlt2Bmp on any photo bytes. The tool hands it a
// 2001-byte buffer; it must read no byte beyond those, nor beyond the payload
// its header declares, and answer 38862 only with a complete bitmap: every
// byte of the 38,862 written the same whatever the buffer held before. On
// any other answer the bitmap buffer is untouched.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "reader/termb.h"

extern "C" int TERMB_CALL Wlt2Bmp(unsigned char* wlt, unsigned char* bmp);

namespace {

// Decodes from a heap buffer of exactly `length` bytes into a heap bitmap of
// exactly kTermbBitmapSize bytes, twice over differently filled bitmaps.
// With `fixChecksum`, the header's checksum is made right first, so that
// mutated payloads reach the run decoder instead of failing the checksum.
void decodeExactly(const std::uint8_t* data, std::size_t size, std::size_t length,
                   bool fixChecksum = false)
{
    auto wlt = std::make_unique<unsigned char[]>(length);
    std::memcpy(wlt.get(), data, size < length ? size : length);
    if (fixChecksum && length >= 10) {
        const std::size_t payload = std::size_t(wlt[4] | wlt[5] << 8);
        unsigned sum = 0;
        for (std::size_t i = 10; i < length && i < 10 + payload; ++i)
            sum += wlt[i];
        wlt[8] = static_cast<unsigned char>(sum & 0xFF);
        wlt[9] = static_cast<unsigned char>(sum >> 8 & 0xFF);
    }
    auto first = std::make_unique<unsigned char[]>(kTermbBitmapSize);
    auto second = std::make_unique<unsigned char[]>(kTermbBitmapSize);
    std::memset(first.get(), 0x00, kTermbBitmapSize);
    std::memset(second.get(), 0xFF, kTermbBitmapSize);

    const int result = Wlt2Bmp(wlt.get(), first.get());
    if (Wlt2Bmp(wlt.get(), second.get()) != result)
        std::abort(); // the same bytes, another answer
    if (result != kTermbBitmapSize) {
        if (result >= 0)
            std::abort();
        for (std::size_t i = 0; i < kTermbBitmapSize; ++i)
            if (first[i] != 0x00 || second[i] != 0xFF)
                std::abort(); // a failed conversion wrote into the bitmap
        return;
    }
    if (std::memcmp(first.get(), second.get(), kTermbBitmapSize) != 0)
        std::abort(); // some byte of the bitmap was left unwritten
    const unsigned char header[] = {'B', 'M', 0xCE, 0x97, 0x00, 0x00};
    if (std::memcmp(first.get(), header, sizeof header) != 0)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // As the tool calls it: the whole photo buffer.
    decodeExactly(data, size, kPhotoBufferSize);
    // Only the header and the payload it declares, when the input holds them
    // both: anything read past them is a fault.
    if (size >= 10) {
        const std::size_t declared = 10 + (data[4] | data[5] << 8);
        if (declared <= size && declared <= kPhotoBufferSize) {
            decodeExactly(data, size, declared);
            decodeExactly(data, size, declared, true);
        }
    }
    return 0;
}

#include "ui/qt/jpeg_image.h"

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace {

constexpr unsigned long long kMaxPixels = 16ull * 1024 * 1024;

// libjpeg reports a fatal error by calling error_exit, which by default ends
// the process. Ours jumps back into DecodeJpeg instead.
struct ErrorManager
{
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

[[noreturn]] void onError(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}

// Warnings (a slightly damaged image that still decodes) are not printed.
void onMessage(j_common_ptr) {}

// Everything libjpeg touches lives here, outside the function that calls
// setjmp, so the jump back leaves no C++ object half-destroyed.
bool decodeInto(jpeg_decompress_struct& info, const unsigned char* data, std::size_t size,
                std::vector<unsigned char>& pixels, int& width, int& height)
{
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, const_cast<unsigned char*>(data), static_cast<unsigned long>(size));
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK)
        return false;
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    if (info.output_components != 3)
        return false;
    // Our pictures are small; a header claiming more is damaged.
    if (static_cast<unsigned long long>(info.output_width) * info.output_height > kMaxPixels)
        return false;
    width = static_cast<int>(info.output_width);
    height = static_cast<int>(info.output_height);
    const std::size_t stride = static_cast<std::size_t>(width) * 3;
    pixels.resize(stride * static_cast<std::size_t>(height));
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = pixels.data() + stride * info.output_scanline;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    return true;
}

} // namespace

bool DecodeJpeg(const unsigned char* data, std::size_t size, RgbImage& image)
{
    image = RgbImage{};
    if (data == nullptr || size == 0)
        return false;
    jpeg_decompress_struct info{};
    ErrorManager errors{};
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = onError;
    errors.base.output_message = onMessage;
    // `ok` is set only after a normal return, never across the jump.
    bool ok = false;
    if (setjmp(errors.jump) == 0)
        ok = decodeInto(info, data, size, image.pixels, image.width, image.height);
    jpeg_destroy_decompress(&info);
    if (!ok)
        image = RgbImage{};
    return ok;
}

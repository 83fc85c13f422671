#include "media/TurboJpegDecoder.h"

#include <turbojpeg.h>

#include <climits>

CTurboJpegDecoder::CTurboJpegDecoder() : m_handle(tjInitDecompress()) {}

CTurboJpegDecoder::~CTurboJpegDecoder() {
    if (m_handle != nullptr) tjDestroy(static_cast<tjhandle>(m_handle));
}

bool CTurboJpegDecoder::DecodeInto(const uint8_t* data, size_t size, const PixelView& strip) {
    if (m_handle == nullptr || data == nullptr || size == 0 || size > ULONG_MAX || strip.Empty())
        return false;
    tjhandle handle = static_cast<tjhandle>(m_handle);
    int width = 0, height = 0, subsampling = 0, colourspace = 0;
    if (tjDecompressHeader3(handle, data, static_cast<unsigned long>(size), &width, &height,
                            &subsampling, &colourspace) != 0)
        return false;
    // Only a picture that fits is decoded in place; the pad's strips always do.
    if (width > strip.width || height > strip.height || strip.stride < 0) return false;
    return tjDecompress2(handle, data, static_cast<unsigned long>(size), strip.pixels, width,
                         static_cast<int>(strip.stride), height, TJPF_BGRX, TJFLAG_FASTDCT) == 0;
}

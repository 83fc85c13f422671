// The screen-up strip encoder on libjpeg-turbo, for native tests and benchmarks (the
// program encodes with the platform's codec). Header-only so that whatever links
// libturbojpeg can use it, while the portable core stays free of it.
#pragma once

#include "screenup/ImageEncoder.h"

#include <turbojpeg.h>

class CTurboJpegEncoder : public IImageEncoder {
  public:
    CTurboJpegEncoder() : m_hJpeg(tjInitCompress()) {}
    ~CTurboJpegEncoder() override {
        if (m_hJpeg != nullptr) tjDestroy(m_hJpeg);
        tjFree(m_pBuffer);
    }
    CTurboJpegEncoder(const CTurboJpegEncoder&) = delete;
    CTurboJpegEncoder& operator=(const CTurboJpegEncoder&) = delete;

    // 4:2:0 baseline with the fast DCT, as a screen codec would choose.
    static constexpr int kSubsampling = TJSAMP_420;
    static constexpr int kFlags = TJFLAG_FASTDCT;

    bool EncodeJpeg(const PixelView& strip, int quality, std::vector<uint8_t>& out) override {
        out.clear();
        if (m_hJpeg == nullptr || strip.Empty() || strip.stride < 0) return false;
        // A buffer for the worst case of this size, kept and grown only (never cleared),
        // so the encoder never reallocates; the caller gets exactly the bytes written.
        const unsigned long bound = tjBufSize(strip.width, strip.height, kSubsampling);
        if (bound == static_cast<unsigned long>(-1)) return false;
        if (bound > m_nBufferSize) {
            tjFree(m_pBuffer);
            m_pBuffer = tjAlloc(static_cast<int>(bound));
            m_nBufferSize = m_pBuffer != nullptr ? bound : 0;
            if (m_pBuffer == nullptr) return false;
        }
        unsigned long size = m_nBufferSize;
        if (tjCompress2(m_hJpeg, strip.pixels, strip.width, static_cast<int>(strip.stride),
                        strip.height, TJPF_BGRX, &m_pBuffer, &size, kSubsampling, quality,
                        kFlags | TJFLAG_NOREALLOC) != 0) {
            return false;
        }
        out.assign(m_pBuffer, m_pBuffer + size);
        return true;
    }

  private:
    tjhandle m_hJpeg;
    unsigned char* m_pBuffer = nullptr;
    unsigned long m_nBufferSize = 0;
};

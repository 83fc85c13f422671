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
    }
    CTurboJpegEncoder(const CTurboJpegEncoder&) = delete;
    CTurboJpegEncoder& operator=(const CTurboJpegEncoder&) = delete;

    // 4:2:0 baseline with the fast DCT, as a screen codec would choose.
    static constexpr int kSubsampling = TJSAMP_420;
    static constexpr int kFlags = TJFLAG_FASTDCT;

    bool EncodeJpeg(const PixelView& strip, int quality, std::vector<uint8_t>& out) override {
        out.clear();
        if (m_hJpeg == nullptr || strip.Empty() || strip.stride < 0) return false;
        // The worst case for this size, so the encoder never reallocates; then cut to
        // what it wrote.
        const unsigned long bound = tjBufSize(strip.width, strip.height, kSubsampling);
        if (bound == static_cast<unsigned long>(-1)) return false;
        out.resize(bound);
        unsigned char* data = out.data();
        unsigned long size = bound;
        if (tjCompress2(m_hJpeg, strip.pixels, strip.width, static_cast<int>(strip.stride),
                        strip.height, TJPF_BGRX, &data, &size, kSubsampling, quality,
                        kFlags | TJFLAG_NOREALLOC) != 0) {
            out.clear();
            return false;
        }
        out.resize(size);
        return true;
    }

  private:
    tjhandle m_hJpeg;
};

#pragma once

#include "remote/ImageDecoder.h"

// libjpeg-turbo behind the pad's decoder interface, for native tests and benchmarks of
// the frame applier: decodes straight into the strip when the picture fits it.
class CTurboJpegDecoder : public IImageDecoder {
  public:
    CTurboJpegDecoder();
    ~CTurboJpegDecoder() override;
    CTurboJpegDecoder(const CTurboJpegDecoder&) = delete;
    CTurboJpegDecoder& operator=(const CTurboJpegDecoder&) = delete;

    bool DecodeInto(const uint8_t* data, size_t size, const PixelView& strip) override;

  private:
    void* m_handle;
};

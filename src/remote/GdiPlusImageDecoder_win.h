// The Windows image decoder of remote frames: GDI+ reading the image from
// memory and writing its pixels straight into the strip, pixel for pixel
// whatever resolution the image claims. GDI+ must be running in the process
// (the main dialog starts it).
#pragma once

#include "remote/ImageDecoder.h"

class CGdiPlusImageDecoder : public IImageDecoder {
  public:
    bool DecodeInto(const uint8_t* data, size_t size, const PixelView& strip) override;
};

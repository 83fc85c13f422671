// Encodes the strip of changed tiles as a JPEG. The program encodes with the platform's
// codec; tests and benchmarks use libjpeg-turbo.
#pragma once

#include "remote/PixelView.h"

#include <cstdint>
#include <vector>

class IImageEncoder {
  public:
    virtual ~IImageEncoder() = default;
    // Encodes the 32-bpp strip (blue, green, red, unused) as a baseline JPEG of the
    // given quality (1 to 100). Replaces the contents of out, which ends up exactly as
    // long as the encoded picture however large that is. False when the strip cannot
    // be encoded; out is then empty.
    virtual bool EncodeJpeg(const PixelView& strip, int quality, std::vector<uint8_t>& out) = 0;
};

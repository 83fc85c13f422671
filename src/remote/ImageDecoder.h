// Decodes the picture a frame carries (a JPEG from the lectern PC). The program
// decodes with the platform's codec; tests and benchmarks use libjpeg-turbo.
#pragma once

#include "remote/PixelView.h"

#include <cstddef>
#include <cstdint>

class IImageDecoder {
  public:
    virtual ~IImageDecoder() = default;
    // Writes the decoded picture pixel for pixel at (0, 0) of the strip, clipped to
    // it, whatever resolution the file claims. False when the bytes do not decode;
    // the strip may then hold anything the decoder wrote before it gave up.
    virtual bool DecodeInto(const uint8_t* data, size_t size, const PixelView& strip) = 0;
};

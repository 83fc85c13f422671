// The screen-up strip encoder of the program: GDI+'s JPEG codec over a memory stream.
// Wine's GDI+ ignores the quality, so frame sizes under Wine are larger than on
// Windows; the pictures are the same.
#pragma once

#include "framework/Afx_win.h"
#include "screenup/ImageEncoder.h"

class CGdiPlusImageEncoder : public IImageEncoder {
  public:
    // GDI+ must run (the program starts it before any capture thread).
    CGdiPlusImageEncoder();
    // False when no JPEG encoder is installed.
    bool Ready() const { return m_bHaveEncoder; }
    bool EncodeJpeg(const PixelView& strip, int quality, std::vector<uint8_t>& out) override;

  private:
    CLSID m_clsidJpeg{};
    bool m_bHaveEncoder = false;
};

// CMemBitmap: an off-screen DIB section selected into a memory device context, so its
// pixels can be addressed directly and drawn or copied with GDI alike. Rows are stored
// bottom-up; a 32-bit pixel is blue, green, red and an unused byte.
#pragma once

#include "framework/Afx_win.h"

#include <vector>

class CMemBitmap {
  public:
    CMemBitmap() = default;
    ~CMemBitmap() { Destroy(); }
    CMemBitmap(const CMemBitmap&) = delete;
    CMemBitmap& operator=(const CMemBitmap&) = delete;

    // Re-creates the bitmap, black; nothing happens for a width or height below 1.
    void Create(int width, int height, int bitsPerPixel);
    // Creates only when there is no bitmap yet or the size differs; keeps the pixels
    // otherwise (a different depth alone does not re-create it).
    void EnsureSize(int width, int height, int bitsPerPixel);
    void Destroy();

    BITMAPINFO* Info() {
        return m_pbmi.empty() ? nullptr : reinterpret_cast<BITMAPINFO*>(m_pbmi.data());
    }

    int m_nWidth = 0;
    int m_nHeight = 0;
    int m_nBitsPerPixel = 0;
    int m_nImageSize = 0;
    HDC m_dc = nullptr;
    HBITMAP m_hBitmap = nullptr;
    void* m_pBits = nullptr;
    HBITMAP m_hOldBitmap = nullptr;
    std::vector<BYTE> m_pbmi;

  private:
    void Build(int width, int height, int bitsPerPixel);
    void ReleaseSurface();
};

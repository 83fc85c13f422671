#include "widgets/MemBitmap_win.h"

namespace {
constexpr int kHeaderSize = sizeof(BITMAPINFOHEADER);  // 40
constexpr int kGreyLevels = 256;
constexpr int kTrueColourBits = 32;
}  // namespace

void CMemBitmap::Create(int width, int height, int bitsPerPixel) {
    if (width < 1 || height < 1) return;
    Build(width, height, bitsPerPixel);
}

void CMemBitmap::EnsureSize(int width, int height, int bitsPerPixel) {
    if (width < 1 || height < 1) return;
    if (m_hBitmap != nullptr && width == m_nWidth && height == m_nHeight) return;
    Build(width, height, bitsPerPixel);
}

void CMemBitmap::ReleaseSurface() {
    if (m_dc == nullptr) return;
    ::SelectObject(m_dc, m_hOldBitmap);
    if (m_hBitmap != nullptr) ::DeleteObject(m_hBitmap);
    m_hBitmap = nullptr;
    m_pBits = nullptr;
    m_hOldBitmap = nullptr;
    ::DeleteDC(m_dc);
    m_dc = nullptr;
}

void CMemBitmap::Build(int width, int height, int bitsPerPixel) {
    m_nWidth = width;
    m_nHeight = height;
    m_nBitsPerPixel = bitsPerPixel;
    ReleaseSurface();

    HWND desktop = ::GetDesktopWindow();
    HDC screen = ::GetDC(desktop);
    m_dc = ::CreateCompatibleDC(screen);
    if (m_dc == nullptr) {
        m_nWidth = m_nHeight = m_nImageSize = 0;
        ::ReleaseDC(desktop, screen);
        return;
    }
    const bool palette = bitsPerPixel != kTrueColourBits;
    m_pbmi.assign(kHeaderSize + (palette ? kGreyLevels * sizeof(RGBQUAD) : 0), 0);
    BITMAPINFO* info = Info();
    info->bmiHeader.biSize = kHeaderSize;
    info->bmiHeader.biWidth = width;
    info->bmiHeader.biHeight = height;  // positive: bottom-up rows
    info->bmiHeader.biPlanes = 1;
    info->bmiHeader.biBitCount = static_cast<WORD>(bitsPerPixel);
    info->bmiHeader.biCompression = BI_RGB;
    if (palette) {
        for (int i = 0; i < kGreyLevels; ++i) {
            RGBQUAD& entry = info->bmiColors[i];
            entry.rgbBlue = entry.rgbGreen = entry.rgbRed = entry.rgbReserved =
                static_cast<BYTE>(i);
        }
        info->bmiHeader.biClrUsed = kGreyLevels;
    }
    void* bits = nullptr;
    m_hBitmap = ::CreateDIBSection(m_dc, info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (m_hBitmap != nullptr) {
        m_pBits = bits;
        m_hOldBitmap = static_cast<HBITMAP>(::SelectObject(m_dc, m_hBitmap));
        ::PatBlt(m_dc, 0, 0, width, height, BLACKNESS);
        BITMAP description{};
        ::GetObjectW(m_hBitmap, sizeof(description), &description);
        m_nImageSize = description.bmWidthBytes * height;
    } else {
        // No pixels: the sizes say so, for every reader that bounds its work by them.
        m_nWidth = m_nHeight = m_nImageSize = 0;
    }
    ::ReleaseDC(desktop, screen);
}

void CMemBitmap::Destroy() {
    ReleaseSurface();
    m_pbmi.clear();
}

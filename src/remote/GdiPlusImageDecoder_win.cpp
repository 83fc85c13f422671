#include "remote/GdiPlusImageDecoder_win.h"

#include "framework/Afx_win.h"

#include <objidl.h>
#include <shlwapi.h>

#include <algorithm>
#include <climits>
#include <gdiplus.h>

bool CGdiPlusImageDecoder::DecodeInto(const uint8_t* data, size_t size, const PixelView& strip) {
    if (data == nullptr || size == 0 || size > UINT_MAX || strip.pixels == nullptr) return false;
    // A stream over the bytes themselves: nothing to truncate, nothing stale
    // behind.
    IStream* stream = ::SHCreateMemStream(data, static_cast<UINT>(size));
    if (stream == nullptr) return false;
    bool decoded = false;
    {
        Gdiplus::Bitmap image(stream, FALSE);
        if (image.GetLastStatus() == Gdiplus::Ok) {
            const int width = std::min<int>(static_cast<int>(image.GetWidth()), strip.width);
            const int height = std::min<int>(static_cast<int>(image.GetHeight()), strip.height);
            if (width > 0 && height > 0) {
                // Read straight into the strip: the caller's buffer and stride.
                Gdiplus::BitmapData target{};
                target.Width = static_cast<UINT>(width);
                target.Height = static_cast<UINT>(height);
                target.Stride = static_cast<INT>(strip.stride);
                target.PixelFormat = PixelFormat32bppRGB;
                target.Scan0 = strip.pixels;
                Gdiplus::Rect area(0, 0, width, height);
                if (image.LockBits(&area,
                                   Gdiplus::ImageLockModeRead | Gdiplus::ImageLockModeUserInputBuf,
                                   PixelFormat32bppRGB, &target) == Gdiplus::Ok) {
                    image.UnlockBits(&target);
                    decoded = true;
                }
            }
        }
    }
    stream->Release();
    return decoded;
}

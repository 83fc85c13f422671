#include "widgets/GdiPlus_win.h"

#include <objidl.h>

#include <algorithm>
#include <atomic>
#include <gdiplus.h>

namespace {
std::atomic<int> g_nSessions{0};
}

CGdiPlusSession::CGdiPlusSession() {
    Gdiplus::GdiplusStartupInput input;
    if (Gdiplus::GdiplusStartup(&m_token, &input, nullptr) == Gdiplus::Ok) {
        ++g_nSessions;
    } else {
        m_token = 0;
    }
}

CGdiPlusSession::~CGdiPlusSession() {
    if (m_token == 0) return;
    --g_nSessions;
    Gdiplus::GdiplusShutdown(m_token);
}

SIZE BitmapSize(HBITMAP bitmap) {
    BITMAP description{};
    if (bitmap == nullptr || ::GetObjectW(bitmap, sizeof(description), &description) == 0) {
        return SIZE{0, 0};
    }
    return SIZE{description.bmWidth, std::abs(description.bmHeight)};
}

void DrawBitmapStretched(HDC dc, HBITMAP bitmap, int x, int y, int width, int height) {
    if (bitmap == nullptr || width <= 0 || height <= 0) return;
    if (g_nSessions.load() > 0) {
        Gdiplus::Bitmap picture(bitmap, nullptr);
        Gdiplus::Graphics graphics(dc);
        graphics.DrawImage(&picture, x, y, width, height);
        return;
    }
    const SIZE size = BitmapSize(bitmap);
    HDC source = ::CreateCompatibleDC(dc);
    HGDIOBJ old = ::SelectObject(source, bitmap);
    ::StretchBlt(dc, x, y, width, height, source, 0, 0, size.cx, size.cy, SRCCOPY);
    ::SelectObject(source, old);
    ::DeleteDC(source);
}

#include "widgets/NoticePainting_win.h"

#include "resources/resource.h"
#include "shell/ScaleFactor.h"

namespace {
constexpr int kBoldWeight = 700;
}

void PaintNotice(HWND window) {
    PAINTSTRUCT paint;
    HDC dc = ::BeginPaint(window, &paint);
    RECT client;
    ::GetClientRect(window, &client);
    HDC memDC = ::CreateCompatibleDC(dc);
    HBITMAP canvas = ::CreateCompatibleBitmap(dc, client.right, client.bottom);
    HGDIOBJ oldCanvas = ::SelectObject(memDC, canvas);
    // What lies outside the frame is taken from the window as it is.
    ::BitBlt(memDC, 0, 0, client.right, client.bottom, dc, 0, 0, SRCCOPY);
    HPEN pen = ::CreatePen(PS_SOLID, 1, kNoticeFrameColour);
    HBRUSH brush = ::CreateSolidBrush(kNoticeFillColour);
    HGDIOBJ oldPen = ::SelectObject(memDC, pen);
    HGDIOBJ oldBrush = ::SelectObject(memDC, brush);
    ::Rectangle(memDC, 1, 1, client.right - 2, client.bottom - 2);
    ::SelectObject(memDC, oldPen);
    ::SelectObject(memDC, oldBrush);
    ::BitBlt(dc, 0, 0, client.right, client.bottom, memDC, 0, 0, SRCCOPY);
    ::SelectObject(memDC, oldCanvas);
    ::DeleteObject(canvas);
    ::DeleteDC(memDC);
    ::DeleteObject(pen);
    ::DeleteObject(brush);
    ::EndPaint(window, &paint);
}

HFONT MakeNoticeFont(int designHeight) {
    const std::wstring face = AfxLoadString(IDS_FONT_FACE);
    return ::CreateFontW(Scaled(designHeight), 0, 0, 0, kBoldWeight, FALSE, FALSE, FALSE,
                         DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                         DEFAULT_PITCH, face.c_str());
}

BOOL HandleNoticePainting(HWND window, UINT message, WPARAM wParam, HBRUSH fillBrush,
                          HBRUSH labelBrush, LRESULT& result) {
    switch (message) {
        case WM_PAINT:
            PaintNotice(window);
            result = 0;
            return TRUE;
        case WM_ERASEBKGND: {
            RECT client;
            ::GetClientRect(window, &client);
            ::FillRect(reinterpret_cast<HDC>(wParam), &client, fillBrush);
            result = 1;
            return TRUE;
        }
        case WM_CTLCOLORSTATIC: {
            HDC dc = reinterpret_cast<HDC>(wParam);
            ::SetTextColor(dc, kNoticeTextColour);
            ::SetBkMode(dc, TRANSPARENT);
            result = reinterpret_cast<LRESULT>(labelBrush);
            return TRUE;
        }
        default:
            return FALSE;
    }
}

// The framed dark background shared by the wait notice and the loading window.
#pragma once

#include "framework/Afx_win.h"

constexpr COLORREF kNoticeFrameColour = RGB(38, 48, 69);
constexpr COLORREF kNoticeFillColour = RGB(20, 32, 54);
constexpr COLORREF kNoticeTextColour = RGB(162, 192, 209);

// Paints the window's client area through an off-screen canvas: a 1-pixel frame from
// (1, 1) to (width − 2, height − 2) filled dark.
void PaintNotice(HWND window);
HFONT MakeNoticeFont(int designHeight);

// The painting messages both notices handle alike: the framed background, the erase
// with the fill colour, and light label text over labelBrush (a null brush leaves the
// label's background alone). TRUE when the message was one of them.
BOOL HandleNoticePainting(HWND window, UINT message, WPARAM wParam, HBRUSH fillBrush,
                          HBRUSH labelBrush, LRESULT& result);

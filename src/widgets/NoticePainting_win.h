// The framed dark background shared by the wait notice and the loading window.
#pragma once

#include "framework/Afx_win.h"
#include "widgets/Theme_win.h"

// Paints the window's client area through an off-screen canvas: a 1-pixel frame from
// (1, 1) to (width − 2, height − 2) filled dark.
void PaintNotice(HWND window);
HFONT MakeNoticeFont(int designHeight);

// The painting messages both notices handle alike: the framed background, the erase
// with the fill colour, and light label text over labelBrush (a null brush leaves the
// label's background alone). TRUE when the message was one of them.
BOOL HandleNoticePainting(HWND window, UINT message, WPARAM wParam, HBRUSH fillBrush,
                          HBRUSH labelBrush, LRESULT& result);

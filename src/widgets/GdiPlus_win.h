// GDI+ for the program's pictures: started once by whoever shows windows, and a
// stretched draw of a bitmap.
#pragma once

#include "framework/Afx_win.h"

// Starts GDI+ for the lifetime of the object (nesting is allowed).
class CGdiPlusSession {
  public:
    CGdiPlusSession();
    ~CGdiPlusSession();
    CGdiPlusSession(const CGdiPlusSession&) = delete;
    CGdiPlusSession& operator=(const CGdiPlusSession&) = delete;
    bool Started() const { return m_token != 0; }

  private:
    ULONG_PTR m_token = 0;
};

// Draws the bitmap (no palette) stretched to the rectangle; with GDI+ when it runs,
// else with GDI.
void DrawBitmapStretched(HDC dc, HBITMAP bitmap, int x, int y, int width, int height);

// The bitmap's size in pixels (0 × 0 for none).
SIZE BitmapSize(HBITMAP bitmap);

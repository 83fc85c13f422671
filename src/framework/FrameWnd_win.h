// CFrameWnd: a top-level window of its own class that owns itself: it is made with
// new, closes by destroying itself and deletes the object once the window is gone.
#pragma once

#include "framework/Wnd_win.h"

// Registers a window class for these attributes once (per process) and returns its
// name; the same attributes give the same name. Null when registering failed.
const wchar_t* AfxRegisterWndClass(UINT classStyle, HCURSOR cursor = nullptr,
                                   HBRUSH background = nullptr, HICON icon = nullptr);

class CFrameWnd : public CWnd {
  public:
    CFrameWnd() = default;
    ~CFrameWnd() override = default;

    // A null class name takes a plain class with the arrow cursor.
    BOOL Create(const wchar_t* className, const wchar_t* windowName,
                DWORD style = WS_OVERLAPPEDWINDOW, const RECT& rect = rectDefault,
                DWORD exStyle = 0);

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void PostNcDestroy() override { delete this; }

    static const RECT rectDefault;
};

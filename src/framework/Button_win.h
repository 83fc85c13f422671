// CButton: a push or check button control, created at run time or taken over from a
// dialog template.
#pragma once

#include "framework/Wnd_win.h"

class CButton : public CWnd {
  public:
    BOOL Create(const wchar_t* caption, DWORD style, const RECT& rect, CWnd* parent, UINT id) {
        return CreateEx(0, L"BUTTON", caption, style, rect, parent, id);
    }
    int GetCheck() const { return static_cast<int>(::SendMessageW(m_hWnd, BM_GETCHECK, 0, 0)); }
    void SetCheck(int check) { ::SendMessageW(m_hWnd, BM_SETCHECK, static_cast<WPARAM>(check), 0); }
};

// CImageButton: a button drawn entirely from four pictures (normal, hover, disabled,
// checked) stretched to its size, with an optional tooltip. Clicks reach the parent as
// ordinary button notifications.
#pragma once

#include "framework/Button_win.h"

#include <string>

class CImageButton : public CButton {
  public:
    CImageButton() = default;
    ~CImageButton() override;

    // Four bitmap ids from the resource module; an id may repeat.
    void LoadBitmaps(UINT normal, UINT hover, UINT disabled, UINT checked);
    void SetTooltip(const wchar_t* text);

    // The picture the next paint draws (for tests and callers that need to know).
    HBITMAP CurrentPicture();
    bool IsHovering() const { return m_bHovering; }
    HWND Tooltip() const { return m_hTooltip; }

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    static constexpr UINT kHoverTimeMs = 10;
    static constexpr int kStretchMode = HALFTONE;

  private:
    void OnPaint();
    void CreateTooltip();
    void DeletePictures();

    HBITMAP m_hNormal = nullptr;
    HBITMAP m_hHover = nullptr;
    HBITMAP m_hDisabled = nullptr;
    HBITMAP m_hChecked = nullptr;
    int m_nWidth = 0;
    int m_nHeight = 0;
    std::wstring m_strTooltip;
    HWND m_hTooltip = nullptr;
    bool m_bHovering = false;
    bool m_bEnabled = true;
};

// CCustomMsgDlg: the program's own dark message box with a caption, a text, a picture
// and one to three image buttons. Shown through ShowMessageBox, one at a time.
#pragma once

#include "framework/DialogEx_win.h"
#include "widgets/ImageButton_win.h"

#include <string>

class CCustomMsgDlg : public CDialogEx {
  public:
    explicit CCustomMsgDlg(CWnd* parent = nullptr);
    ~CCustomMsgDlg() override;

    std::wstring messageText;
    std::wstring captionText;
    int boxType = 0;  // MB_OK, MB_YESNOCANCEL or MB_YESNO
    int pressedButton = IDCANCEL;

    // Design geometry, multiplied by the scale factor.
    static constexpr int kWidth = 504;
    static constexpr int kHeight = 234;
    static constexpr int kHeaderHeight = 38;
    static constexpr int kButtonWidth = 67;
    static constexpr int kButtonHeight = 34;
    static constexpr int kButtonTop = 183;
    static constexpr int kTextLeft = 110;
    static constexpr int kTextTop = 63;
    static constexpr int kTextRight = 460;
    static constexpr int kTextBottom = 163;

    // Where the text goes: vertically centred in the text box, never above its top.
    static RECT TextRect(HDC dc, HFONT font, const std::wstring& text);

  protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    BOOL OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

  private:
    void PlaceButtons();
    void Paint();
    void CreatePaintResources(HDC dc, int width, int height);
    void ReleasePaintResources();

    CImageButton m_btnOk;
    CImageButton m_btnYes;
    CImageButton m_btnNo;
    CImageButton m_btnCancel;
    CImageButton m_btnClose;
    HFONT m_boxTitleFont = nullptr;
    HFONT m_boxTextFont = nullptr;
    HDC m_memDC = nullptr;
    HBITMAP m_canvas = nullptr;
    HGDIOBJ m_oldCanvas = nullptr;
    HBITMAP m_picBackground = nullptr;  // 172
    HBITMAP m_picIcon = nullptr;        // 173
    HPEN m_pens[3] = {};
    HBRUSH m_brushBody = nullptr;
    HBRUSH m_brushHeader = nullptr;
};

// True while a box from ShowMessageBox is open (the note palette ignores some
// commands meanwhile).
bool IsMessageBoxOpen();

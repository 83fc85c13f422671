// CNoteToolDlg: the note tool's palette (dialog 140), a small topmost window at the
// right edge: the three modes (touch, board writing, whiteboard), draw and erase, clear
// all, four pen sizes, eight colours, the semi-transparent pen and saving. It lives on
// the note thread, makes and closes the overlay (CNoteToolWnd) the teacher writes on,
// keeps the chosen colour and size in the profile and saves the page as a dated JPEG
// in "NoteSave" on the teacher's desktop.
//
// The main dialog reaches it only by posting kWmNotePlaceAndShow and
// kWmNoteRemoteStarted to its window, so every change of its state happens on its own
// thread, one after the other.
#pragma once

#include "framework/DialogEx_win.h"
#include "widgets/ImageButton_win.h"

#include <atomic>
#include <cstdint>
#include <string>

class CNoteToolWnd;

class CNoteToolDlg : public CDialogEx {
  public:
    // `mainDialog` is the panel (the overlay stays right below it); `handle` is set to
    // this palette's window while it exists.
    CNoteToolDlg(HWND mainDialog, std::atomic<HWND>* handle);
    ~CNoteToolDlg() override;

    int Mode() const { return m_nMode; }
    CNoteToolWnd* Overlay() const { return m_pOverlay; }

  protected:
    BOOL OnInitDialog() override;
    // Enter closes, with the discard question; Esc does nothing.
    void OnOK() override;
    void OnCancel() override {}
    BOOL OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

  private:
    void CreateButtons();
    CImageButton* Button(int id);
    void OnCommand(int id);
    void Refresh();
    void Layout();
    void KeepOnTop();
    void Paint();
    // Asks whether to save unsaved ink before the overlay goes; false when the teacher
    // cancelled (or another box is open). The overlay is closed on true.
    bool CloseOverlayAsking();
    void CloseOverlay();
    void EnterDrawingMode(int mode);
    void Save();
    bool SaveOverlay();
    void CloseCommand();
    void OnRemoteStarted();
    void SetCheck(int id, bool checked);

    HWND m_hMainDialog;
    std::atomic<HWND>* m_pHandle;
    int m_nMode = 0;
    int m_nTool = 0;
    uint32_t m_nColour = 230;
    int m_nSizeType = 1;
    CNoteToolWnd* m_pOverlay = nullptr;
    bool m_bPositioned = false;
    CImageButton m_buttons[21];
    HFONT m_hCaptionFont = nullptr;
    HBRUSH m_hTitleBrush = nullptr;
};

// CNoteThread: the note tool's own user-interface thread, so that writing on the screen
// stays smooth whatever the main dialog is doing. It lives from the first press of the
// note-tool button until the main dialog ends it with thread message 32868. Its hidden
// host window, CNoteThreadWnd ("Note Thread"), owns the palette (CNoteToolDlg), which
// in turn makes and closes the overlays the teacher writes on.
//
// The main dialog knows the thread by its handle and the palette by its window only:
// it posts to them and never calls into their objects, which belong to this thread.
#pragma once

#include "framework/FrameWnd_win.h"
#include "framework/WinThread_win.h"

#include <atomic>

class CNoteToolDlg;

class CNoteThreadWnd : public CFrameWnd {
  public:
    CNoteThreadWnd(HWND mainDialog, std::atomic<HWND>* palette);
    // Makes the palette; false when it could not be made.
    bool CreatePalette();
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

  private:
    HWND m_hMainDialog;
    std::atomic<HWND>* m_pPaletteHandle;
    CNoteToolDlg* m_pPalette = nullptr;
};

class CNoteThread : public CWinThread {
  public:
    // `palette` receives the palette's window once it exists and null before it goes;
    // it must outlive the thread.
    CNoteThread(HWND mainDialog, std::atomic<HWND>* palette);

    BOOL InitInstance() override;
    BOOL OnThreadMessage(const MSG& message) override;
    BOOL PreTranslateMessage(MSG* message) override;

  private:
    HWND m_hMainDialog;
    std::atomic<HWND>* m_pPaletteHandle;
};

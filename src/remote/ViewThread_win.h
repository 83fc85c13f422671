// CViewThread and CUIThreadWnd: the remote session's viewer. The window shows
// the lectern PC's frame buffer over the whole pad screen and forwards the
// teacher's pen, mouse and keys to the communication window's input lists. It
// reaches the communication window by its handle only.
#pragma once

#include "framework/FrameWnd_win.h"
#include "framework/WinThread_win.h"
#include "remote/InputRules.h"
#include "remote/ViewMapping.h"

#include <memory>

class CRHInfo;
class CInputQueue;

class CUIThreadWnd : public CFrameWnd {
  public:
    explicit CUIThreadWnd(CRHInfo& info);
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    // Before translation: the system keys and the input method's Hangul key. TRUE
    // when the message was handled here.
    BOOL PreTranslateKey(const MSG& message);
    // Borderless over the whole primary screen, then the whole-screen scale and
    // the monitor view in force.
    void GoFullScreen();

  private:
    bool Linked() const;
    HWND CommWindow() const;
    void Append(const std::vector<KeyEventRecord>& records);
    void AppendMouse(unsigned message, uint32_t flags, RemotePoint at, int16_t wheel);
    RemotePoint MapClient(int x, int y) const;
    RemotePoint MapScreen(int x, int y) const;
    SIZE ClientSize() const;
    void OnPaint();
    LRESULT OnGesture(WPARAM wParam, LPARAM lParam);
    void OnClose();

    CRHInfo& m_info;
    std::shared_ptr<CInputQueue> m_pInput;
    CViewMapping m_mapping;
    CKeyForwarder m_keys;
    GesturePoint m_ptGesture;
    bool m_bClosing = false;
};

class CViewThread : public CWinThread {
  public:
    explicit CViewThread(CRHInfo& info);
    BOOL InitInstance() override;
    int ExitInstance() override;
    BOOL PreTranslateMessage(MSG* message) override;
    BOOL OnThreadMessage(const MSG& message) override;

  private:
    CRHInfo& m_info;
    CUIThreadWnd* m_pView = nullptr;  // lives and dies on this thread
    HWND m_hView = nullptr;
};

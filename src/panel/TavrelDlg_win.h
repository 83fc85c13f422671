// CTavrelDlg: the main dialog (template 102, class "Vantor Tavrel"): the floating
// control panel docked at the top-right corner, and the owner of the session with the
// relay server and the lectern PC.
//
// The class is implemented in several files, one per concern:
//   TavrelDlg_win.cpp          start-up, message routing, exit and destruction
//   TavrelDlgPanel_win.cpp     scale factor, buttons, docking, painting, folding
//   TavrelDlgModes_win.cpp     the feature commands and their refusals
//   TavrelDlgSession_win.cpp   the Windows host of the session (CTavrelSession, which
//                              holds the relay and lectern PC logic), exit and teardown
#pragma once

#include "connection/SocketLink_win.h"
#include "connection/TCPSocket_win.h"
#include "framework/DialogEx_win.h"
#include "panel/RHInfo_win.h"
#include "panel/TavrelSession.h"
#include "widgets/ImageButton_win.h"

#include <atomic>
#include <memory>
#include <string>

class CLoadingDlg;
class CPacket;
class CGdiPlusSession;
class CRemoteLauncher;
class CScreenUpLauncher;
class CSoundUpLauncher;

// Set while screen up or sound up runs; polled by their capture threads.
extern std::atomic<bool> g_bScreenUp;
extern std::atomic<bool> g_bSoundUp;
class CTavrelDlg;
extern CTavrelDlg* g_pMainDlg;

class CTavrelDlg : public CDialogEx {
  public:
    explicit CTavrelDlg(CWnd* parent = nullptr);
    ~CTavrelDlg() override;

    // Sends one text command to the lectern PC when the link is up; drops it otherwise.
    void OnSendPacket(const std::u16string& text);
    // The session with the relay server and the lectern PC.
    CTavrelSession& Session() { return *m_pSession; }

    // ---- shared record and panel state ----
    CRHInfo m_info;
    bool m_bShowPanel = false;
    bool m_bCollapsed = false;
    SIZE m_sizeExpanded{0, 0};
    // The note tool's thread (its id and a handle to join it), from the first press of
    // its button on, and its palette's window while that exists.
    DWORD m_nNoteThreadId = 0;
    HANDLE m_hNoteThreadJoin = nullptr;
    std::atomic<HWND> m_hNotePalette{nullptr};
    CLoadingDlg* m_pLoadingDlg = nullptr;
    std::wstring m_strMessage;
    LONGLONG m_llPressTime = 0;

    CImageButton m_btnClose;         // 1628
    CImageButton m_btnFold;          // 1629
    CImageButton m_btnRemote;        // 1001
    CImageButton m_btnKeyboard;      // 1003
    CImageButton m_btnMonitor;       // 1630
    CImageButton m_btnScreenUp;      // 1004
    CImageButton m_btnNoteTool;      // 1007
    CImageButton m_btnSoundUp;       // 1005
    CImageButton m_btnStudentTouch;  // 1006
    CImageButton m_btnBroadcast;     // 1008

    // ---- session: TavrelDlgSession_win.cpp ----
    // The relay and lectern PC connections; the session decides, the dialog hosts it.
    CTCPSocket m_sockRelay;
    CTCPSocket m_sockTeacher;
    CSocketLink m_linkRelay{m_sockRelay};
    CSocketLink m_linkTeacher{m_sockTeacher};
    std::unique_ptr<ISessionHost> m_pSessionHost;
    std::unique_ptr<CTavrelSession> m_pSession;
    // The remote-control session's threads; made with the session.
    std::unique_ptr<CRemoteLauncher> m_pRemote;
    // The screen-up and sound-up capture threads.
    std::unique_ptr<CScreenUpLauncher> m_pScreenUp;
    std::unique_ptr<CSoundUpLauncher> m_pSoundUp;

    // The session's window messages (socket notices, the remote session's requests and
    // the timers 3, 6 and 7); TRUE when the message was one of them.
    BOOL OnSessionMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    // Commands 1 (Enter), 2 (Esc), 1628 (close button) and the close request (WM_CLOSE,
    // given as 2): asks before ending once the panel shows. Always TRUE (handled).
    BOOL OnExitRequest(UINT command);
    // WM_DESTROY: tears the dialog's helpers down in their order.
    void OnSessionDestroy();
    // The viewer window of a running remote session, or null.
    HWND ViewerWindow() const;

    // ---- panel: TavrelDlgPanel_win.cpp, TavrelDlgModes_win.cpp ----
    // Set before the dialog is created to build the panel without the log-in and the
    // session (tests of the panel alone); the panel may then be shown at once.
    bool m_bWithoutSession = false;
    // Docks the expanded panel topmost at the top-right corner of the screen.
    void DockPanel();
    // Places the caption, the title buttons and the feature buttons for the scale factor.
    void LayoutButtons();
    // Folds the panel into the mini button, or opens it again where it fits the screen.
    void FoldPanel();
    void UnfoldPanel();
    // The feature buttons (1001, 1003 to 1008, 1630), the fold button and the remote
    // monitor button's notices; TRUE when the command was one of them.
    BOOL OnPanelCommand(UINT id);

    // The features behind the buttons. Each returns whether the feature now runs (or
    // stopped, for the Stop ones); the mode rules around them are in place.
    bool StartRemoteViewer();
    bool StopRemoteViewer();
    bool StartScreenUp();
    bool StopScreenUp();
    // Tells the lectern PC the screen-up picture size (the pad's primary screen); sent
    // again on every display change, whether or not screen up is on.
    void SendScreenUpParameters();
    // Screen up follows a display change with a new capture thread when it runs.
    void RestartScreenUpForDisplay();
    bool ToggleSoundUp();
    bool OpenNoteTool();
    // Ends the note thread at the dialog's end and waits for it (bounded).
    void EndNoteThread();
    // Message 32875 from a capture thread: 1 when the frame was sent, 0 when dropped.
    LRESULT OnFramePacket(WPARAM wParam, LPARAM lParam);
    // Message 32873: a sound chunk to send; 32874: the sound capture ended by itself.
    LRESULT OnSoundPacket(WPARAM wParam);
    void OnSoundUpFailed(WPARAM generation);

    // GDI+ for the whole program, started in OnInitDialog and shut down last on destroy.
    std::unique_ptr<CGdiPlusSession> m_pGdiPlus;

  protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    void OnSysCommand(UINT id, LPARAM lParam) override;
    // Routes every other message to the panel's and the session's handlers.
    BOOL OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

  private:
    HICON m_hIcon = nullptr;

    // ---- start-up: TavrelDlg_win.cpp ----
    void LoadStoredRelayEndpoint();
    // Shows the log-in dialog and stores the teacher ID; false when the teacher
    // cancelled it.
    bool LogIn(LoginOutcome& outcome);

    // ---- session host: TavrelDlgSession_win.cpp ----
    friend class CTavrelDlgSessionHost;
    void ShowLoading(UINT textId, DWORD pauseMs);
    void HideLoading();
    void RevealPanel();
    void QuitProgram();
    void CreateSession();
    LRESULT OnSocketReceive(WPARAM wParam);
    LRESULT OnSocketHandedBack(LPARAM lParam);
    // Which of the session's connections a socket notice is about; false for another.
    bool LinkOf(WPARAM socket, SessionLinkId& link) const;

    // ---- panel ----
    void ComputeScaleFactor();
    void CreatePanelControls();
    void SetButtonTooltips();
    CImageButton* ButtonById(int id);
    void StartKeepOnTop();
    void KeepOnTop();
    void PaintPanel();
    void DrawFoldedPicture();
    void OnPanelDestroy();
    LRESULT OnCtlColorStatic(HDC dc, HWND control);
    BOOL OnNcHitTest(LPARAM lParam, LRESULT& result);
    void OnNcLButtonDown();
    void OnNcLButtonUp();
    void OnNcMouseMove();
    void CheckTapRelease();
    void OnWindowPosChanging(WINDOWPOS* position);
    void OnDisplayChange(int width, int height);
    void OnPadStateNotice(int buttonId, WPARAM marker, LPARAM state);  // 33071, 33072
    void OnMonitorButtonNotice(WPARAM marker, LPARAM show);            // 33074
    HWND NotePaletteWindow() const;
    HFONT m_hCaptionFont = nullptr;
    HBITMAP m_hBackdrop = nullptr;

    // ---- control modes: TavrelDlgModes_win.cpp ----
    void OnRemoteControlCommand();
    void OnTouchKeyboardCommand();
    void OnScreenUpCommand();
    void OnSoundUpCommand();
    void OnPadSwitchCommand(int buttonId);
    void OnNoteToolCommand();
    void OnMonitorCommand();
    void ShowRefusal(unsigned text, unsigned secondText);
    void PauseButton(CImageButton& button, DWORD milliseconds);
    void RunTouchKeyboard();
    bool StartCaptureThread(uint32_t firstFrame);
    void StopSoundUp();
};

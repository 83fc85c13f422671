// CTavrelDlg: the main dialog (template 102, class "Vantor Tavrel"): the floating
// control panel docked at the top-right corner, and the owner of the session with the
// relay server and the lectern PC.
//
// The class is implemented in several files, one per concern:
//   TavrelDlg_win.cpp          start-up, message routing, exit and destruction
//   TavrelDlgPanel_win.cpp     scale factor, buttons, docking, painting, folding
//   TavrelDlgModes_win.cpp     the feature commands and their refusals
//   TavrelDlgSession_win.cpp   relay and lectern PC connections, keep-alive, endings
//   TavrelDlgCommands_win.cpp  the dispatcher of the lectern PC's commands
#pragma once

#include "connection/TCPSocket_win.h"
#include "framework/DialogEx.h"
#include "panel/RHInfo_win.h"
#include "widgets/ImageButton_win.h"

#include <memory>
#include <string>

class CLoadingDlg;
class CPacket;
class CGdiPlusSession;

// Set while screen up or sound up runs; polled by their capture threads.
extern volatile bool g_bScreenUp;
extern volatile bool g_bSoundUp;
class CTavrelDlg;
extern CTavrelDlg* g_pMainDlg;

class CTavrelDlg : public CDialogEx {
  public:
    explicit CTavrelDlg(CWnd* parent = nullptr);
    ~CTavrelDlg() override;

    // Sends one text command to the lectern PC when the link is up; drops it otherwise.
    void OnSendPacket(const std::wstring& text);

    // ---- shared record and panel state (5.1) ----
    CRHInfo m_info;
    bool m_bShowPanel = false;
    bool m_bCollapsed = false;
    SIZE m_sizeExpanded{0, 0};
    void* m_pNoteThread = nullptr;   // CNoteThread, once the note tool exists
    void* m_pNoteToolDlg = nullptr;  // CNoteToolDlg, set by the note tool
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

    // ---- session state (5.3) ----
    std::wstring m_strTeacherId;
    std::wstring m_strRsIp;
    std::wstring m_strRsPort;
    CTCPSocket m_sockRelay;
    CTCPSocket m_sockTeacher;
    std::wstring m_strLocalIp;
    std::wstring m_strLocalPort;
    std::wstring m_strTeacherIp;
    std::wstring m_strTeacherPort;
    bool m_bRelayArmed = false;
    bool m_bTeacherPhase = false;
    bool m_bTeacherLinked = false;

    // ---- session (5.3): TavrelDlgSession_win.cpp ----
    // Connects to the relay server (after log-in and after a re-login).
    void StartRelayConnection();
    // The session's window messages (socket notices, the remote session's requests and
    // the timers 3, 6 and 7); TRUE when the message was one of them.
    BOOL OnSessionMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    LRESULT OnSocketConnected(WPARAM wParam, LPARAM lParam);       // 32770
    LRESULT OnSocketReceive(WPARAM wParam, LPARAM lParam);         // 32771
    LRESULT OnSocketClosed(WPARAM wParam, LPARAM lParam);          // 32772
    LRESULT OnSendPacketRequest(WPARAM wParam, LPARAM lParam);     // 32977
    LRESULT OnSocketHandedBack(WPARAM wParam, LPARAM lParam);      // 33069
    LRESULT OnRemoteConnectionLost(WPARAM wParam, LPARAM lParam);  // 3124
    // Timers 3, 6 and 7; false for any other timer.
    bool OnSessionTimer(UINT_PTR id);
    // Commands 1 (Enter), 2 (Esc), 1628 (close button) and the close request (WM_CLOSE,
    // given as 2): asks before ending once the panel shows. Always TRUE (handled).
    BOOL OnExitRequest(UINT command);
    // WM_DESTROY: tears the dialog's helpers down in their order.
    void OnSessionDestroy();
    // The viewer window of a running remote session, or null.
    HWND ViewerWindow() const;

    // ---- commands (5.2): TavrelDlgCommands_win.cpp ----
    // Runs the reaction to one packet from the lectern PC.
    void DispatchTeacherPacket(const CPacket& packet);
    // Screen-up acknowledgement window shared with the screen-up sender.
    int m_nScreenUpLastAck = 0;
    int m_nScreenUpBlocked = -1;  // -1: not blocked

  protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    void OnSysCommand(UINT id, LPARAM lParam) override;

  private:
    HICON m_hIcon = nullptr;

    // ---- session (5.3) ----
    void ShowLoading(UINT textId, DWORD pauseMs);
    void HideLoading();
    void RevealPanel();
    void CloseSocket(CTCPSocket& socket);
    void QuitProgram();
    void QuitWithMessage(const std::wstring& text);
    void EndSession();
    void HandleRelayPacket(const CPacket& packet);
    void OnIdentifyRequest(const std::u16string& arguments);
    void OnLecternAddress(const std::u16string& arguments);
    void ConnectToLectern();
    void LogInAgain(const std::wstring& refusal);
    bool m_bEnding = false;  // a fatal ending is under way

    // ---- commands (5.2) ----
    void OnGreeting();
    void OnPeerEndsSession(const std::u16string& arguments);
    void OnScreenSizeReport(const std::u16string& arguments);
    void OnMonitorsReport(const std::u16string& arguments);
    void OnTileSizeReport(const std::u16string& arguments);
    void OnOriginReport(const std::u16string& arguments);
    void OnStateReport(int buttonId, const std::u16string& arguments);
    void OnScreenUpAcknowledged(const std::u16string& arguments);
};

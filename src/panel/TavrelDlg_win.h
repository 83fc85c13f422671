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

    CImageButton m_btnClose;        // 1628
    CImageButton m_btnFold;         // 1629
    CImageButton m_btnRemote;       // 1001
    CImageButton m_btnKeyboard;     // 1003
    CImageButton m_btnMonitor;      // 1630
    CImageButton m_btnScreenUp;     // 1004
    CImageButton m_btnNoteTool;     // 1007
    CImageButton m_btnSoundUp;      // 1005
    CImageButton m_btnStudentTouch; // 1006
    CImageButton m_btnBroadcast;    // 1008

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

  protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    void OnSysCommand(UINT id, LPARAM lParam) override;

  private:
    HICON m_hIcon = nullptr;
};

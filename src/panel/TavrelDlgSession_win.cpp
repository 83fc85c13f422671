// The main dialog as the host of the session: it hands the socket notices and timers
// to CTavrelSession and carries out what the session decides with its windows,
// sockets and timers. The exit question and the teardown are the dialog's own.
#include "panel/TavrelDlg_win.h"

#include "protocol/Packet.h"
#include "remote/RemoteLauncher_win.h"
#include "screenup/ScreenUpLauncher_win.h"
#include "shell/TestHooks_win.h"
#include "soundup/CoreAudioSource_win.h"
#include "soundup/SoundUpLauncher_win.h"
#include "resources/resource.h"
#include "shell/Language_win.h"
#include "shell/PrivateAddress_win.h"
#include "shell/ProgramMessages.h"
#include "shell/PumpMessages_win.h"
#include "widgets/LoadingDlg_win.h"
#include "widgets/ShowMessageBox_win.h"

#include <memory>

namespace {

// Time a closing viewer gets before the dialog ends.
constexpr DWORD kViewerClosePauseMs = 1000;
// How long the dialog's end waits for the remote session's threads.
constexpr DWORD kRemoteJoinMs = 5000;
// How long the dialog's end waits for the capture threads.
constexpr DWORD kCaptureJoinMs = 3000;

}  // namespace

// ---------------------------------------------------------------- the host

class CTavrelDlgSessionHost : public ISessionHost {
  public:
    explicit CTavrelDlgSessionHost(CTavrelDlg& dialog) : m_dialog(dialog) {}

    ISessionLink& RelayLink() override { return m_dialog.m_linkRelay; }
    ISessionLink& LecternLink() override { return m_dialog.m_linkTeacher; }
    std::u16string LocalAddress() override { return AfxToU16(LocalPrivateAddress()); }
    long long NowSeconds() override { return CRHInfo::NowSeconds(); }
    void SetTimer(unsigned id, unsigned milliseconds) override {
        ::SetTimer(m_dialog.m_hWnd, id, milliseconds, nullptr);
    }
    void KillTimer(unsigned id) override { ::KillTimer(m_dialog.m_hWnd, id); }

    std::u16string Text(unsigned id) override { return AfxToU16(AfxLoadString(id)); }
    std::u16string LanguageCode() override { return AfxToU16(g_strLanguage); }
    void ShowLoading(unsigned textId, unsigned pauseMs) override {
        m_dialog.ShowLoading(textId, pauseMs);
    }
    void HideLoading() override { m_dialog.HideLoading(); }
    void ShowMessage(const std::u16string& text) override {
        // A second box while one is open is dropped; what follows it happens all the same.
        ShowMessageBox(AfxToWide(text).c_str(), nullptr, MB_OK);
    }
    bool LogIn(LoginOutcome& outcome) override { return m_dialog.LogIn(outcome); }
    void RevealPanel() override { m_dialog.RevealPanel(); }
    void SetButtonCheck(int buttonId, bool checked) override {
        ::SendMessageW(m_dialog.GetDlgItem(buttonId), BM_SETCHECK,
                       checked ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    void ShowButton(int buttonId, bool shown) override {
        ::ShowWindow(m_dialog.GetDlgItem(buttonId), shown ? SW_SHOWNOACTIVATE : SW_HIDE);
    }

    void Quit() override { m_dialog.QuitProgram(); }
    void RequestClose() override { m_dialog.PostMessage(WM_CLOSE); }
    void PostConnectionLost() override {
        ::PostMessageW(m_dialog.m_hWnd, kWmRemoteConnectionLost, 0, 0);
    }

    PadScreenSize PadScreen() override {
        return PadScreenSize{::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    }
    void RecreateFrame(int width, int height) override {
        m_dialog.m_info.RecreateFrame(width, height);
    }
    void ApplyMonitorView(int monitor) override {
        if (HWND viewer = m_dialog.ViewerWindow())
            ::PostMessageW(viewer, kWmApplyMonitorView, kNoticeMarker, monitor);
    }

  private:
    CTavrelDlg& m_dialog;
};

void CTavrelDlg::CreateSession() {
    m_pSessionHost = std::make_unique<CTavrelDlgSessionHost>(*this);
    m_pSession = std::make_unique<CTavrelSession>(*m_pSessionHost, m_info);
    m_pRemote = std::make_unique<CRemoteLauncher>(m_info);
    m_pScreenUp = std::make_unique<CScreenUpLauncher>();
    // The test build may play a known tone instead of the pad's sound.
    m_pSoundUp = std::make_unique<CSoundUpLauncher>([]() -> std::unique_ptr<IAudioSource> {
        if (std::unique_ptr<IAudioSource> tone = TestHookSoundSource()) return tone;
        return CCoreAudioSource::OpenDefault();
    });
}

void CTavrelDlg::OnSendPacket(const std::u16string& text) { m_pSession->SendCommand(text); }

// ---------------------------------------------------------------- loading window

void CTavrelDlg::ShowLoading(UINT textId, DWORD pauseMs) {
    if (m_pLoadingDlg == nullptr) {
        m_pLoadingDlg = new CLoadingDlg();
        m_pLoadingDlg->loadingText = AfxLoadString(textId);
        if (!m_pLoadingDlg->Create(nullptr)) {
            delete m_pLoadingDlg;
            m_pLoadingDlg = nullptr;
        }
    }
    if (m_pLoadingDlg != nullptr) {
        m_pLoadingDlg->loadingText = AfxLoadString(textId);
        m_pLoadingDlg->SetDlgItemText(IDC_LOADING_TEXT, m_pLoadingDlg->loadingText.c_str());
        RECT box{};
        ::GetWindowRect(m_pLoadingDlg->m_hWnd, &box);
        const int width = box.right - box.left;
        const int height = box.bottom - box.top;
        // A plain pop-up, as its template says: centred on the desktop and brought to
        // the top, but not kept above the teacher's other windows.
        ::SetWindowPos(
            m_pLoadingDlg->m_hWnd, HWND_TOP, (::GetSystemMetrics(SM_CXSCREEN) - width) / 2,
            (::GetSystemMetrics(SM_CYSCREEN) - height) / 2, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
    }
    PumpMessages(pauseMs);
}

void CTavrelDlg::HideLoading() {
    if (m_pLoadingDlg != nullptr && m_pLoadingDlg->m_hWnd != nullptr)
        m_pLoadingDlg->ShowWindow(SW_HIDE);
}

// ---------------------------------------------------------------- endings

void CTavrelDlg::RevealPanel() {
    m_bShowPanel = true;
    ShowWindow(SW_SHOWNOACTIVATE);
}

void CTavrelDlg::QuitProgram() {
    ::PostQuitMessage(0);
    // The quit can land in a message pause that swallows it; ending the dialog as well
    // makes sure the program does end once control is back in the dialog's loop.
    EndDialog(IDCANCEL);
}

// ---------------------------------------------------------------- notices

bool CTavrelDlg::LinkOf(WPARAM socket, SessionLinkId& link) const {
    const auto* notified = reinterpret_cast<const CTCPSocket*>(socket);
    if (notified == &m_sockRelay) {
        link = SessionLinkId::Relay;
        return true;
    }
    if (notified == &m_sockTeacher) {
        link = SessionLinkId::Lectern;
        return true;
    }
    return false;
}

LRESULT CTavrelDlg::OnSocketReceive(WPARAM wParam) {
    SessionLinkId link;
    if (!LinkOf(wParam, link)) return 0;
    CTCPSocket& socket = link == SessionLinkId::Relay ? m_sockRelay : m_sockTeacher;
    CPacket packet;
    ReceivePacket(socket, packet);
    if (packet.m_nType == kPacketEmpty && socket.m_hSocket == INVALID_SOCKET) {
        // The read met the end of the stream (or an error) and closed the socket, so no
        // close notice will follow.
        m_pSession->OnReadFailed(link);
    } else {
        m_pSession->OnPacket(link, packet);
    }
    return 0;
}

LRESULT CTavrelDlg::OnSocketHandedBack(LPARAM lParam) {
    const SOCKET handle = static_cast<SOCKET>(lParam);
    if (handle == INVALID_SOCKET || handle == 0) return 0;
    m_linkTeacher.Close();
    m_sockTeacher.Attach(handle, kAllSocketEvents);
    m_sockTeacher.SetOwnerWnd(m_hWnd);
    m_pSession->SetRemoteSender(nullptr);
    return kSocketTakenBack;
}

BOOL CTavrelDlg::OnSessionMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    result = 0;
    SessionLinkId link;
    switch (message) {
        case kWmSocketConnected:
            if (LinkOf(wParam, link)) m_pSession->OnConnected(link, static_cast<int>(lParam));
            return TRUE;
        case kWmSocketReceive:
            result = OnSocketReceive(wParam);
            return TRUE;
        case kWmSocketClosed:
            if (LinkOf(wParam, link)) m_pSession->OnClosed(link);
            return TRUE;
        case kWmSendPacketRequest: {
            // Whoever takes the packet out of the message frees it.
            std::unique_ptr<CPacket> packet(reinterpret_cast<CPacket*>(wParam));
            if (packet) m_pSession->SendPacket(*packet);
            return TRUE;
        }
        case kWmSocketHandedBack:
            result = OnSocketHandedBack(lParam);
            return TRUE;
        case kWmRemoteConnectionLost:
            m_pSession->OnRemoteConnectionLost();
            return TRUE;
        case kWmSendFramePacket:
            result = OnFramePacket(wParam, lParam);
            return TRUE;
        case kWmSendSoundPacket:
            result = OnSoundPacket(wParam);
            return TRUE;
        case kWmSoundUpFailed:
            OnSoundUpFailed(wParam);
            return TRUE;
        case WM_TIMER:
            return m_pSession->OnTimer(static_cast<unsigned>(wParam)) ? TRUE : FALSE;
        default:
            return FALSE;
    }
}

// ---------------------------------------------------------------- exit and destruction

BOOL CTavrelDlg::OnExitRequest(UINT command) {
    const bool enter = command == IDOK;
    if (!enter && !m_bShowPanel) {
        EndDialog(IDCANCEL);  // nothing on screen yet: nothing to ask about
        return TRUE;
    }
    const std::wstring question = AfxLoadString(IDS_CONFIRM_EXIT);
    const std::wstring caption = AfxLoadString(IDS_CONFIRM_EXIT_CAPTION);
    if (ShowMessageBox(question.c_str(), caption.c_str(), MB_YESNO) != IDYES) return TRUE;
    if (enter) {
        EndDialog(IDOK);
        return TRUE;
    }
    g_bScreenUp = false;
    if (HWND viewer = ViewerWindow()) ::PostMessageW(viewer, WM_CLOSE, 0, 0);
    PumpMessages(kViewerClosePauseMs);
    EndDialog(IDCANCEL);
    return TRUE;
}

HWND CTavrelDlg::ViewerWindow() const {
    HWND viewer = m_info.m_hViewWnd.load();
    return viewer != nullptr && ::IsWindow(viewer) ? viewer : nullptr;
}

void CTavrelDlg::OnSessionDestroy() {
    ::KillTimer(m_hWnd, kTimerLecternTimeout);
    ::KillTimer(m_hWnd, kTimerKeepAlive);
    ::KillTimer(m_hWnd, kTimerRelayTimeout);
    // The capture threads know the dialog by its window only, and end before it goes;
    // a frame they hand over meanwhile is dropped.
    g_bScreenUp = false;
    g_bSoundUp = false;
    if (m_pScreenUp) m_pScreenUp->EndAndJoin(kCaptureJoinMs);
    if (m_pSoundUp) m_pSoundUp->EndAndJoin(kCaptureJoinMs);
    EndNoteThread();
    // The remote session's threads end before the record they share goes.
    if (m_pRemote) m_pRemote->EndAndJoin(kRemoteJoinMs);
    if (m_pLoadingDlg != nullptr) {
        m_pLoadingDlg->DestroyWindow();
        delete m_pLoadingDlg;
        m_pLoadingDlg = nullptr;
    }
}

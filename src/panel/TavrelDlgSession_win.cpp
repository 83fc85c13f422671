// The session of the main dialog: the relay server tells the pad where the lectern PC
// is, the pad connects there, and a keep-alive watches the link until the program ends.
// Every loss of the link ends the program with a message; there is no reconnection.
#include "panel/TavrelDlg_win.h"

#include "panel/SessionRules.h"
#include "protocol/Packet.h"
#include "protocol/PeerContract.h"
#include "protocol/TextCommand.h"
#include "resources/resource.h"
#include "shell/Language_win.h"
#include "shell/PrivateAddress_win.h"
#include "shell/PumpMessages_win.h"
#include "widgets/LoadingDlg_win.h"
#include "widgets/ShowMessageBox_win.h"

#include <memory>

namespace {

// Timers of the session (the panel's own timer 2 lives elsewhere).
constexpr UINT_PTR kTimerKeepAlive = 3;
constexpr UINT_PTR kTimerLecternTimeout = 6;
constexpr UINT_PTR kTimerRelayTimeout = 7;
constexpr UINT kRelayTimeoutMs = 3000;
constexpr UINT kLecternTimeoutMs = 3000;
// How long the relay server may take to answer the identification. It answers at once
// when it knows the lectern PC; this only keeps a vanished server from leaving an
// invisible program waiting for ever.
constexpr UINT kRelayAnswerTimeoutMs = 10000;
constexpr UINT kKeepAliveMs = kKeepAliveIntervalMs;
// The loading text stays this long before the connection attempt starts.
constexpr DWORD kRelayLoadingPauseMs = 3000;
constexpr DWORD kLecternLoadingPauseMs = 2000;
// Time a closing viewer gets before the dialog ends.
constexpr DWORD kViewerClosePauseMs = 1000;

// Window messages from the remote session's threads.
constexpr UINT kWmSendPacketRequest = 32977;  // wParam: heap CPacket to send and delete
constexpr UINT kWmSocketHandedBack = 33069;   // lParam: the lent socket handle
constexpr UINT kWmRemoteConnectionLost = 3124;

std::wstring Wide(const std::u16string& text) { return AfxToWide(text); }

}  // namespace

// ---------------------------------------------------------------- sending

void CTavrelDlg::OnSendPacket(const std::wstring& text) {
    // Until the lectern PC has spoken, and while the connection is lent to a remote
    // session, there is nobody on this socket to send to.
    if (!m_bTeacherLinked || m_sockTeacher.m_hSocket == INVALID_SOCKET) return;
    const CPacket packet(AfxToU16(text));
    SendToLectern(packet);
}

void CTavrelDlg::SendToLectern(const CPacket& packet) {
    SendPacket(m_sockTeacher, packet);
    // A frame that could not be written closed the socket, and a closed socket reports
    // nothing more: without this the pad would sit on a dead connection. The ending is
    // posted, so a handler that is halfway through its answers finishes first.
    if (m_sockTeacher.m_hSocket == INVALID_SOCKET && !m_bEnding)
        ::PostMessageW(m_hWnd, kWmRemoteConnectionLost, 0, 0);
}

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
        ::SetWindowPos(
            m_pLoadingDlg->m_hWnd, HWND_TOPMOST, (::GetSystemMetrics(SM_CXSCREEN) - width) / 2,
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

void CTavrelDlg::CloseSocket(CTCPSocket& socket) {
    if (socket.m_hSocket == INVALID_SOCKET) return;
    socket.ShutDown(SD_BOTH);
    socket.Close();
}

void CTavrelDlg::QuitProgram() {
    ::PostQuitMessage(0);
    // The quit can land in a message pause that swallows it; ending the dialog as well
    // makes sure the program does end once control is back in the dialog's loop.
    EndDialog(IDCANCEL);
}

void CTavrelDlg::QuitWithMessage(const std::wstring& text) {
    m_bEnding = true;
    ::KillTimer(m_hWnd, kTimerKeepAlive);
    ::KillTimer(m_hWnd, kTimerLecternTimeout);
    ::KillTimer(m_hWnd, kTimerRelayTimeout);
    // A second box while one is open is dropped, but the program ends all the same.
    ShowMessageBox(text.c_str(), nullptr, MB_OK);
    QuitProgram();
}

void CTavrelDlg::EndSession() {
    if (m_bTeacherLinked) CloseSocket(m_sockTeacher);
    QuitWithMessage(AfxLoadString(IDS_TEACHER_LOST_EXIT));
}

// ---------------------------------------------------------------- relay server

void CTavrelDlg::StartRelayConnection() {
    if (!m_bRelayArmed) {
        ShowLoading(IDS_LOADING_RELAY, kRelayLoadingPauseMs);
        m_bRelayArmed = true;
    }
    // The time-out is armed for every attempt, also after a re-login: a relay server
    // that stays silent must not leave an invisible program waiting for ever.
    ::SetTimer(m_hWnd, kTimerRelayTimeout, kRelayTimeoutMs, nullptr);
    m_strLocalIp = LocalPrivateAddress();
    if (!OpenConnection(m_sockRelay, m_hWnd, m_strRsIp.c_str(), PortNumber(AfxToU16(m_strRsPort))))
        return;  // the time-out reports it
    std::wstring address;
    UINT port = 0;
    m_sockRelay.GetSockName(address, port);
    m_strLocalPort = std::to_wstring(port);
}

void CTavrelDlg::HandleRelayPacket(const CPacket& packet) {
    std::u16string code, arguments;
    if (packet.m_nType != kPacketText || !SplitCommand(packet.m_strText, code, arguments)) return;
    if (code == kCmdRelayIdentify) {
        OnIdentifyRequest(arguments);
    } else if (code == kCmdRelayPeerAddress) {
        OnLecternAddress(arguments);
    } else if (code == kCmdRelayEnd) {
        m_bAwaitingRelayAnswer = false;
        HideLoading();
        EndSession();
    }
    // "[USP0002]", "[UDPINFO]" and anything else: nothing to do.
}

void CTavrelDlg::OnIdentifyRequest(const std::u16string& arguments) {
    ::KillTimer(m_hWnd, kTimerRelayTimeout);
    HideLoading();
    const IdentifyRequest request = ParseIdentifyRequest(arguments);
    if (!request.wellFormed) {
        ShowMessageBox(AfxLoadString(IDS_INVALID_DATA_RECEIVED).c_str(), nullptr, MB_OK);
        PostMessage(WM_CLOSE);
        return;
    }
    if (request.accepted) {
        const std::u16string identity = BuildIdentification(
            AfxToU16(m_strTeacherId), AfxToU16(m_strLocalIp), AfxToU16(m_strLocalPort));
        SendPacket(m_sockRelay, CPacket(identity));
        m_bAwaitingRelayAnswer = true;
        if (m_sockRelay.m_hSocket == INVALID_SOCKET)
            RelayLost();
        else
            ::SetTimer(m_hWnd, kTimerRelayTimeout, kRelayAnswerTimeoutMs, nullptr);
        return;
    }
    const RelayMessageTexts texts{AfxToU16(AfxLoadString(IDS_RELAY_LOOKUP_ERROR)),
                                  AfxToU16(AfxLoadString(IDS_RELAY_NO_TEACHER)),
                                  AfxToU16(AfxLoadString(IDS_RELAY_WRONG_KIND)),
                                  AfxToU16(AfxLoadString(IDS_RELAY_NOT_RUNNING))};
    LogInAgain(Wide(MapRelayMessage(request.message, AfxToU16(g_strLanguage), texts)));
}

void CTavrelDlg::RelayLost() {
    m_bAwaitingRelayAnswer = false;
    ::KillTimer(m_hWnd, kTimerRelayTimeout);
    HideLoading();
    QuitWithMessage(AfxLoadString(IDS_RELAY_UNREACHABLE));
}

void CTavrelDlg::LogInAgain(const std::wstring& refusal) {
    ShowMessageBox(refusal.c_str(), nullptr, MB_OK);
    CloseSocket(m_sockRelay);
    // The same log-in as at start-up: the stored ID offered again, the new ID, relay
    // address and port taken over, the ID stored.
    if (!LogIn()) {
        QuitProgram();
        return;
    }
    StartRelayConnection();
}

void CTavrelDlg::OnLecternAddress(const std::u16string& arguments) {
    m_bAwaitingRelayAnswer = false;
    ::KillTimer(m_hWnd, kTimerRelayTimeout);
    const LecternAddress address = ParseLecternAddress(arguments);
    if (!address.wellFormed) {
        ShowMessageBox(AfxLoadString(IDS_INVALID_DATA_RECEIVED).c_str(), nullptr, MB_OK);
        PostMessage(WM_CLOSE);
        return;
    }
    m_strTeacherIp = Wide(address.address);
    m_strTeacherPort = Wide(address.port);
    ConnectToLectern();
    CloseSocket(m_sockRelay);
    m_bTeacherPhase = true;
}

void CTavrelDlg::ConnectToLectern() {
    ShowLoading(IDS_LOADING_TEACHER, kLecternLoadingPauseMs);
    ::SetTimer(m_hWnd, kTimerLecternTimeout, kLecternTimeoutMs, nullptr);
    // A failed attempt is left to the time-out, which names the address.
    OpenConnection(m_sockTeacher, m_hWnd, m_strTeacherIp.c_str(),
                   PortNumber(AfxToU16(m_strTeacherPort)));
}

// ---------------------------------------------------------------- socket notices

LRESULT CTavrelDlg::OnSocketConnected(WPARAM wParam, LPARAM lParam) {
    if (lParam == 0 || m_bEnding) return 0;
    // Only a failed relay connection is reported here; the lectern PC's is left to
    // its time-out.
    if (reinterpret_cast<CTCPSocket*>(wParam) != &m_sockRelay || !m_strTeacherIp.empty()) return 0;
    ::KillTimer(m_hWnd, kTimerRelayTimeout);
    HideLoading();
    RevealPanel();
    QuitWithMessage(AfxLoadString(IDS_CHECK_WIFI_AND_RESTART));
    return 0;
}

LRESULT CTavrelDlg::OnSocketReceive(WPARAM wParam, LPARAM) {
    CTCPSocket* socket = reinterpret_cast<CTCPSocket*>(wParam);
    if (socket != &m_sockRelay && socket != &m_sockTeacher) return 0;
    CPacket packet;
    ReceivePacket(*socket, packet);
    if (m_bEnding) return 0;
    if (!m_bTeacherPhase) {
        if (packet.m_nType == kPacketEmpty && socket->m_hSocket == INVALID_SOCKET) {
            // A failed read closed the relay connection without a close notice.
            if (socket == &m_sockRelay && m_bAwaitingRelayAnswer) RelayLost();
            return 0;
        }
        HandleRelayPacket(packet);
        return 0;
    }
    if (socket != &m_sockTeacher) return 0;
    m_bTeacherLinked = true;
    if (packet.m_nType == kPacketEmpty && socket->m_hSocket == INVALID_SOCKET) {
        // The read met the end of the stream (or an error) and closed the socket, so
        // no close notice will follow: the lectern PC is gone just the same.
        EndSession();
        return 0;
    }
    DispatchTeacherPacket(packet);
    return 0;
}

LRESULT CTavrelDlg::OnSocketClosed(WPARAM wParam, LPARAM) {
    if (m_bEnding) return 0;
    // The relay server hangs up once it has said where the lectern PC is; before that,
    // its hang-up leaves nobody to tell the pad where to go.
    if (reinterpret_cast<CTCPSocket*>(wParam) == &m_sockRelay) {
        if (m_bAwaitingRelayAnswer) RelayLost();
        return 0;
    }
    if (reinterpret_cast<CTCPSocket*>(wParam) != &m_sockTeacher) return 0;
    EndSession();
    return 0;
}

LRESULT CTavrelDlg::OnSendPacketRequest(WPARAM wParam, LPARAM) {
    std::unique_ptr<CPacket> packet(reinterpret_cast<CPacket*>(wParam));
    if (packet && m_bTeacherLinked && m_sockTeacher.m_hSocket != INVALID_SOCKET)
        SendToLectern(*packet);
    return 0;
}

LRESULT CTavrelDlg::OnSocketHandedBack(WPARAM, LPARAM lParam) {
    const SOCKET handle = static_cast<SOCKET>(lParam);
    if (handle == INVALID_SOCKET || handle == 0) return 0;
    if (m_sockTeacher.m_hSocket != INVALID_SOCKET) CloseSocket(m_sockTeacher);
    m_sockTeacher.Attach(handle, kAllSocketEvents);
    m_sockTeacher.SetOwnerWnd(m_hWnd);
    return 0;
}

LRESULT CTavrelDlg::OnRemoteConnectionLost(WPARAM, LPARAM) {
    if (!m_bEnding) EndSession();
    return 0;
}

// ---------------------------------------------------------------- timers

bool CTavrelDlg::OnSessionTimer(UINT_PTR id) {
    switch (id) {
        case kTimerKeepAlive:
            OnSendPacket(Wide(kCmdKeepAlive));
            if (SilenceExceeded(CRHInfo::NowSeconds(), m_info.m_dtLastRecv)) {
                // Stopped before the message: the box's own loop keeps dispatching timers.
                ::KillTimer(m_hWnd, kTimerKeepAlive);
                m_info.m_dtLastRecv = CRHInfo::NowSeconds();
                EndSession();
            }
            return true;
        case kTimerLecternTimeout:
            ::KillTimer(m_hWnd, kTimerLecternTimeout);
            HideLoading();
            QuitWithMessage(AfxLoadString(IDS_TEACHER_UNREACHABLE) + L"(" + m_strTeacherIp + L":" +
                            m_strTeacherPort + L")");
            return true;
        case kTimerRelayTimeout:
            RelayLost();
            return true;
        default:
            return false;
    }
}

BOOL CTavrelDlg::OnSessionMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (message) {
        case kWmSocketConnected:
            result = OnSocketConnected(wParam, lParam);
            return TRUE;
        case kWmSocketReceive:
            result = OnSocketReceive(wParam, lParam);
            return TRUE;
        case kWmSocketClosed:
            result = OnSocketClosed(wParam, lParam);
            return TRUE;
        case kWmSendPacketRequest:
            result = OnSendPacketRequest(wParam, lParam);
            return TRUE;
        case kWmSocketHandedBack:
            result = OnSocketHandedBack(wParam, lParam);
            return TRUE;
        case kWmRemoteConnectionLost:
            result = OnRemoteConnectionLost(wParam, lParam);
            return TRUE;
        case WM_TIMER:
            result = 0;
            return OnSessionTimer(static_cast<UINT_PTR>(wParam)) ? TRUE : FALSE;
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
    // The remote viewer registers its window here once remote control exists; until
    // then no session has a window to close.
    return nullptr;
}

void CTavrelDlg::OnSessionDestroy() {
    ::KillTimer(m_hWnd, kTimerLecternTimeout);
    ::KillTimer(m_hWnd, kTimerKeepAlive);
    ::KillTimer(m_hWnd, kTimerRelayTimeout);
    if (m_pLoadingDlg != nullptr) {
        m_pLoadingDlg->DestroyWindow();
        delete m_pLoadingDlg;
        m_pLoadingDlg = nullptr;
    }
}

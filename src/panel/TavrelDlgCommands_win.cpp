// The main dialog's reactions to the lectern PC's commands while no remote-control
// session holds the connection: the handshake, the end of the session, and the
// reports about the lectern PC's screen and the classroom switches.
#include "panel/TavrelDlg_win.h"

#include "panel/PanelGeometry.h"
#include "panel/PeerReports.h"
#include "panel/SessionRules.h"
#include "protocol/Packet.h"
#include "protocol/PeerContract.h"
#include "protocol/TextCommand.h"
#include "resources/resource.h"
#include "widgets/ShowMessageBox_win.h"

namespace {

constexpr UINT_PTR kTimerKeepAlive = 3;
constexpr UINT_PTR kTimerLecternTimeout = 6;
constexpr UINT kKeepAliveMs = kKeepAliveIntervalMs;

constexpr int kStudentTouchButton = 1006;
constexpr int kBroadcastButton = 1008;
constexpr int kMonitorButton = 1630;
constexpr int kFrameBitsPerPixel = 32;
// Posted to the viewer window: show the selected monitor (lParam) now.
constexpr UINT kWmApplyMonitorView = 3925;
constexpr WPARAM kMessageMarker = 74565;
// No monitor is this wide or tall; a report beyond it gets no frame buffer.
constexpr int64_t kLargestFrameEdge = 16384;

std::wstring Wide(const std::u16string& text) { return AfxToWide(text); }

}  // namespace

void CTavrelDlg::DispatchTeacherPacket(const CPacket& packet) {
    // Remote frames arriving after a remote session ended are accepted and dropped.
    if (packet.m_nType != kPacketText) return;
    std::u16string code, arguments;
    if (!SplitCommand(packet.m_strText, code, arguments)) return;

    if (code == kCmdPeerVersion) {
        m_info.m_strPeerVersion = Wide(arguments);
    } else if (code == kCmdPeerGreeting) {
        OnGreeting();
    } else if (code == kCmdPeerEnd) {
        OnPeerEndsSession(arguments);
    } else if (code == kCmdHeartbeat) {
        m_info.m_dtLastRecv = CRHInfo::NowSeconds();
    } else if (code == kCmdScreenSize) {
        OnScreenSizeReport(arguments);
    } else if (code == kCmdMonitors) {
        OnMonitorsReport(arguments);
    } else if (code == kCmdTileSize) {
        OnTileSizeReport(arguments);
    } else if (code == kCmdScreenOrigin) {
        OnOriginReport(arguments);
    } else if (code == kCmdTouchState) {
        OnStateReport(kStudentTouchButton, arguments);
    } else if (code == kCmdBroadcastState) {
        OnStateReport(kBroadcastButton, arguments);
    } else if (code == kCmdScreenUpAck) {
        OnScreenUpAcknowledged(arguments);
    }
    // "[MV00001]", "[MV00002]", "[RH00005]" and unknown codes: nothing to do.
}

void CTavrelDlg::OnGreeting() {
    ::KillTimer(m_hWnd, kTimerLecternTimeout);
    HideLoading();
    OnSendPacket(Wide(MakeCommand(kCmdGreetingAnswer, {kArgGreetingAnswer})));
    OnSendPacket(Wide(MakeCommand(kCmdOwnVersion, {kOwnVersion})));
    ::SetTimer(m_hWnd, kTimerKeepAlive, kKeepAliveMs, nullptr);
    m_info.m_dtLastRecv = CRHInfo::NowSeconds();
    RevealPanel();
}

void CTavrelDlg::OnPeerEndsSession(const std::u16string& arguments) {
    HideLoading();
    const SessionEndNotice notice = ParseSessionEndNotice(arguments);
    if (!notice.wellFormed) {
        // With the panel shown, the close request asks the teacher first.
        ShowMessageBox(AfxLoadString(IDS_INVALID_DATA_RECEIVED).c_str(), nullptr, MB_OK);
        PostMessage(WM_CLOSE);
        return;
    }
    CloseSocket(m_sockTeacher);
    QuitWithMessage(Wide(notice.message));
}

void CTavrelDlg::OnScreenSizeReport(const std::u16string& arguments) {
    const ScreenSizeReport report = ParseScreenSize(arguments);
    if (!report.valid) return;
    m_info.m_nScreenWidth = report.width;
    m_info.m_nScreenHeight = report.height;
    m_info.m_nBitsPerPixel = kFrameBitsPerPixel;

    const int cx = ::GetSystemMetrics(SM_CXSCREEN);
    const int cy = ::GetSystemMetrics(SM_CYSCREEN);
    if (!PeerHasMonitorSelection(AfxToU16(m_info.m_strPeerVersion))) {
        // Older lectern programs show the whole screen at the pad's size and do not
        // say how they cut it into tiles.
        m_info.m_nTileWidth = tavrel::HalvedTileEdge(cx);
        m_info.m_nTileHeight = tavrel::HalvedTileEdge(cy);
        m_info.m_rcMonitor = RECT{0, 0, cx, cy};
        m_info.RecreateFrame(cx, cy);
        ::ShowWindow(GetDlgItem(kMonitorButton), SW_HIDE);
    } else {
        m_info.m_nMonitor = 1;
    }
    OnSendPacket(Wide(MakeCommand(kCmdPadScreenSize, {DecimalText(cx), DecimalText(cy)})));
    OnSendPacket(Wide(MakeCommand(kCmdSelectMonitor, {DecimalText(m_info.m_nMonitor)})));
}

void CTavrelDlg::OnMonitorsReport(const std::u16string& arguments) {
    const MonitorsReport report = ParseMonitors(arguments);
    if (!report.valid) return;
    m_info.m_nMonitorCount = report.count;
    const bool choosable =
        PeerHasMonitorSelection(AfxToU16(m_info.m_strPeerVersion)) && report.count > 1;
    ::ShowWindow(GetDlgItem(kMonitorButton), choosable ? SW_SHOWNOACTIVATE : SW_HIDE);
    m_info.m_nMonitor = report.selected;
    m_info.m_rcMonitor = RECT{report.left, report.top, report.right, report.bottom};
    if (report.HasArea()) {
        const int64_t width = int64_t{report.right} - report.left;
        const int64_t height = int64_t{report.bottom} - report.top;
        if (width <= kLargestFrameEdge && height <= kLargestFrameEdge)
            m_info.RecreateFrame(static_cast<int>(width), static_cast<int>(height));
    }
    if (HWND viewer = ViewerWindow())
        ::PostMessageW(viewer, kWmApplyMonitorView, kMessageMarker, m_info.m_nMonitor);
}

void CTavrelDlg::OnTileSizeReport(const std::u16string& arguments) {
    const TileSizeReport report = ParseTileSize(arguments);
    if (!report.valid) return;
    m_info.m_nTileWidth = report.width;
    m_info.m_nTileHeight = report.height;
}

void CTavrelDlg::OnOriginReport(const std::u16string& arguments) {
    const OriginReport report = ParseOrigin(arguments);
    if (!report.valid) return;
    m_info.m_nOriginX = report.x;
    m_info.m_nOriginY = report.y;
}

void CTavrelDlg::OnStateReport(int buttonId, const std::u16string& arguments) {
    const WPARAM state = StateReportIsOn(arguments) ? BST_CHECKED : BST_UNCHECKED;
    ::SendMessageW(GetDlgItem(buttonId), BM_SETCHECK, state, 0);
}

void CTavrelDlg::OnScreenUpAcknowledged(const std::u16string& arguments) {
    m_nScreenUpLastAck = ParseAcknowledgedFrame(arguments);
    m_nScreenUpBlocked = -1;
}

#include "panel/TavrelSession.h"

#include "panel/PanelGeometry.h"
#include "panel/PeerReports.h"
#include "panel/SessionRules.h"
#include "protocol/Packet.h"
#include "protocol/PeerContract.h"
#include "protocol/TextCommand.h"
#include "remote/MonitorRequest.h"
#include "remote/RemoteDispatch.h"
#include "resources/resource.h"
#include "shell/ProgramMessages.h"

#include <cstdint>

namespace {

// How long the relay server may take to ask who the pad is, and the lectern PC to
// greet it, after the connection attempt.
constexpr unsigned kRelayTimeoutMs = 3000;
constexpr unsigned kLecternTimeoutMs = 3000;
// How long the relay server may stay silent after the identification. A working
// server answers at once; a slow one is given as long as the lectern PC is, so that
// only a vanished one ends the program.
constexpr unsigned kRelayAnswerTimeoutMs = kPeerSilenceLimitMs;
// The loading text stays this long before the connection attempt starts.
constexpr unsigned kRelayLoadingPauseMs = 3000;
constexpr unsigned kLecternLoadingPauseMs = 2000;

}  // namespace

CTavrelSession::CTavrelSession(ISessionHost& host, CRemoteScreen& screen)
    : m_host(host), m_screen(screen) {}

void CTavrelSession::SetRelayEndpoint(const std::u16string& ip, const std::u16string& port) {
    m_strRsIp = ip;
    m_strRsPort = port;
}

bool CTavrelSession::Begin() {
    LoginOutcome outcome;
    if (!m_host.LogIn(outcome)) return false;
    TakeLogin(outcome);
    StartRelayConnection();
    return true;
}

void CTavrelSession::TakeLogin(const LoginOutcome& outcome) {
    m_strTeacherId = outcome.teacherId;
    m_strRsIp = outcome.relayIp;
    m_strRsPort = outcome.relayPort;
}

// ---------------------------------------------------------------- sending

void CTavrelSession::SendCommand(const std::u16string& text) { SendPacket(CPacket(text)); }

bool CTavrelSession::SendPacket(const CPacket& packet) {
    // Until the lectern PC has spoken, and while the connection is lent to a remote
    // session, there is nobody on this connection to send to.
    if (!m_bTeacherLinked || !m_host.LecternLink().IsOpen()) return false;
    return SendToLectern(packet);
}

bool CTavrelSession::SendScreenUpFrame(const CPacket& frame) {
    // The window counts a frame it lets through as sent even when there is no
    // connection to send it on, as the capture cannot tell the difference.
    if (!m_screenUpWindow.Admit(frame.m_nFrameNumber)) return false;
    return SendPacket(frame);
}

void CTavrelSession::SendPanelCommand(const std::u16string& text) {
    if (m_pRemoteSender == nullptr) {
        SendCommand(text);
        return;
    }
    // The remote session reports a lost connection itself (message 3124).
    if (m_pRemoteSender->IsOpen()) m_pRemoteSender->Send(CPacket(text));
}

bool CTavrelSession::SendToLectern(const CPacket& packet) {
    // A frame that could not be written closed the connection, and a closed connection
    // reports nothing more: without this the pad would sit on a dead connection. The
    // ending is posted, so a handler that is halfway through its answers finishes first.
    if (m_host.LecternLink().Send(packet)) return true;
    if (!m_bEnding) m_host.PostConnectionLost();
    return false;
}

// ---------------------------------------------------------------- endings

void CTavrelSession::EndWithMessage(const std::u16string& text) {
    m_bEnding = true;
    // Stopped before the message, so that the box stays until the teacher has read it
    // instead of a time-out ending the program underneath it.
    m_host.KillTimer(kTimerKeepAlive);
    m_host.KillTimer(kTimerLecternTimeout);
    m_host.KillTimer(kTimerRelayTimeout);
    m_host.ShowMessage(text);
    m_host.Quit();
}

void CTavrelSession::EndSession() {
    if (m_bTeacherLinked) m_host.LecternLink().Close();
    EndWithMessage(m_host.Text(IDS_TEACHER_LOST_EXIT));
}

void CTavrelSession::RelayLost() {
    m_bAwaitingRelayAnswer = false;
    m_host.KillTimer(kTimerRelayTimeout);
    m_host.HideLoading();
    EndWithMessage(m_host.Text(IDS_RELAY_UNREACHABLE));
}

void CTavrelSession::RefuseMalformed() {
    // With the panel shown, the close request asks the teacher before ending.
    m_host.ShowMessage(m_host.Text(IDS_INVALID_DATA_RECEIVED));
    m_host.RequestClose();
}

// ---------------------------------------------------------------- relay server

void CTavrelSession::StartRelayConnection() {
    if (!m_bRelayArmed) {
        m_host.ShowLoading(IDS_LOADING_RELAY, kRelayLoadingPauseMs);
        m_bRelayArmed = true;
    }
    // The time-out is armed for every attempt, also after a re-login: a relay server
    // that stays silent must not leave an invisible program waiting for ever.
    m_host.SetTimer(kTimerRelayTimeout, kRelayTimeoutMs);
    m_strLocalIp = m_host.LocalAddress();
    ISessionLink& relay = m_host.RelayLink();
    if (!relay.Connect(m_strRsIp, PortNumber(m_strRsPort))) return;  // the time-out reports it
    m_strLocalPort = relay.LocalPort();
}

void CTavrelSession::HandleRelayPacket(const CPacket& packet) {
    std::u16string code, arguments;
    if (packet.m_nType != kPacketText || !SplitCommand(packet.m_strText, code, arguments)) return;
    if (code == kCmdRelayIdentify) {
        OnIdentifyRequest(arguments);
    } else if (code == kCmdRelayPeerAddress) {
        OnLecternAddress(arguments);
    } else if (code == kCmdRelayEnd) {
        m_bAwaitingRelayAnswer = false;
        m_host.HideLoading();
        EndSession();
    }
    // "[USP0002]", "[UDPINFO]" and anything else: nothing to do.
}

void CTavrelSession::OnIdentifyRequest(const std::u16string& arguments) {
    m_host.KillTimer(kTimerRelayTimeout);
    m_host.HideLoading();
    const IdentifyRequest request = ParseIdentifyRequest(arguments);
    if (!request.wellFormed) {
        RefuseMalformed();
        return;
    }
    if (request.accepted) {
        const CPacket identity(BuildIdentification(m_strTeacherId, m_strLocalIp, m_strLocalPort));
        m_bAwaitingRelayAnswer = true;
        if (!m_host.RelayLink().Send(identity)) {
            RelayLost();
            return;
        }
        m_host.SetTimer(kTimerRelayTimeout, kRelayAnswerTimeoutMs);
        return;
    }
    const RelayMessageTexts texts{
        m_host.Text(IDS_RELAY_LOOKUP_ERROR), m_host.Text(IDS_RELAY_NO_TEACHER),
        m_host.Text(IDS_RELAY_WRONG_KIND), m_host.Text(IDS_RELAY_NOT_RUNNING)};
    LogInAgain(MapRelayMessage(request.message, m_host.LanguageCode(), texts));
}

void CTavrelSession::LogInAgain(const std::u16string& refusal) {
    m_host.ShowMessage(refusal);
    m_host.RelayLink().Close();
    // The same log-in as at start-up: the stored ID offered again, the new ID, relay
    // address and port taken over.
    LoginOutcome outcome;
    if (!m_host.LogIn(outcome)) {
        m_host.Quit();
        return;
    }
    TakeLogin(outcome);
    StartRelayConnection();
}

void CTavrelSession::OnLecternAddress(const std::u16string& arguments) {
    m_bAwaitingRelayAnswer = false;
    m_host.KillTimer(kTimerRelayTimeout);
    const LecternAddress address = ParseLecternAddress(arguments);
    if (!address.wellFormed) {
        RefuseMalformed();
        return;
    }
    m_strTeacherIp = address.address;
    m_strTeacherPort = address.port;
    ConnectToLectern();
    m_host.RelayLink().Close();
    m_bTeacherPhase = true;
}

void CTavrelSession::ConnectToLectern() {
    m_host.ShowLoading(IDS_LOADING_TEACHER, kLecternLoadingPauseMs);
    m_host.SetTimer(kTimerLecternTimeout, kLecternTimeoutMs);
    // A failed attempt is left to the time-out, which names the address.
    m_host.LecternLink().Connect(m_strTeacherIp, PortNumber(m_strTeacherPort));
}

// ---------------------------------------------------------------- notices

void CTavrelSession::OnConnected(SessionLinkId link, int error) {
    if (error == 0 || m_bEnding) return;
    // Only a failed relay connection is reported here; the lectern PC's is left to its
    // time-out.
    if (link != SessionLinkId::Relay || !m_strTeacherIp.empty()) return;
    m_host.KillTimer(kTimerRelayTimeout);
    m_host.HideLoading();
    // The panel shows, so that the message is not left alone on an empty screen.
    m_host.RevealPanel();
    EndWithMessage(m_host.Text(IDS_CHECK_WIFI_AND_RESTART));
}

void CTavrelSession::OnPacket(SessionLinkId link, const CPacket& packet) {
    if (m_bEnding) return;
    if (!m_bTeacherPhase) {
        if (link == SessionLinkId::Relay) HandleRelayPacket(packet);
        return;
    }
    if (link != SessionLinkId::Lectern) return;
    m_bTeacherLinked = true;
    DispatchTeacherPacket(packet);
}

void CTavrelSession::OnReadFailed(SessionLinkId link) {
    if (m_bEnding) return;
    if (!m_bTeacherPhase) {
        if (link == SessionLinkId::Relay && m_bAwaitingRelayAnswer) RelayLost();
        return;
    }
    if (link != SessionLinkId::Lectern) return;
    m_bTeacherLinked = true;
    EndSession();
}

void CTavrelSession::OnClosed(SessionLinkId link) {
    if (m_bEnding) return;
    // The relay server hangs up once it has said where the lectern PC is; before that,
    // its hang-up leaves nobody to tell the pad where to go.
    if (link == SessionLinkId::Relay) {
        if (m_bAwaitingRelayAnswer) RelayLost();
        return;
    }
    EndSession();
}

void CTavrelSession::OnRemoteConnectionLost() {
    if (!m_bEnding) EndSession();
}

bool CTavrelSession::OnTimer(unsigned id) {
    switch (id) {
        case kTimerKeepAlive:
            SendCommand(kCmdKeepAlive);
            if (SilenceExceeded(m_host.NowSeconds(), m_screen.m_dtLastRecv)) {
                // Stopped before the message: the box's own loop keeps dispatching timers.
                m_host.KillTimer(kTimerKeepAlive);
                m_screen.m_dtLastRecv = m_host.NowSeconds();
                EndSession();
            }
            return true;
        case kTimerLecternTimeout:
            m_host.KillTimer(kTimerLecternTimeout);
            m_host.HideLoading();
            EndWithMessage(m_host.Text(IDS_TEACHER_UNREACHABLE) + u"(" + m_strTeacherIp + u":" +
                           m_strTeacherPort + u")");
            return true;
        case kTimerRelayTimeout:
            RelayLost();
            return true;
        default:
            return false;
    }
}

// ---------------------------------------------------------------- lectern PC's commands

void CTavrelSession::DispatchTeacherPacket(const CPacket& packet) {
    // Remote frames arriving after a remote session ended are accepted and dropped.
    if (packet.m_nType != kPacketText) return;
    std::u16string code, arguments;
    if (!SplitCommand(packet.m_strText, code, arguments)) return;

    if (code == kCmdPeerVersion) {
        m_screen.m_strPeerVersion = arguments;
    } else if (code == kCmdPeerGreeting) {
        OnGreeting();
    } else if (code == kCmdPeerEnd) {
        OnPeerEndsSession(arguments);
    } else if (code == kCmdHeartbeat) {
        m_screen.m_dtLastRecv = m_host.NowSeconds();
    } else if (code == kCmdScreenSize) {
        OnScreenSizeReport(arguments);
    } else if (code == kCmdMonitors) {
        OnMonitorsReport(arguments);
    } else if (code == kCmdTileSize) {
        OnTileSizeReport(arguments);
    } else if (code == kCmdScreenOrigin) {
        OnOriginReport(arguments);
    } else if (code == kCmdTouchState) {
        m_host.SetButtonCheck(tavrel::kIdStudentTouch, StateReportIsOn(arguments));
    } else if (code == kCmdBroadcastState) {
        m_host.SetButtonCheck(tavrel::kIdBroadcast, StateReportIsOn(arguments));
    } else if (code == kCmdScreenUpAck) {
        m_screenUpWindow.OnAcknowledged(ParseAcknowledgedFrame(arguments));
    }
    // "[MV00001]", "[MV00002]", "[RH00005]" and unknown codes: nothing to do.
}

void CTavrelSession::OnGreeting() {
    m_host.KillTimer(kTimerLecternTimeout);
    m_host.HideLoading();
    SendCommand(MakeCommand(kCmdGreetingAnswer, {kArgGreetingAnswer}));
    SendCommand(MakeCommand(kCmdOwnVersion, {kOwnVersion}));
    m_host.SetTimer(kTimerKeepAlive, kKeepAliveIntervalMs);
    m_screen.m_dtLastRecv = m_host.NowSeconds();
    m_host.RevealPanel();
}

void CTavrelSession::OnPeerEndsSession(const std::u16string& arguments) {
    m_host.HideLoading();
    const SessionEndNotice notice = ParseSessionEndNotice(arguments);
    if (!notice.wellFormed) {
        RefuseMalformed();
        return;
    }
    m_host.LecternLink().Close();
    EndWithMessage(notice.message);
}

void CTavrelSession::OnScreenSizeReport(const std::u16string& arguments) {
    const ScreenSizeReport report = ParseScreenSize(arguments);
    if (!report.valid) return;
    m_screen.m_nScreenWidth = report.width;
    m_screen.m_nScreenHeight = report.height;
    m_screen.m_nBitsPerPixel = CRemoteScreen::kFrameBitsPerPixel;

    const PadScreenSize pad = m_host.PadScreen();
    if (!PeerHasMonitorSelection(m_screen.m_strPeerVersion)) {
        // Older lectern programs show the whole screen at the pad's size and do not say
        // how they cut it into tiles.
        m_screen.m_nTileWidth = tavrel::HalvedTileEdge(pad.width);
        m_screen.m_nTileHeight = tavrel::HalvedTileEdge(pad.height);
        m_screen.m_rcMonitor = ScreenRect{0, 0, pad.width, pad.height};
        m_host.RecreateFrame(pad.width, pad.height);
        m_host.ShowButton(tavrel::kIdMonitor, false);
    } else {
        m_screen.m_nMonitor = 1;
    }
    SendCommand(MakeCommand(kCmdPadScreenSize, {DecimalText(pad.width), DecimalText(pad.height)}));
    SendCommand(MakeCommand(kCmdSelectMonitor, {DecimalText(m_screen.m_nMonitor)}));
}

void CTavrelSession::OnMonitorsReport(const std::u16string& arguments) {
    const MonitorsReport report = ParseMonitors(arguments);
    if (!report.valid) return;
    m_screen.m_nMonitorCount = report.count;
    // The same button rule as the remote session's; the main dialog keeps the
    // selected monitor as reported.
    m_host.ShowButton(
        tavrel::kIdMonitor,
        DecideMonitorButton(m_screen.m_strPeerVersion, report.count, report.selected).show);
    m_screen.m_nMonitor = report.selected;
    m_screen.m_rcMonitor = ScreenRect{report.left, report.top, report.right, report.bottom};
    if (report.HasArea()) {
        const int64_t width = int64_t{report.right} - report.left;
        const int64_t height = int64_t{report.bottom} - report.top;
        if (width <= kLargestRemoteFrameEdge && height <= kLargestRemoteFrameEdge)
            m_host.RecreateFrame(static_cast<int>(width), static_cast<int>(height));
    }
    m_host.ApplyMonitorView(m_screen.m_nMonitor);
}

void CTavrelSession::OnTileSizeReport(const std::u16string& arguments) {
    const TileSizeReport report = ParseTileSize(arguments);
    if (!report.valid) return;
    m_screen.m_nTileWidth = report.width;
    m_screen.m_nTileHeight = report.height;
}

void CTavrelSession::OnOriginReport(const std::u16string& arguments) {
    const OriginReport report = ParseOrigin(arguments);
    if (!report.valid) return;
    m_screen.m_nOriginX = report.x;
    m_screen.m_nOriginY = report.y;
}

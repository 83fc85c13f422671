// CTavrelSession: the pad's session with the relay server and the lectern PC. The relay
// server says where the lectern PC is, the pad connects there, and a keep-alive watches
// the link until the program ends. Every loss of the link ends the program with a
// message; there is no reconnection.
//
// Everything here runs on the main dialog's thread: the host hands in the socket
// notices, the timers and the panel's commands, and carries out what the session
// decides. No window, socket or clock is touched directly, so the whole lifecycle runs
// under a fake host and a fake clock in the unit tests.
#pragma once

#include "panel/RemoteScreen.h"
#include "panel/SessionHost.h"
#include "screenup/AckWindow.h"

#include <string>

enum class SessionLinkId { Relay, Lectern };

class CTavrelSession {
  public:
    CTavrelSession(ISessionHost& host, CRemoteScreen& screen);
    CTavrelSession(const CTavrelSession&) = delete;
    CTavrelSession& operator=(const CTavrelSession&) = delete;

    // The relay server stored from an earlier log-in; the log-in may replace it.
    void SetRelayEndpoint(const std::u16string& ip, const std::u16string& port);
    // Logs in and starts the relay connection; false when the teacher cancelled.
    bool Begin();

    // ---- notices from the connections
    // A connection attempt finished; error 0 is success.
    void OnConnected(SessionLinkId link, int error);
    // One packet was read from the connection.
    void OnPacket(SessionLinkId link, const CPacket& packet);
    // A read met the end of the stream or an error and closed the connection; no close
    // notice follows.
    void OnReadFailed(SessionLinkId link);
    // The peer closed the connection.
    void OnClosed(SessionLinkId link);
    // The remote-control session lost the lectern PC's connection.
    void OnRemoteConnectionLost();
    // One of the session's timers fired; false for a timer that is not the session's.
    bool OnTimer(unsigned id);

    // ---- sending to the lectern PC
    // Sends one command on the session's own connection once the lectern PC has
    // spoken; dropped before that and while the connection is lent to remote control.
    void SendCommand(const std::u16string& text);
    // The same rule for a packet handed over by another window of the program; true
    // when it was written to the connection.
    bool SendPacket(const CPacket& packet);
    // A screen-up frame from the capture thread: the acknowledgement window decides
    // whether it goes, then SendPacket's rule. True only when it was written.
    bool SendScreenUpFrame(const CPacket& frame);
    // Screen up starts: nothing sent, nothing acknowledged.
    void ResetScreenUpWindow() { m_screenUpWindow.Reset(); }
    // A command of the panel: while remote control holds the connection it goes
    // through the remote session's sender, otherwise as SendCommand.
    void SendPanelCommand(const std::u16string& text);
    // The remote-control session's sender while it holds the connection; null after.
    void SetRemoteSender(IPacketSender* sender) { m_pRemoteSender = sender; }
    bool RemoteSenderSet() const { return m_pRemoteSender != nullptr; }

    // ---- state the panel reads
    // The lectern PC has spoken on this connection: the panel may send from now on.
    bool TeacherLinked() const { return m_bTeacherLinked; }
    // The panel tests stand in for a lectern PC that has spoken.
    void SetTeacherLinked(bool linked) { m_bTeacherLinked = linked; }
    // A fatal ending is under way: nothing more is sent or shown.
    bool Ending() const { return m_bEnding; }
    const std::u16string& TeacherId() const { return m_strTeacherId; }
    const std::u16string& RelayIp() const { return m_strRsIp; }
    const std::u16string& RelayPort() const { return m_strRsPort; }

    // How many screen-up frames may travel before "[RH00002]" confirms them.
    const CAckWindow& ScreenUpWindow() const { return m_screenUpWindow; }

  private:
    void StartRelayConnection();
    void HandleRelayPacket(const CPacket& packet);
    void OnIdentifyRequest(const std::u16string& arguments);
    void OnLecternAddress(const std::u16string& arguments);
    void ConnectToLectern();
    void LogInAgain(const std::u16string& refusal);
    void TakeLogin(const LoginOutcome& outcome);
    void RelayLost();
    void RefuseMalformed();
    void EndWithMessage(const std::u16string& text);
    void EndSession();
    bool SendToLectern(const CPacket& packet);

    // The lectern PC's commands while no remote-control session holds the connection.
    void DispatchTeacherPacket(const CPacket& packet);
    void OnGreeting();
    void OnPeerEndsSession(const std::u16string& arguments);
    void OnScreenSizeReport(const std::u16string& arguments);
    void OnMonitorsReport(const std::u16string& arguments);
    void OnTileSizeReport(const std::u16string& arguments);
    void OnOriginReport(const std::u16string& arguments);

    ISessionHost& m_host;
    CRemoteScreen& m_screen;
    IPacketSender* m_pRemoteSender = nullptr;
    CAckWindow m_screenUpWindow;

    std::u16string m_strTeacherId;
    std::u16string m_strRsIp;
    std::u16string m_strRsPort;
    std::u16string m_strLocalIp;
    std::u16string m_strLocalPort;
    std::u16string m_strTeacherIp;
    std::u16string m_strTeacherPort;
    // The loading text and the relay time-out were shown and armed once.
    bool m_bRelayArmed = false;
    // The relay phase is over: notices now concern the lectern PC.
    bool m_bTeacherPhase = false;
    // A packet arrived from the lectern PC: sending is allowed from then on.
    bool m_bTeacherLinked = false;
    // Identified to the relay server and waiting for where the lectern PC is.
    bool m_bAwaitingRelayAnswer = false;
    bool m_bEnding = false;
};

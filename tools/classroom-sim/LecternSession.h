#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "DelayedSender.h"
#include "EventLog.h"
#include "LecternTypes.h"
#include "SocketConnection.h"

class CLecternServer;
struct LecternOptions;

// One pad connected to the simulated lectern PC: greeting, heartbeat, the commands
// and packets of the session, and the deliberate faults of the options.
class CLecternSession {
  public:
    CLecternSession(CLecternServer& server, CEventLog& log,
                    std::shared_ptr<CSocketConnection> connection, int conn);
    ~CLecternSession();
    CLecternSession(const CLecternSession&) = delete;
    CLecternSession& operator=(const CLecternSession&) = delete;

    // Runs the session until the connection ends.
    void Run();
    // Sends a text command; false when the connection is gone.
    bool SendText(const std::u16string& text);
    bool SendPacket(const CPacket& packet);
    void Close() { m_pConnection->CloseConnection(); }

  private:
    void Greet();
    void Describe(bool withSize);
    LecternScreen Screen() const;
    void Handle(const CPacket& packet);
    void HandleCommand(const std::u16string& code, const std::u16string& args);
    bool HandleRemoteCommand(const std::u16string& code, const std::u16string& args);
    bool HandleSwitchCommand(const std::u16string& code, const std::u16string& args);
    void HandleScreenUpFrame(const CPacket& packet);
    void AcknowledgeScreenUp(int32_t frame);
    void LogSound(const CPacket& packet);
    void RemoteStart();
    void RemoteStop();
    void Misbehave();
    void HeartbeatLoop();
    void StopHeartbeat();
    bool StateReports() const;
    bool Silent() const;

    CLecternServer& m_server;
    const LecternOptions& m_options;
    CEventLog& m_log;
    std::shared_ptr<CSocketConnection> m_pConnection;
    int m_nConn;
    int m_nMonitor = 1;
    bool m_bGreeted = false;
    bool m_bRemoteOn = false;
    bool m_bScreenUpOn = false;
    bool m_bSoundOn = false;
    // When the packet being handled was read.
    std::chrono::steady_clock::time_point m_tArrival;
    // Late screen-up acknowledgements (--screenup-ack-delay), sent from its own thread.
    CDelayedSender m_delayedAcks;
    std::thread m_heartbeat;
    std::mutex m_stopMutex;
    std::condition_variable m_stopCv;
    bool m_bStop = false;
};

#pragma once

#include <atomic>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "EventLog.h"
#include "LecternTypes.h"
#include "TcpListener.h"
#include "UpStats.h"

class CLecternSession;

struct LecternOptions {
    uint16_t port = 0;  // 0 picks a free port
    // Announced with "[MV00094]"; decides which reports the pad gets.
    std::u16string version = u"3.0.1.1004";
    // Monitors in desktop coordinates, the first the primary one. Empty: one or two
    // monitors by monitorCount (the second to the left of the primary, so that the
    // virtual screen has a negative origin).
    int monitorCount = 1;
    std::vector<MonitorRect> monitors;
    // Period of "[RH10002]"; 0 sends none.
    int heartbeatMs = 5000;
    LecternMisbehaviour misbehaviour = LecternMisbehaviour::kNone;
    MisbehaviourTrigger trigger = MisbehaviourTrigger::kAfterGreeting;
    bool initialTouch = false;
    bool initialBroadcast = false;
    // A lectern program with monitor selection that leaves "[RH00007]" out of its screen
    // description, so the pad never learns the tile size from it.
    bool omitTileSize = false;
    // Answers "[RC00005]" with "[RH00004]1" once the stream has stopped, as some lectern
    // programs do.
    bool replyToRemoteEnd = false;
    // How the pad's screen-up frames are acknowledged ("[RH00002]"): 1 answers every
    // frame, 0 none (the pad's window then fills), N > 1 only every Nth frame received,
    // with that frame's number (a lectern PC that falls behind).
    int screenUpAckEvery = 1;
    // Milliseconds between a screen-up frame's arrival and its acknowledgement; the
    // acknowledgements keep their order and reception goes on meanwhile. 0: at once.
    int screenUpAckDelayMs = 0;

    // The monitors in use (from monitors or monitorCount).
    std::vector<MonitorRect> Monitors() const;
};

// Smallest rectangle holding every monitor.
MonitorRect VirtualScreen(const std::vector<MonitorRect>& monitors);

// The simulated lectern PC program: greets each pad, describes its screen, answers
// switches, records input, streams and takes frames through the media hooks.
class CLecternServer {
  public:
    CLecternServer(LecternOptions options, CEventLog& log);
    ~CLecternServer();
    CLecternServer(const CLecternServer&) = delete;
    CLecternServer& operator=(const CLecternServer&) = delete;

    // Must be set before Start().
    void SetMediaHooks(LecternMediaHooks hooks) { m_hooks = std::move(hooks); }

    bool Start();
    void Stop();
    uint16_t Port() const { return m_listener.Port(); }
    const LecternOptions& Options() const { return m_options; }

    // Ends every open session with "[MV10000]" and the message (fieldCount other than
    // 2 makes the malformed form). Returns the number of sessions told.
    int EndSessions(const std::u16string& message, int fieldCount = 2);
    // Sends a text command to every open session; returns how many got it.
    int SendToAll(const std::u16string& text);
    // Closes every open connection without a word.
    void CloseSessions();
    int OpenSessions() const;

    // A copy of what was recorded so far; Reset clears it (states included).
    LecternRecord Recorded() const;
    void ResetRecord();

    // Screen-up frames and sound chunks over the current window (see UpStats.h).
    CUpStats& Stats() { return m_stats; }

    // For sessions.
    std::mutex& RecordMutex() const { return m_recordMutex; }
    LecternRecord& RecordUnlocked() { return m_record; }
    const LecternMediaHooks& Hooks() const { return m_hooks; }

  private:
    void Serve(std::shared_ptr<CSocketConnection> connection);

    LecternOptions m_options;
    CEventLog& m_log;
    LecternMediaHooks m_hooks;
    mutable std::mutex m_recordMutex;
    LecternRecord m_record;
    CUpStats m_stats;
    mutable std::mutex m_sessionsMutex;
    std::list<CLecternSession*> m_sessions;
    std::atomic<int> m_nNextConn{1};
    CTcpListener m_listener;
};

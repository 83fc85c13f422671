#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "EventLog.h"
#include "LecternMedia.h"
#include "LecternServer.h"
#include "RelayServer.h"

struct ClassroomOptions {
    RelayOptions relay;
    LecternOptions lectern;
    bool withRelay = true;
    // Remote-control frames and screen-up decoding; without them the lectern PC only
    // logs what it would have streamed or decoded.
    bool withMedia = true;
    LecternMediaOptions media;
    // Event lines besides memory: a file, standard output, or neither.
    std::string logFile;
    bool logToStdout = false;
};

// A whole substitute classroom on 127.0.0.1: the relay server pointing at the
// lectern PC, for tests that run it in-process and for the command-line program.
class CClassroom {
  public:
    explicit CClassroom(ClassroomOptions options);
    ~CClassroom();
    CClassroom(const CClassroom&) = delete;
    CClassroom& operator=(const CClassroom&) = delete;

    // Starts the lectern PC, then the relay server pointing at it. False (with
    // everything stopped again) when a port could not be bound or the log file opened.
    bool Start();
    void Stop();

    uint16_t RelayPort() const { return m_pRelay ? m_pRelay->Port() : 0; }
    uint16_t LecternPort() const { return m_lectern.Port(); }
    CEventLog& Log() { return m_log; }
    CLecternServer& Lectern() { return m_lectern; }
    CRelayServer* Relay() { return m_pRelay.get(); }
    LecternRecord Recorded() const { return m_lectern.Recorded(); }

    // The media parts (null without them).
    CLecternMedia* Media() { return m_pMedia.get(); }

  private:
    ClassroomOptions m_options;
    CEventLog m_log;
    CLecternServer m_lectern;
    std::unique_ptr<CLecternMedia> m_pMedia;
    std::unique_ptr<CRelayServer> m_pRelay;
    bool m_bStarted = false;
};

#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "EventLog.h"
#include "LecternMedia.h"
#include "LecternServer.h"
#include "RelayServer.h"
#include "web/HttpServer.h"
#include "web/LoginWebServer.h"
#include "web/UpdateWebServer.h"

struct ClassroomOptions {
    RelayOptions relay;
    LecternOptions lectern;
    bool withRelay = true;
    // Remote-control frames and screen-up decoding; without them the lectern PC only
    // logs what it would have streamed or decoded.
    bool withMedia = true;
    LecternMediaOptions media;
    // The login web server (pointing at the relay) and, with a folder, the update web
    // server, both on one HTTP/HTTPS host.
    bool withWeb = false;
    CWebHostOptions web;
    std::string updateFolder;
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

    // Starts the lectern PC, the relay server pointing at it, then the web servers. False (with
    // everything stopped again) when a port could not be bound or the log file opened.
    bool Start();
    void Stop();

    uint16_t RelayPort() const { return m_pRelay ? m_pRelay->Port() : 0; }
    uint16_t LecternPort() const { return m_lectern.Port(); }
    CEventLog& Log() { return m_log; }
    CLecternServer& Lectern() { return m_lectern; }
    CRelayServer* Relay() { return m_pRelay.get(); }
    LecternRecord Recorded() const { return m_lectern.Recorded(); }

    // The web servers (null without them).
    CWebHost* WebHost() { return m_pWebHost.get(); }
    CLoginWebServer* LoginWeb() { return m_pLogin.get(); }
    CUpdateWebServer* UpdateWeb() { return m_pUpdate.get(); }
    int HttpPort() const { return m_pWebHost ? m_pWebHost->HttpPort() : 0; }
    int HttpsPort() const { return m_pWebHost ? m_pWebHost->HttpsPort() : 0; }

    // The media parts (null without them).
    CLecternMedia* Media() { return m_pMedia.get(); }

  private:
    bool StartWeb();

    ClassroomOptions m_options;
    CEventLog m_log;
    CLecternServer m_lectern;
    std::unique_ptr<CLecternMedia> m_pMedia;
    std::unique_ptr<CRelayServer> m_pRelay;
    std::unique_ptr<CWebHost> m_pWebHost;
    std::unique_ptr<CLoginWebServer> m_pLogin;
    std::unique_ptr<CUpdateWebServer> m_pUpdate;
    bool m_bStarted = false;
};

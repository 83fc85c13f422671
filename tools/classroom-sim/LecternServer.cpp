#include "LecternServer.h"

#include <algorithm>

#include "LecternSession.h"
#include "protocol/PeerContract.h"
#include "protocol/TextCommand.h"

namespace {

constexpr char kRole[] = "lectern";
// The simulated monitors: a full-HD primary screen and, when there are two, a
// smaller one to its left, which puts the virtual screen's origin at x = -1280.
constexpr MonitorRect kPrimaryMonitor{0, 0, 1920, 1080};
constexpr MonitorRect kSecondMonitor{-1280, 0, 0, 1024};
constexpr int kMaxSimulatedMonitors = 2;
constexpr char16_t kEndFiller[] = u"0";

}  // namespace

std::vector<MonitorRect> LecternOptions::Monitors() const {
    if (!monitors.empty()) return monitors;
    std::vector<MonitorRect> list{kPrimaryMonitor};
    if (std::clamp(monitorCount, 1, kMaxSimulatedMonitors) > 1) list.push_back(kSecondMonitor);
    return list;
}

MonitorRect VirtualScreen(const std::vector<MonitorRect>& monitors) {
    if (monitors.empty()) return {};
    MonitorRect v = monitors.front();
    for (const MonitorRect& m : monitors) {
        v.left = std::min(v.left, m.left);
        v.top = std::min(v.top, m.top);
        v.right = std::max(v.right, m.right);
        v.bottom = std::max(v.bottom, m.bottom);
    }
    return v;
}

CLecternServer::CLecternServer(LecternOptions options, CEventLog& log)
    : m_options(std::move(options)),
      m_log(log),
      m_listener([this](std::shared_ptr<CSocketConnection> c) { Serve(std::move(c)); }) {
    m_record.touch = m_options.initialTouch;
    m_record.broadcast = m_options.initialBroadcast;
}

CLecternServer::~CLecternServer() { Stop(); }

bool CLecternServer::Start() {
    if (!m_listener.Start(m_options.port)) return false;
    m_log.Emit("listening",
               {{"role", kRole}, {"port", int(m_listener.Port())}, {"version", m_options.version}});
    return true;
}

void CLecternServer::Stop() { m_listener.Stop(); }

void CLecternServer::Serve(std::shared_ptr<CSocketConnection> connection) {
    int conn = m_nNextConn++;
    m_log.Emit("conn_open", {{"role", kRole},
                             {"conn", conn},
                             {"peer", connection->PeerAddress() + ":" +
                                          std::to_string(connection->PeerPort())}});
    CLecternSession session(*this, m_log, connection, conn);
    {
        std::lock_guard<std::mutex> lock(m_sessionsMutex);
        m_sessions.push_back(&session);
    }
    session.Run();
    {
        std::lock_guard<std::mutex> lock(m_sessionsMutex);
        m_sessions.remove(&session);
    }
    m_log.Emit("conn_close", {{"role", kRole}, {"conn", conn}});
}

int CLecternServer::EndSessions(const std::u16string& message, int fieldCount) {
    std::vector<std::u16string> fields;
    if (fieldCount >= 2) {
        fields.assign(size_t(fieldCount - 1), kEndFiller);
        fields.push_back(message);
    } else if (fieldCount == 1) {
        fields.push_back(message);
    }
    return SendToAll(MakeCommand(kCmdPeerEnd, fields));
}

int CLecternServer::SendToAll(const std::u16string& text) {
    std::lock_guard<std::mutex> lock(m_sessionsMutex);
    int n = 0;
    for (CLecternSession* s : m_sessions)
        if (s->SendText(text)) ++n;
    return n;
}

void CLecternServer::CloseSessions() {
    std::lock_guard<std::mutex> lock(m_sessionsMutex);
    for (CLecternSession* s : m_sessions) s->Close();
}

int CLecternServer::OpenSessions() const {
    std::lock_guard<std::mutex> lock(m_sessionsMutex);
    return int(m_sessions.size());
}

LecternRecord CLecternServer::Recorded() const {
    std::lock_guard<std::mutex> lock(m_recordMutex);
    return m_record;
}

void CLecternServer::ResetRecord() {
    std::lock_guard<std::mutex> lock(m_recordMutex);
    m_record = LecternRecord();
    m_record.touch = m_options.initialTouch;
    m_record.broadcast = m_options.initialBroadcast;
}

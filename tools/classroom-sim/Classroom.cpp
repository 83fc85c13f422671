#include "Classroom.h"

CClassroom::CClassroom(ClassroomOptions options)
    : m_options(std::move(options)), m_lectern(m_options.lectern, m_log) {
    if (m_options.withMedia) {
        m_pMedia = std::make_unique<CLecternMedia>(m_options.media, m_log);
        m_lectern.SetMediaHooks(m_pMedia->Hooks());
    }
    if (m_options.withRelay) m_pRelay = std::make_unique<CRelayServer>(m_options.relay, m_log);
}

CClassroom::~CClassroom() { Stop(); }

bool CClassroom::Start() {
    if (m_bStarted) return true;
    if (!m_options.logFile.empty() && !m_log.WriteToFile(m_options.logFile)) return false;
    if (m_options.logToStdout) m_log.WriteToStdout();
    if (!m_lectern.Start()) return false;
    if (m_pRelay) {
        m_pRelay->SetLectern(m_options.relay.lecternAddress, m_lectern.Port());
        if (!m_pRelay->Start()) {
            m_lectern.Stop();
            return false;
        }
    }
    if (m_options.withWeb && !StartWeb()) {
        Stop();
        return false;
    }
    m_bStarted = true;
    return true;
}

bool CClassroom::StartWeb() {
    m_pWebHost = std::make_unique<CWebHost>();
    if (!m_pWebHost->Start(m_options.web)) {
        m_log.Emit("web_error", {{"error", m_pWebHost->LastError()}});
        return false;
    }
    m_pLogin = std::make_unique<CLoginWebServer>(*m_pWebHost, &m_log);
    m_pLogin->SetRelayEndpoint("127.0.0.1", RelayPort());
    if (!m_options.updateFolder.empty())
        m_pUpdate = std::make_unique<CUpdateWebServer>(*m_pWebHost, m_options.updateFolder, &m_log);
    m_log.Emit("listening", {{"role", "web"},
                             {"port", m_pWebHost->HttpPort()},
                             {"https_port", m_pWebHost->HttpsPort()}});
    return true;
}

void CClassroom::Stop() {
    // The pages must not outlive a running host: stop it first, keep them.
    if (m_pWebHost) m_pWebHost->Stop();
    if (m_pRelay) m_pRelay->Stop();
    m_lectern.Stop();
    if (m_pMedia) m_pMedia->StopAll();
    m_bStarted = false;
}

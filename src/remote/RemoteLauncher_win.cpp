#include "remote/RemoteLauncher_win.h"

#include "panel/RHInfo_win.h"
#include "panel/TavrelSession.h"
#include "protocol/Packet.h"
#include "remote/ControlThread_win.h"
#include "remote/InputQueue.h"
#include "remote/ViewThread_win.h"
#include "shell/ProgramMessages.h"
#include "shell/PumpMessages_win.h"

#include <cstring>

namespace {
constexpr DWORD kReadyPollMs = 10;
}

bool CRemoteLauncher::CControlSender::IsOpen() const {
    return m_info.m_nControlThreadId.load() != 0;
}

bool CRemoteLauncher::CControlSender::Send(const CPacket& packet) {
    const DWORD thread = m_info.m_nControlThreadId.load();
    if (thread == 0 || packet.m_nType != kPacketText) return false;
    auto* text = new char16_t[packet.m_strText.size() + 1];
    std::memcpy(text, packet.m_strText.c_str(), (packet.m_strText.size() + 1) * sizeof(char16_t));
    if (::PostThreadMessageW(thread, kWmSendText, reinterpret_cast<WPARAM>(text), 0)) return true;
    delete[] text;  // not handed over
    return false;
}

CRemoteLauncher::CRemoteLauncher(CRHInfo& info) : m_info(info), m_sender(info) {}

CRemoteLauncher::~CRemoteLauncher() { EndAndJoin(0); }

bool CRemoteLauncher::WaitForThreads(DWORD timeoutMs) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        bool running = false;
        for (HANDLE join : m_hJoin)
            if (join != nullptr && ::WaitForSingleObject(join, 0) == WAIT_TIMEOUT) running = true;
        if (!running) return true;
        if (::GetTickCount() - start >= timeoutMs) return false;
        PumpMessages(kReadyPollMs);
    }
}

void CRemoteLauncher::CloseJoins() {
    for (HANDLE& join : m_hJoin) {
        if (join != nullptr) ::CloseHandle(join);
        join = nullptr;
    }
}

bool CRemoteLauncher::Start(HWND mainDialog, CTCPSocket& lectern, bool teacherLinked,
                            CTavrelSession& session) {
    if (!::IsWindow(mainDialog)) return false;
    m_hMainDialog = mainDialog;
    // A session that is still winding down finishes first.
    if (!WaitForThreads(CControlThread::kHandshakeMs)) return false;
    CloseJoins();
    m_info.m_nCommReady = 0;
    m_info.m_nViewReady = 0;
    m_info.m_nGo = 0;
    m_info.m_nConnMode = teacherLinked ? 1 : 0;
    m_info.m_pInput = std::make_shared<CInputQueue>();
    SOCKET lent = INVALID_SOCKET;
    if (teacherLinked && lectern.m_hSocket != INVALID_SOCKET) {
        lectern.SetOwnerWnd(nullptr);
        lent = lectern.Detach();
    }
    auto* control = new CControlThread(m_info, m_hMainDialog, lent);
    auto* view = new CViewThread(m_info);
    const bool controlMade = control->CreateThread() != FALSE;
    const bool viewMade = view->CreateThread() != FALSE;
    if (controlMade) {
        m_hJoin[0] = control->DuplicateJoinHandle();
        m_info.m_nControlThreadId = control->m_nThreadID;
        m_info.m_pControlThread = control;
    } else {
        delete control;
    }
    if (viewMade) {
        m_hJoin[1] = view->DuplicateJoinHandle();
        m_info.m_nViewThreadId = view->m_nThreadID;
        m_info.m_pViewThread = view;
    } else {
        delete view;
    }
    // Without both threads the session cannot run: the one that exists ends at once.
    if (!controlMade || !viewMade) m_info.m_nGo = -1;
    if (controlMade) control->ResumeThread();
    if (viewMade) view->ResumeThread();

    bool started = false;
    if (controlMade && viewMade) {
        const DWORD begin = ::GetTickCount();
        while ((m_info.m_nCommReady.load() == 0 || m_info.m_nViewReady.load() == 0) &&
               m_info.m_nGo.load() == 0 && ::GetTickCount() - begin < CControlThread::kHandshakeMs)
            PumpMessages(kReadyPollMs);
        int expected = 0;
        if (m_info.m_nCommReady.load() != 0 && m_info.m_nViewReady.load() != 0)
            started = m_info.m_nGo.compare_exchange_strong(expected, 1);
    }
    if (!started) {
        int expected = 0;
        m_info.m_nGo.compare_exchange_strong(expected, -1);
        WaitForThreads(CControlThread::kHandshakeMs);
        // The threads never took the connection: it is the dialog's again.
        if (lent != INVALID_SOCKET) {
            lectern.Attach(lent, kAllSocketEvents);
            lectern.SetOwnerWnd(m_hMainDialog);
        }
        m_info.m_pInput.reset();
        m_info.m_nConnMode = -1;
        return false;
    }
    if (m_info.m_nConnMode.load() == 1) session.SetRemoteSender(&m_sender);
    m_info.m_bRemoteOn = 1;
    ::PostThreadMessageW(m_info.m_nControlThreadId.load(), kWmThreadStart, 0, 0);
    ::PostThreadMessageW(m_info.m_nViewThreadId.load(), kWmThreadStart, 0, 0);
    return true;
}

void CRemoteLauncher::Stop() {
    if (const DWORD thread = m_info.m_nViewThreadId.load())
        ::PostThreadMessageW(thread, kWmThreadClose, 0, 0);
}

void CRemoteLauncher::EndAndJoin(DWORD timeoutMs) {
    Stop();
    WaitForThreads(timeoutMs);
    CloseJoins();
}

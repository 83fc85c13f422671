#include "remote/ControlThread_win.h"

#include "panel/RHInfo_win.h"
#include "remote/CommunicationWnd_win.h"
#include "resources/resource.h"
#include "shell/ProgramMessages.h"
#include "shell/TextUtil_win.h"

#include <memory>

namespace {
constexpr DWORD kGoPollMs = 10;
}

bool WaitForGo(std::atomic<int>& go, DWORD timeoutMs) {
    const DWORD start = ::GetTickCount();
    while (go.load() == 0) {
        if (::GetTickCount() - start >= timeoutMs) {
            int expected = 0;
            // Whoever changes it from 0 first decides; the other side reads the
            // decision.
            go.compare_exchange_strong(expected, -1);
            break;
        }
        ::Sleep(kGoPollMs);
    }
    return go.load() == 1;
}

CControlThread::CControlThread(CRHInfo& info, HWND mainDialog, SOCKET lentSocket)
    : m_info(info), m_hMainDialog(mainDialog), m_hLentSocket(lentSocket) {}

BOOL CControlThread::InitInstance() {
    if (!AfxSocketInit()) {
        AfxMessageBox(AfxLoadString(IDS_SOCKETS_INIT_FAILED).c_str(), MB_OK);
        return FALSE;
    }
    auto* window = new CCommunicationWnd(m_info, m_hMainDialog);
    if (!window->CreateHidden()) {
        delete window;
        return FALSE;
    }
    m_pMainWnd = window;
    m_hCommWnd = window->m_hWnd;
    m_info.m_hCommWnd = m_hCommWnd;
    m_info.m_nCommReady = 1;
    // The main dialog waits up to its own bound; this side waits twice as long,
    // so it only decides alone when the main dialog is stuck.
    if (!WaitForGo(m_info.m_nGo, 2 * kHandshakeMs)) {
        ::DestroyWindow(m_hCommWnd);  // the lent socket stays the main dialog's
        return FALSE;
    }
    if (m_info.m_nConnMode.load() == 1 && m_hLentSocket != INVALID_SOCKET)
        window->AttachConnection(m_hLentSocket);
    m_hLentSocket = INVALID_SOCKET;
    if (!window->StartSession()) ::PostMessageW(m_hCommWnd, WM_CLOSE, 0, 0);
    return TRUE;
}

int CControlThread::ExitInstance() {
    // Texts posted to this thread that it never took are freed here.
    MSG message;
    while (::PeekMessageW(&message, nullptr, kWmSendText, kWmSendText, PM_REMOVE))
        delete[] reinterpret_cast<char16_t*>(message.wParam);
    m_info.m_hCommWnd = nullptr;
    m_info.m_nControlThreadId = 0;
    m_info.m_pControlThread = nullptr;
    return CWinThread::ExitInstance();
}

BOOL CControlThread::OnThreadMessage(const MSG& message) {
    switch (message.message) {
        case kWmThreadStart:
            return TRUE;
        case kWmThreadClose:
            if (::IsWindow(m_hCommWnd)) ::SendMessageW(m_hCommWnd, WM_CLOSE, 0, 0);
            return TRUE;
        case kWmSendText: {
            std::unique_ptr<char16_t[]> text(reinterpret_cast<char16_t*>(message.wParam));
            auto* window = static_cast<CCommunicationWnd*>(CWnd::FromHandlePermanent(m_hCommWnd));
            if (text && window != nullptr) window->SendText(std::u16string(text.get()));
            return TRUE;
        }
        case kWmIgnoredNoticeA:
            if (::IsWindow(m_hCommWnd))
                ::SendMessageW(m_hCommWnd, kWmIgnoredNoticeA, message.wParam, message.lParam);
            return TRUE;
        default:
            return FALSE;
    }
}

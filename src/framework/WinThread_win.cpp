#include "framework/WinThread_win.h"

#include <process.h>

CWinThread::~CWinThread() {
    if (m_hThread != nullptr) ::CloseHandle(m_hThread);
}

BOOL CWinThread::CreateThread(DWORD createFlags, int priority) {
    if (m_hThread != nullptr) return FALSE;
    unsigned id = 0;
    // Always made suspended, so the priority is set before any of it runs.
    HANDLE thread = reinterpret_cast<HANDLE>(
        ::_beginthreadex(nullptr, 0, &CWinThread::ThreadMain, this, CREATE_SUSPENDED, &id));
    if (thread == nullptr) return FALSE;
    m_hThread = thread;
    m_nThreadID = id;
    ::SetThreadPriority(thread, priority);
    if ((createFlags & CREATE_SUSPENDED) == 0) ::ResumeThread(thread);
    return TRUE;
}

HANDLE CWinThread::DuplicateJoinHandle() const {
    HANDLE copy = nullptr;
    if (m_hThread == nullptr ||
        !::DuplicateHandle(::GetCurrentProcess(), m_hThread, ::GetCurrentProcess(), &copy,
                           SYNCHRONIZE | THREAD_QUERY_INFORMATION, FALSE, 0))
        return nullptr;
    return copy;
}

int CWinThread::Run() {
    MSG message;
    for (;;) {
        const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
        if (got == 0) {
            m_nExitCode = static_cast<int>(message.wParam);
            break;
        }
        if (got == -1) break;
        if (PreTranslateMessage(&message)) continue;
        if (message.hwnd == nullptr) {
            OnThreadMessage(message);
            continue;
        }
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    return ExitInstance();
}

unsigned __stdcall CWinThread::ThreadMain(void* parameter) {
    auto* thread = static_cast<CWinThread*>(parameter);
    // The thread's message queue, before anything can be posted to it.
    MSG message;
    ::PeekMessageW(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
    const int code = thread->InitInstance() ? thread->Run() : thread->ExitInstance();
    if (thread->m_bAutoDelete) delete thread;
    return static_cast<unsigned>(code);
}

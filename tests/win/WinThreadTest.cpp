// User-interface threads and self-owning frame windows on a real Win32 (Wine).
#include "framework/FrameWnd_win.h"
#include "framework/WinThread_win.h"

#include "TcpTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

namespace {

using tcptest::CEvent;

constexpr DWORD kJoinMs = 20000;
constexpr UINT kNoteA = WM_APP + 1;
constexpr UINT kNoteB = WM_APP + 2;
constexpr UINT kStopHere = WM_APP + 3;  // swallowed by PreTranslateMessage

std::atomic<int> g_nDeleted{0};

// Records what reaches it and in which order; ends on its own quit.
class CRecordingThread : public CWinThread {
  public:
    CRecordingThread(bool initResult, CEvent& started) : m_bInit(initResult), m_started(started) {}
    ~CRecordingThread() override { ++g_nDeleted; }

    BOOL InitInstance() override {
        initRan = true;
        m_started.Set();
        return m_bInit ? TRUE : FALSE;
    }
    int ExitInstance() override {
        exitRan = true;
        // Seen by the test through the exit code: whether ExitInstance ran, and what
        // the quit carried.
        return CWinThread::ExitInstance() + 1000;
    }
    BOOL PreTranslateMessage(MSG* message) override {
        return message->message == kStopHere ? TRUE : FALSE;
    }
    BOOL OnThreadMessage(const MSG& message) override {
        seen.push_back(message.message);
        if (message.message == kNoteB) ::PostQuitMessage(7);
        return TRUE;
    }

    std::atomic<bool> initRan{false};
    std::atomic<bool> exitRan{false};
    std::vector<UINT> seen;  // read by the test only after the thread ended

  private:
    bool m_bInit;
    CEvent& m_started;
};

DWORD ExitCodeAfterJoin(HANDLE join) {
    DWORD code = 0;
    EXPECT_EQ(::WaitForSingleObject(join, kJoinMs), WAIT_OBJECT_0);
    ::GetExitCodeThread(join, &code);
    ::CloseHandle(join);
    return code;
}

TEST(WinThread, SuspendedUntilResumedThenServesThreadMessagesInOrder) {
    CEvent started;
    auto* thread = new CRecordingThread(true, started);
    thread->m_bAutoDelete = FALSE;
    ASSERT_TRUE(thread->CreateThread());
    HANDLE join = thread->DuplicateJoinHandle();
    ASSERT_NE(join, nullptr);
    // Made suspended: nothing of it runs yet.
    EXPECT_FALSE(started.Wait(200));
    EXPECT_FALSE(thread->initRan.load());
    thread->ResumeThread();
    ASSERT_TRUE(started.Wait(kJoinMs));
    EXPECT_TRUE(thread->PostThreadMessage(kNoteA, 0, 0));
    EXPECT_TRUE(thread->PostThreadMessage(kStopHere, 0, 0));
    EXPECT_TRUE(thread->PostThreadMessage(kNoteB, 0, 0));
    EXPECT_EQ(ExitCodeAfterJoin(join), 1007u);
    EXPECT_TRUE(thread->exitRan.load());
    EXPECT_EQ(thread->seen, (std::vector<UINT>{kNoteA, kNoteB}));
    delete thread;
}

TEST(WinThread, FailedStartRunsExitAndAutoDeleteFreesTheObject) {
    const int deletedBefore = g_nDeleted.load();
    CEvent started;
    auto* thread = new CRecordingThread(false, started);
    ASSERT_TRUE(thread->CreateThread(0));  // runs at once
    HANDLE join = thread->DuplicateJoinHandle();
    ASSERT_NE(join, nullptr);
    // The thread may be gone already; only the join handle is used from here on.
    EXPECT_EQ(ExitCodeAfterJoin(join), 1000u);
    EXPECT_EQ(g_nDeleted.load(), deletedBefore + 1);
}

// A frame window that tells when its object goes.
class CCountedFrame : public CFrameWnd {
  public:
    explicit CCountedFrame(std::atomic<int>& deleted) : m_deleted(deleted) {}
    ~CCountedFrame() override { ++m_deleted; }
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == kNoteA) {
            handlerThread = ::GetCurrentThreadId();
            return 1;
        }
        if (message == WM_DESTROY) ::PostQuitMessage(0);
        return CFrameWnd::WindowProc(message, wParam, lParam);
    }
    std::atomic<DWORD> handlerThread{0};

  private:
    std::atomic<int>& m_deleted;
};

// Hosts one frame window; the test drives it through the window's handle only.
class CFrameThread : public CWinThread {
  public:
    CFrameThread(std::atomic<int>& deleted, CEvent& ready, std::atomic<HWND>& window)
        : m_deleted(deleted), m_ready(ready), m_window(window) {}
    BOOL InitInstance() override {
        auto* frame = new CCountedFrame(m_deleted);
        if (!frame->Create(nullptr, L"frame under test", WS_OVERLAPPEDWINDOW)) {
            delete frame;
            return FALSE;
        }
        m_window = frame->m_hWnd;
        m_ready.Set();
        return TRUE;
    }

  private:
    std::atomic<int>& m_deleted;
    CEvent& m_ready;
    std::atomic<HWND>& m_window;
};

TEST(FrameWnd, LivesOnItsThreadAndDeletesItselfWhenClosed) {
    std::atomic<int> deleted{0};
    std::atomic<HWND> window{nullptr};
    CEvent ready;
    auto* thread = new CFrameThread(deleted, ready, window);
    ASSERT_TRUE(thread->CreateThread());
    HANDLE join = thread->DuplicateJoinHandle();
    const DWORD threadId = thread->m_nThreadID;
    thread->ResumeThread();
    ASSERT_TRUE(ready.Wait(kJoinMs));
    HWND hwnd = window.load();
    ASSERT_TRUE(::IsWindow(hwnd));
    EXPECT_EQ(::GetWindowThreadProcessId(hwnd, nullptr), threadId);
    // A message sent from here is handled on the window's own thread.
    EXPECT_EQ(::SendMessageW(hwnd, kNoteA, 0, 0), 1);
    // Closing destroys the window, which deletes the object and ends the loop.
    ::PostMessageW(hwnd, WM_CLOSE, 0, 0);
    EXPECT_EQ(ExitCodeAfterJoin(join), 0u);
    EXPECT_FALSE(::IsWindow(hwnd));
    EXPECT_EQ(deleted.load(), 1);
}

TEST(FrameWnd, OneClassPerSetOfAttributes) {
    HCURSOR arrow = ::LoadCursorW(nullptr, IDC_ARROW);
    const wchar_t* plain = AfxRegisterWndClass(0);
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(AfxRegisterWndClass(0), plain);
    const wchar_t* withCursor = AfxRegisterWndClass(0, arrow);
    ASSERT_NE(withCursor, nullptr);
    EXPECT_STRNE(withCursor, plain);
    EXPECT_STRNE(AfxRegisterWndClass(CS_DBLCLKS), plain);
    WNDCLASSEXW info{};
    info.cbSize = sizeof(info);
    ASSERT_TRUE(::GetClassInfoExW(AfxGetInstanceHandle(), withCursor, &info));
    EXPECT_EQ(info.hCursor, arrow);
}

}  // namespace

#include "remote/CommunicationWnd_win.h"

#include "panel/RHInfo_win.h"
#include "protocol/Packet.h"
#include "protocol/PeerContract.h"
#include "protocol/TextCommand.h"
#include "remote/InputQueue.h"
#include "remote/MonitorRequest.h"
#include "remote/ReceiveDispatch_win.h"
#include "remote/RemoteDispatch.h"
#include "resources/resource.h"
#include "shell/ProgramMessages.h"
#include "shell/TextUtil_win.h"

#include <process.h>

namespace {

constexpr DWORD kCommStyle = 0x02CC0000;  // caption, system menu, thick frame, clip children
constexpr int kCommSize = 10;
constexpr UINT kSendPeriodMs = 10;
constexpr UINT kKeepAlivePeriodMs = 10000;
// How long the shutdown waits for the worker threads to finish their turn.
constexpr DWORD kWorkerJoinMs = 5000;

// The pump thread: makes the window drain the viewer's input about every
// millisecond until the window closes. It holds nothing but the handle and the
// shared flags.
struct PumpContext {
    HWND comm;
    std::shared_ptr<CCommChannel> channel;
};

unsigned __stdcall PumpThreadMain(void* parameter) {
    std::unique_ptr<PumpContext> context(static_cast<PumpContext*>(parameter));
    while (::IsWindow(context->comm) && !context->channel->closing.load()) {
        ::SendMessageW(context->comm, kWmDrainInput, 0, 0);
        ::Sleep(1);
    }
    return 0;
}

// Waits for the threads to end while serving the messages sent to this thread,
// so a worker halfway through a synchronous message to the window can finish.
void JoinPumping(HANDLE* threads, DWORD count, DWORD timeoutMs) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        DWORD running = 0;
        HANDLE waiting[2];
        for (DWORD i = 0; i < count; ++i)
            if (threads[i] != nullptr && ::WaitForSingleObject(threads[i], 0) == WAIT_TIMEOUT)
                waiting[running++] = threads[i];
        const DWORD elapsed = ::GetTickCount() - start;
        if (running == 0 || elapsed >= timeoutMs) return;
        ::MsgWaitForMultipleObjects(running, waiting, FALSE, timeoutMs - elapsed, QS_SENDMESSAGE);
        MSG msg;
        // Only sent messages are served here (PeekMessage with no filter hits match
        // nothing posted): the window's posted messages wait for its own loop.
        ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

void CloseThreadHandle(HANDLE& thread) {
    if (thread != nullptr) ::CloseHandle(thread);
    thread = nullptr;
}

}  // namespace

// ---------------------------------------------------------------- channel

CCommChannel::CCommChannel() : m_hArrived(::CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}

CCommChannel::~CCommChannel() {
    if (m_hArrived != nullptr) ::CloseHandle(m_hArrived);
}

bool CCommChannel::Push(std::unique_ptr<CPacket> packet) {
    const size_t size = packet->m_vData.size() + packet->m_strText.size() * 2 + sizeof(CPacket);
    {
        std::lock_guard<std::mutex> hold(m_lock);
        if (m_nBytes + size > kMaxQueuedBytes) return false;
        m_nBytes += size;
        m_queue.push_back(std::move(packet));
    }
    ::SetEvent(m_hArrived);
    return true;
}

std::unique_ptr<CPacket> CCommChannel::Pop(unsigned waitMs) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        {
            std::lock_guard<std::mutex> hold(m_lock);
            if (!m_queue.empty()) {
                std::unique_ptr<CPacket> packet = std::move(m_queue.front());
                m_queue.pop_front();
                m_nBytes -= packet->m_vData.size() + packet->m_strText.size() * 2 + sizeof(CPacket);
                return packet;
            }
        }
        const DWORD elapsed = ::GetTickCount() - start;
        if (elapsed >= waitMs) return nullptr;
        // The signal may be left over from a push whose packet an earlier pop already
        // took: then the queue is still empty and the wait goes on for the rest.
        ::WaitForSingleObject(m_hArrived, waitMs - elapsed);
    }
}

void CCommChannel::Clear() {
    std::lock_guard<std::mutex> hold(m_lock);
    m_queue.clear();
    m_nBytes = 0;
}

// ---------------------------------------------------------------- window

CCommunicationWnd::CCommunicationWnd(CRHInfo& info, HWND mainDialog)
    : m_info(info),
      m_hMainDialog(mainDialog),
      m_pChannel(std::make_shared<CCommChannel>()),
      m_pInput(info.m_pInput) {}

CCommunicationWnd::~CCommunicationWnd() {
    // The workers were joined by the shutdown; handles of workers that did not
    // end in time are let go here (they hold only the shared channel and a
    // handle).
    CloseThreadHandle(m_hReceiveThread);
    CloseThreadHandle(m_hPumpThread);
}

BOOL CCommunicationWnd::CreateHidden() {
    const std::wstring caption = m_info.m_strName + L", Comm";
    const RECT place{0, 0, kCommSize, kCommSize};
    if (!Create(AfxRegisterWndClass(0), caption.c_str(), kCommStyle, place)) return FALSE;
    HICON icon = ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME));
    ::SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    ::SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    return TRUE;
}

void CCommunicationWnd::AttachConnection(SOCKET handle) {
    m_socket.Attach(handle, kAllSocketEvents);
    m_socket.SetOwnerWnd(m_hWnd);
}

bool CCommunicationWnd::StartSession() {
    auto* pump = new PumpContext{m_hWnd, m_pChannel};
    m_hPumpThread =
        reinterpret_cast<HANDLE>(::_beginthreadex(nullptr, 0, PumpThreadMain, pump, 0, nullptr));
    if (m_hPumpThread == nullptr) {
        delete pump;  // not handed over
        return false;
    }
    m_hReceiveThread = StartReceiveDispatch(m_pChannel, m_info, m_hWnd, m_hMainDialog);
    if (m_hReceiveThread == nullptr) return false;
    ::SetTimer(m_hWnd, kTimerRemoteSend, kSendPeriodMs, nullptr);
    SendText(kCmdRemoteStart);
    ::SetTimer(m_hWnd, kTimerKeepAlive, kKeepAlivePeriodMs, nullptr);
    return true;
}

// ---------------------------------------------------------------- sending

void CCommunicationWnd::SendText(const std::u16string& text) {
    SendByRule(std::make_unique<CPacket>(text));
}

void CCommunicationWnd::SendByRule(std::unique_ptr<CPacket> packet) {
    if (m_info.m_nConnMode.load() == 1) {
        if (m_socket.m_hSocket == INVALID_SOCKET) return;  // discarded
        ::SendPacket(m_socket, *packet);
        // A frame that could not be written closed the connection; no close notice
        // follows, so the loss is reported here.
        if (m_socket.m_hSocket == INVALID_SOCKET) ConnectionLost();
        return;
    }
    // The main dialog sends it on its own connection and frees it.
    CPacket* handed = packet.release();
    if (!::PostMessageW(m_hMainDialog, kWmSendPacketRequest, reinterpret_cast<WPARAM>(handed), 0))
        delete handed;
}

void CCommunicationWnd::OnSendTimer() {
    ::KillTimer(m_hWnd, kTimerRemoteSend);
    while (std::unique_ptr<CPacket> packet = m_pInput->TakeNextPacket())
        SendByRule(std::move(packet));
    // The period counts from the end of each drain, so a slow send never piles
    // timers up.
    if (!m_pChannel->closing.load()) ::SetTimer(m_hWnd, kTimerRemoteSend, kSendPeriodMs, nullptr);
}

// ---------------------------------------------------------------- receiving

void CCommunicationWnd::OnReceive() {
    // From closing on nothing is read: what the lectern PC sends now stays in the
    // connection and reaches the main dialog once the connection is back there.
    if (m_info.m_nConnMode.load() != 1 || m_pChannel->closing.load() || m_bLost) return;
    auto packet = std::make_unique<CPacket>();
    ::ReceivePacket(m_socket, *packet);
    if (packet->m_nType == kPacketEmpty) {
        // A failed read closed the connection without a close notice.
        if (m_socket.m_hSocket == INVALID_SOCKET) ConnectionLost();
        return;
    }
    if (!m_pChannel->Push(std::move(packet))) ConnectionLost();
}

void CCommunicationWnd::ConnectionLost() {
    if (m_bLost) return;
    m_bLost = true;
    m_info.m_nConnMode = 0;
    if (m_socket.m_hSocket != INVALID_SOCKET) m_socket.Close();
    ::InvalidateRect(m_hMainDialog, nullptr, FALSE);
    HWND viewer = m_info.m_hViewWnd.load();
    if (viewer != nullptr && ::IsWindow(viewer)) {
        ::PostMessageW(viewer, WM_CLOSE, 0, 0);
    } else {
        ::PostMessageW(m_hWnd, WM_CLOSE, 0, 0);
    }
    ::PostMessageW(m_hMainDialog, kWmRemoteConnectionLost, 0, 0);
}

// ---------------------------------------------------------------- display and
// monitors

void CCommunicationWnd::OnDisplayChange() {
    const int width = ::GetSystemMetrics(SM_CXSCREEN);
    const int height = ::GetSystemMetrics(SM_CYSCREEN);
    SendText(MakeCommand(kCmdPadScreenSize, {DecimalText(width), DecimalText(height)}));
    const DisplayChangeGeometry geometry = GeometryAfterDisplayChange(m_info, width, height);
    if (geometry.changeTiles) {
        m_info.m_nTileWidth = geometry.tileWidth;
        m_info.m_nTileHeight = geometry.tileHeight;
    }
    if (geometry.recreateFrame) {
        ::EnterCriticalSection(&m_info.m_csFrame);
        const bool differs =
            m_info.m_bmFrame.m_nWidth != width || m_info.m_bmFrame.m_nHeight != height;
        ::LeaveCriticalSection(&m_info.m_csFrame);
        if (differs) m_info.RecreateFrame(width, height);
    }
}

void CCommunicationWnd::OnMonitorRequest(WPARAM wParam, LPARAM lParam) {
    int monitor = 0;
    if (NextMonitorRequest(m_info.m_nMonitorCount, m_info.m_nMonitor, static_cast<uint32_t>(wParam),
                           static_cast<int>(lParam), monitor))
        SendText(MakeCommand(kCmdSelectMonitor, {DecimalText(monitor)}));
}

// ---------------------------------------------------------------- the end

void CCommunicationWnd::OnClose() {
    ::KillTimer(m_hWnd, kTimerRemoteSend);
    if (!m_bShutDown) {
        SendText(kCmdRemoteEnd);
        m_pChannel->closing = true;
        // Only the close is of interest from now on; the unread bytes are the main
        // dialog's once the connection is back there.
        if (m_socket.m_hSocket != INVALID_SOCKET) m_socket.AsyncSelect(FD_CLOSE);
    }
    Shutdown();
}

void CCommunicationWnd::StopWorkers() {
    m_pChannel->running = false;
    m_pChannel->closing = true;
    HANDLE threads[2] = {m_hReceiveThread, m_hPumpThread};
    JoinPumping(threads, 2, kWorkerJoinMs);
    CloseThreadHandle(m_hReceiveThread);
    CloseThreadHandle(m_hPumpThread);
}

void CCommunicationWnd::Shutdown() {
    if (m_bShutDown) return;
    m_bShutDown = true;
    StopWorkers();
    if (m_info.m_nConnMode.load() == 1 && m_socket.m_hSocket != INVALID_SOCKET) {
        m_socket.SetOwnerWnd(nullptr);
        const SOCKET handle = m_socket.Detach();
        // Handed back, or closed when there is nobody to take it.
        if (!::IsWindow(m_hMainDialog) ||
            ::SendMessageW(m_hMainDialog, kWmSocketHandedBack, reinterpret_cast<WPARAM>(&m_info),
                           static_cast<LPARAM>(handle)) != kSocketTakenBack)
            ::closesocket(handle);
    }
    m_info.m_hCommWnd = nullptr;
    m_info.m_bRemoteOn = 0;
    ::PostQuitMessage(0);
    ::DestroyWindow(m_hWnd);
}

LRESULT CCommunicationWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CLOSE:
            OnClose();
            return 1;
        case kWmSocketReceive:
            OnReceive();
            return 1;
        case kWmSocketClosed:
            ConnectionLost();
            return 1;
        case kWmDrainInput:
            m_pInput->Drain(m_pChannel->closing.load());
            return 1;
        case kWmAcknowledgeFrame:
            // A frame the receive thread finishes while the window closes is not
            // acknowledged: nothing may follow "[RC00005]", or the lectern PC would send
            // its next frame to the main dialog.
            if (!m_pChannel->closing.load())
                SendText(MakeCommand(kCmdFrameAck, {DecimalText(static_cast<int>(lParam))}));
            return 1;
        case kWmSendInputModeKey:
            SendText(kCmdInputModeToggle);
            return 1;
        case kWmSendTypedChar:
            SendText(MakeCommand(kCmdTypedChar, {DecimalText(static_cast<int>(wParam))}));
            return DefWindowProc(message, wParam, lParam);
        case kWmChangeMonitor:
            OnMonitorRequest(wParam, lParam);
            return 1;
        case kWmIgnoredNoticeA:
            if (HWND viewer = m_info.m_hViewWnd.load()) ::PostMessageW(viewer, WM_CLOSE, 0, 0);
            return 1;
        case WM_TIMER:
            if (wParam == kTimerRemoteSend) OnSendTimer();
            if (wParam == kTimerKeepAlive) SendText(kCmdKeepAlive);
            return DefWindowProc(message, wParam, lParam);
        case WM_DISPLAYCHANGE:
            OnDisplayChange();
            return 1;
        case WM_DESTROY:
            m_pChannel->Clear();
            m_pInput->Clear();
            return CFrameWnd::WindowProc(message, wParam, lParam);
        default:
            return CFrameWnd::WindowProc(message, wParam, lParam);
    }
}

// CCommunicationWnd: the hidden window that carries a remote-control session's
// traffic on the control thread. It owns the lectern PC's connection while the
// session runs (the main dialog lends it), sends what the viewer and the
// receiving thread ask for, and feeds what arrives to the receive-dispatch
// thread. Its two workers (the receive-dispatch thread and the input pump) hold
// only the window's handle and a shared channel, never the window object, so
// the window may go while they finish.
#pragma once

#include "connection/TCPSocket_win.h"
#include "framework/FrameWnd_win.h"

#include <atomic>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

class CRHInfo;
class CPacket;
class CInputQueue;

// What the window shares with its worker threads. Held by shared pointers, so
// it lives as long as the last of them.
class CCommChannel {
  public:
    CCommChannel();
    ~CCommChannel();
    CCommChannel(const CCommChannel&) = delete;
    CCommChannel& operator=(const CCommChannel&) = delete;

    // Appends a received packet; false when the queue already holds more than it
    // may (a peer flooding the pad, or a receiver that stopped): the packet is
    // dropped then.
    bool Push(std::unique_ptr<CPacket> packet);
    // The oldest packet, or null; waits up to the given time for one to arrive.
    std::unique_ptr<CPacket> Pop(unsigned waitMs);
    void Clear();

    // Bytes the receive queue may hold before the connection counts as lost.
    static constexpr size_t kMaxQueuedBytes = 64u * 1024 * 1024;

    std::atomic<bool> running{true};
    std::atomic<bool> closing{false};

  private:
    std::mutex m_lock;
    std::deque<std::unique_ptr<CPacket>> m_queue;
    size_t m_nBytes = 0;
    HANDLE m_hArrived = nullptr;
};

class CCommunicationWnd : public CFrameWnd {
  public:
    CCommunicationWnd(CRHInfo& info, HWND mainDialog);
    ~CCommunicationWnd() override;

    // The hidden window: caption "<name>, Comm", never shown, 10 x 10 at (0, 0).
    BOOL CreateHidden();
    // Takes over the lectern PC's connection (the session's connection mode is
    // 1).
    void AttachConnection(SOCKET handle);
    // Starts the session: the worker threads, the send timer, "[RC00004]" and the
    // keep-alive. False when a worker could not be started.
    bool StartSession();
    // Sends a text command the session's way: on the connection in mode 1, else
    // through the main dialog.
    void SendText(const std::u16string& text);

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

  private:
    void SendByRule(std::unique_ptr<CPacket> packet);
    void OnReceive();
    void OnSendTimer();
    void OnDisplayChange();
    void OnMonitorRequest(WPARAM wParam, LPARAM lParam);
    void OnClose();
    void ConnectionLost();
    void Shutdown();
    void StopWorkers();

    CRHInfo& m_info;
    HWND m_hMainDialog;
    CTCPSocket m_socket;
    std::shared_ptr<CCommChannel> m_pChannel;
    std::shared_ptr<CInputQueue> m_pInput;
    HANDLE m_hReceiveThread = nullptr;
    HANDLE m_hPumpThread = nullptr;
    bool m_bShutDown = false;
    bool m_bLost = false;
};

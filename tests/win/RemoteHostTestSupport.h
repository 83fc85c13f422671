// Shared by the remote host tests: the main dialog's stand-in, the session's threads
// started as the launcher starts them, a lectern PC on a loopback connection, a
// placeable frame and the process's committed memory.
#pragma once

#include "panel/RHInfo_win.h"
#include "remote/ControlThread_win.h"
#include "remote/FrameBlock.h"
#include "remote/InputQueue.h"
#include "shell/ProgramMessages.h"

#include "TcpTestSupport.h"

#include <zlib.h>

#include <cstring>

namespace remotehosttest {

using namespace tcptest;

// The main dialog's side: a message-only window on the test thread. It takes the
// packets handed to it and frees them, as the real one does, and answers for the
// lent connection as told.
class CMainDialogStub {
  public:
    CMainDialogStub() {
        WNDCLASSW wc{};
        wc.lpfnWndProc = &CMainDialogStub::WndProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"RemoteHostTestMainDialog";
        RegisterClassW(&wc);
        m_hWnd = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 wc.hInstance, nullptr);
        SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~CMainDialogStub() { DestroyWindow(m_hWnd); }

    std::vector<std::u16string> Texts() const {
        std::vector<std::u16string> texts;
        for (const CPacket& p : packets)
            if (p.m_nType == kPacketText) texts.push_back(p.m_strText);
        return texts;
    }
    size_t Count(const std::u16string& text) const {
        size_t n = 0;
        for (const std::u16string& t : Texts()) n += t == text;
        return n;
    }

    HWND m_hWnd = nullptr;
    LRESULT answer = kSocketTakenBack;  // to kWmSocketHandedBack
    std::vector<CPacket> packets;       // handed over with kWmSendPacketRequest
    std::vector<SOCKET> handedBack;
    int connectionLost = 0;

  private:
    static LRESULT CALLBACK WndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<CMainDialogStub*>(GetWindowLongPtrW(hWnd, GWLP_USERDATA));
        if (self == nullptr) return DefWindowProcW(hWnd, message, wParam, lParam);
        switch (message) {
            case kWmSendPacketRequest: {
                std::unique_ptr<CPacket> packet(reinterpret_cast<CPacket*>(wParam));
                if (packet) self->packets.push_back(*packet);
                return 0;
            }
            case kWmSocketHandedBack:
                self->handedBack.push_back(static_cast<SOCKET>(lParam));
                return self->answer;
            case kWmRemoteConnectionLost:
                ++self->connectionLost;
                return 0;
            default:
                return DefWindowProcW(hWnd, message, wParam, lParam);
        }
    }
};

// The record as the launcher prepares it, with the go already given.
inline CRHInfo& Prepared(CRHInfo& info) {
    info.m_pInput = std::make_shared<CInputQueue>();
    info.m_nGo = 1;
    info.m_bRemoteOn = 1;
    return info;
}

// One of the session's threads, started as the launcher starts it and ended (and
// waited for) at the latest when the object goes.
class CHostThread {
  public:
    explicit CHostThread(CWinThread* thread) {
        if (!thread->CreateThread()) {
            delete thread;
            return;
        }
        m_hJoin = thread->DuplicateJoinHandle();
        m_nThreadId = thread->m_nThreadID;
        thread->ResumeThread();  // auto-deleting: not touched from here on
    }
    ~CHostThread() {
        if (m_hJoin == nullptr) return;
        PumpUntil([&] {
            if (Ended()) return true;
            PostThreadMessageW(m_nThreadId, kWmThreadClose, 0, 0);
            return false;
        });
        CloseHandle(m_hJoin);
    }
    bool Running() const { return m_hJoin != nullptr; }
    bool Ended() const { return WaitForSingleObject(m_hJoin, 0) == WAIT_OBJECT_0; }
    // Waits, serving the messages the thread sends to the main dialog.
    bool WaitEnded() {
        return PumpUntil([&] { return Ended(); });
    }
    DWORD ThreadId() const { return m_nThreadId; }
    // Posts a text the way the launcher does: a heap copy the control thread frees.
    bool PostText(const std::u16string& text) {
        auto* copy = new char16_t[text.size() + 1];
        std::memcpy(copy, text.c_str(), (text.size() + 1) * sizeof(char16_t));
        if (PostThreadMessageW(m_nThreadId, kWmSendText, reinterpret_cast<WPARAM>(copy), 0))
            return true;
        delete[] copy;
        return false;
    }

  private:
    HANDLE m_hJoin = nullptr;
    DWORD m_nThreadId = 0;
};

class CControlSession : public CHostThread {
  public:
    CControlSession(CRHInfo& info, HWND mainDialog, SOCKET lent = INVALID_SOCKET)
        : CHostThread(new CControlThread(Prepared(info), mainDialog, lent)) {}
};

// A connected loopback pair: `ours` is lent to the session, `peer` plays the lectern
// PC with plain blocking calls; a thread reads every frame arriving on it.
class CLecternPair {
  public:
    CLecternPair() {
        UINT port = 0;
        const SOCKET listener = PlainListener(port);
        ours = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(static_cast<u_short>(port));
        connect(ours, reinterpret_cast<sockaddr*>(&a), sizeof a);
        peer = accept(listener, nullptr, nullptr);
        closesocket(listener);
        m_reader = std::thread([this] {
            CBlockingConnection connection(peer);
            for (;;) {
                CPacket packet;
                if (!ReadFrame(packet, connection)) break;
                std::lock_guard<std::mutex> hold(m_lock);
                m_read.push_back(packet.m_strText);
            }
            m_bEnded = true;  // the other end closed (or the guard ran out)
        });
    }
    ~CLecternPair() {
        if (m_bOursOpen) closesocket(ours);
        m_reader.join();
        closesocket(peer);
    }
    std::vector<std::u16string> Read() const {
        std::lock_guard<std::mutex> hold(m_lock);
        return m_read;
    }
    bool WaitRead(size_t count) {
        return PumpUntil([&] { return Read().size() >= count; });
    }
    bool WaitEnded() {
        return PumpUntil([&] { return m_bEnded.load(); });
    }
    void Send(const CPacket& packet) {
        const std::vector<uint8_t> frame = FrameBytes(packet);
        SendBytes(peer, frame.data(), frame.size());
    }
    // The session closed `ours`: the test must not close the handle again.
    void OursClosedElsewhere() { m_bOursOpen = false; }

    SOCKET ours = INVALID_SOCKET;
    SOCKET peer = INVALID_SOCKET;

  private:
    mutable std::mutex m_lock;
    std::vector<std::u16string> m_read;
    std::atomic<bool> m_bEnded{false};
    bool m_bOursOpen = true;
    std::thread m_reader;
};

// Private memory committed in the process: what a leak of large blocks shows in.
inline size_t CommittedPrivateBytes() {
    size_t total = 0;
    MEMORY_BASIC_INFORMATION m{};
    uintptr_t at = 0;
    while (VirtualQuery(reinterpret_cast<void*>(at), &m, sizeof m) == sizeof m) {
        if (m.State == MEM_COMMIT && m.Type == MEM_PRIVATE) total += m.RegionSize;
        const uintptr_t next = reinterpret_cast<uintptr_t>(m.BaseAddress) + m.RegionSize;
        if (next <= at) break;
        at = next;
    }
    return total;
}

// A frame the applier can place once a tiling is known: one tile, index 0, whose
// picture does not decode (it is placed black).
inline CPacket PlaceableFrame(int number) {
    const int32_t index = 0;
    const std::vector<uint8_t> image(32, 0xAB);
    std::vector<uint8_t> block;
    AppendFrameBlock(block, &index, 1, image.data(), image.size());
    uLongf size = compressBound(static_cast<uLong>(block.size()));
    std::vector<uint8_t> z(size);
    compress2(z.data(), &size, block.data(), static_cast<uLong>(block.size()), 1);
    return CPacket(static_cast<uint32_t>(size), z.data(), static_cast<int32_t>(block.size()),
                   number);
}

}  // namespace remotehosttest

// CSocketLink: one of the program's TCP connections as the session sees it. The socket
// itself stays a member of its owner window, whose thread receives its notices.
#pragma once

#include "connection/TCPSocket_win.h"
#include "panel/SessionHost.h"

class CSocketLink : public ISessionLink {
  public:
    explicit CSocketLink(CTCPSocket& socket) : m_socket(socket) {}

    // The window that receives the connection's notices once it connects.
    void SetOwner(HWND owner) { m_hOwner = owner; }

    bool IsOpen() const override;
    bool Send(const CPacket& packet) override;
    bool Connect(const std::u16string& address, uint16_t port) override;
    void Close() override;
    std::u16string LocalPort() const override;

  private:
    CTCPSocket& m_socket;
    HWND m_hOwner = nullptr;
};

#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "protocol/Connection.h"

class CPacket;

// One TCP connection of the classroom, over a plain POSIX socket in blocking mode.
// Frames are read by one thread only (the connection's own); sends may come from
// several threads (answers, heartbeats, frame streams) and are serialised here so
// that frames never interleave.
class CSocketConnection : public IConnection {
  public:
    explicit CSocketConnection(int fd);
    ~CSocketConnection() override;
    CSocketConnection(const CSocketConnection&) = delete;
    CSocketConnection& operator=(const CSocketConnection&) = delete;

    // Connects to 127.0.0.1:port (for tests and tools); null on failure.
    static CSocketConnection* ConnectLoopback(uint16_t port);

    int ReceiveExactly(uint8_t* buffer, int count) override;
    int SendPiece(const uint8_t* buffer, int count) override;
    // Shuts the socket down in both directions: a blocked receive returns at once.
    // The descriptor itself is released with the object, so it cannot be reused
    // under a thread that still holds it.
    void CloseConnection() override;

    // Writes one frame, whole, under the send lock. False when it could not be sent.
    bool SendFrame(const CPacket& packet);
    // Writes bytes as they are, under the send lock (for deliberately broken frames).
    bool SendRaw(const uint8_t* data, size_t size);
    bool SendRaw(const std::vector<uint8_t>& data) { return SendRaw(data.data(), data.size()); }

    bool IsClosed() const { return m_bClosed.load(); }
    // Address and port of the other side, and our own port.
    std::string PeerAddress() const;
    uint16_t PeerPort() const;
    uint16_t LocalPort() const;
    int Descriptor() const { return m_fd; }

  private:
    int m_fd;
    std::atomic<bool> m_bClosed{false};
    std::mutex m_sendMutex;
};

#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "SocketConnection.h"
#include "protocol/Packet.h"

// The pad's side of a connection, for tests: frames over a real loopback socket,
// read with a time limit so that silence can be observed.
class CPadClient {
  public:
    enum class ReadResult { kPacket, kSilence, kFailed };

    // Connects to 127.0.0.1:port; Connected() tells whether it worked.
    explicit CPadClient(uint16_t port);
    bool Connected() const { return m_pConnection != nullptr; }

    bool Send(const std::u16string& text);
    bool Send(const CPacket& packet);
    // Reads one frame, waiting at most timeout for it to begin.
    ReadResult Read(CPacket& packet, std::chrono::milliseconds timeout);
    // Reads until a text command with this code arrives (other packets are skipped);
    // its argument text, or nothing on silence or failure.
    std::optional<std::u16string> ReadCommand(const std::u16string& code,
                                              std::chrono::milliseconds timeout);
    // Reads until a packet of this type arrives.
    std::optional<CPacket> ReadType(uint8_t type, std::chrono::milliseconds timeout);
    // Reads until the connection fails or ends; true when it did within the timeout.
    bool ReadUntilClosed(std::chrono::milliseconds timeout);
    // True when nothing at all arrives for the whole period (the connection stays up).
    bool StaysSilent(std::chrono::milliseconds period);
    uint16_t LocalPort() const { return m_pConnection ? m_pConnection->LocalPort() : 0; }
    void Close() {
        if (m_pConnection) m_pConnection->CloseConnection();
    }

  private:
    bool WaitReadable(std::chrono::milliseconds timeout);

    std::unique_ptr<CSocketConnection> m_pConnection;
};

// Generous limits: long enough never to fail on a loaded machine, short enough for
// a test that is waiting for something that will not come.
constexpr std::chrono::milliseconds kLongWait{10000};
constexpr std::chrono::milliseconds kQuietPeriod{400};

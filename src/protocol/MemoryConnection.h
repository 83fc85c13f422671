#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "protocol/Connection.h"

// A connection over memory: receives from a byte sequence given in advance and
// collects what is sent. For tests, benchmarks, fuzzing and the substitute peer.
class CMemoryConnection : public IConnection {
  public:
    CMemoryConnection() = default;
    CMemoryConnection(const uint8_t* data, size_t size) { SetInput(data, size); }

    // Bytes that later receives will deliver, replacing what was left.
    void SetInput(const uint8_t* data, size_t size);
    // Hands what was sent so far over as input (for a write-then-read round trip).
    void Loopback();

    int ReceiveExactly(uint8_t* buffer, int count) override;
    int SendPiece(const uint8_t* buffer, int count) override;
    void CloseConnection() override { m_bClosed = true; }

    bool IsClosed() const { return m_bClosed; }
    const std::vector<uint8_t>& Sent() const { return m_vSent; }
    // Sizes of the pieces offered so far.
    const std::vector<int>& PieceSizes() const { return m_vPieceSizes; }
    size_t UnreadBytes() const { return m_vInput.size() - m_nReadPos; }
    void Reset();

  private:
    std::vector<uint8_t> m_vInput;
    size_t m_nReadPos = 0;
    std::vector<uint8_t> m_vSent;
    std::vector<int> m_vPieceSizes;
    bool m_bClosed = false;
};

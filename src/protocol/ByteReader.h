#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class IConnection;

// Reads little-endian fields from a span of bytes: either a span in memory, or the
// rest of one frame still on a connection. Every read checks what is left of the
// span first, so a length taken from the data can never lead past it or into an
// allocation larger than it.
//
// Over a connection the reader receives a small window at a time and reads large
// byte blocks straight into their destination, so a big image is received once and
// never copied again. It never receives beyond the frame.
class CByteReader {
  public:
    CByteReader(const uint8_t* data, size_t size) : m_pData(data), m_nSize(size) {}
    // The next frameBytes bytes of the connection.
    CByteReader(IConnection& source, size_t frameBytes);

    CByteReader(const CByteReader&) = delete;
    CByteReader& operator=(const CByteReader&) = delete;

    // Bytes of the span not yet read (received or not).
    size_t Remaining() const { return Buffered() + m_nUnreceived; }

    // A pointer to the next n bytes, or null when fewer remain or the connection failed.
    const uint8_t* Take(size_t n) {
        if (n > Buffered() && !Fill(n)) return nullptr;
        const uint8_t* p = m_pData + m_nPos;
        m_nPos += n;
        return p;
    }

    bool ReadU8(uint8_t& value) {
        const uint8_t* p = Take(1);
        if (!p) return false;
        value = p[0];
        return true;
    }

    bool ReadU16(uint16_t& value) {
        const uint8_t* p = Take(2);
        if (!p) return false;
        value = uint16_t(p[0] | p[1] << 8);
        return true;
    }

    bool ReadI16(int16_t& value) {
        uint16_t raw;
        if (!ReadU16(raw)) return false;
        value = int16_t(raw);
        return true;
    }

    bool ReadU32(uint32_t& value) {
        const uint8_t* p = Take(4);
        if (!p) return false;
        value = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
        return true;
    }

    bool ReadI32(int32_t& value) {
        uint32_t raw;
        if (!ReadU32(raw)) return false;
        value = int32_t(raw);
        return true;
    }

    // n bytes into out (replacing its contents); false when fewer remain.
    bool ReadBytes(size_t n, std::vector<uint8_t>& out);

    // Consumes whatever is left of the span (bytes after the payload).
    bool SkipRest();

  private:
    // Bytes of the connection's frame received per window refill, at least.
    static constexpr size_t kWindowSize = 512;
    // Large blocks are received (and their memory touched) this much at a time.
    static constexpr size_t kReceiveChunk = 1024 * 1024;

    size_t Buffered() const { return m_nSize - m_nPos; }
    // Makes at least n bytes contiguous in the window.
    bool Fill(size_t n);
    bool Receive(uint8_t* buffer, size_t n);
    bool ReceiveAppend(std::vector<uint8_t>& out, size_t n);

    const uint8_t* m_pData;
    size_t m_nSize;
    size_t m_nPos = 0;
    IConnection* m_pSource = nullptr;
    size_t m_nUnreceived = 0;
    std::vector<uint8_t> m_vWindow;
};

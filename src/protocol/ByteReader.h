#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Reads little-endian fields from a span of received bytes. Every read checks what
// is left first, so a length taken from the data can never lead past the span or
// into an allocation larger than the span.
class CByteReader {
  public:
    CByteReader(const uint8_t* data, size_t size) : m_pData(data), m_nSize(size) {}

    size_t Remaining() const { return m_nSize - m_nPos; }

    // The next n bytes, or null (position unchanged) when fewer remain.
    const uint8_t* Take(size_t n) {
        if (n > Remaining()) return nullptr;
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
    bool ReadBytes(size_t n, std::vector<uint8_t>& out) {
        const uint8_t* p = Take(n);
        if (!p) return false;
        out.assign(p, p + n);
        return true;
    }

  private:
    const uint8_t* m_pData;
    size_t m_nSize;
    size_t m_nPos = 0;
};

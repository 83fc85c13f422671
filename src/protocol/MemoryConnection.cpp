#include "protocol/MemoryConnection.h"

#include <cstring>

void CMemoryConnection::SetInput(const uint8_t* data, size_t size) {
    m_vInput.assign(data, data + size);
    m_nReadPos = 0;
}

void CMemoryConnection::Loopback() {
    m_vInput.swap(m_vSent);
    m_vSent.clear();
    m_nReadPos = 0;
    m_vPieceSizes.clear();
}

int CMemoryConnection::ReceiveExactly(uint8_t* buffer, int count) {
    if (m_bClosed || count < 0 || size_t(count) > UnreadBytes()) return -1;
    if (count == 0) return 0;
    std::memcpy(buffer, m_vInput.data() + m_nReadPos, size_t(count));
    m_nReadPos += size_t(count);
    return count;
}

int CMemoryConnection::SendPiece(const uint8_t* buffer, int count) {
    if (m_bClosed || count < 0) return -1;
    m_vSent.insert(m_vSent.end(), buffer, buffer + count);
    m_vPieceSizes.push_back(count);
    return count;
}

void CMemoryConnection::Reset() {
    m_vInput.clear();
    m_nReadPos = 0;
    m_vSent.clear();
    m_vPieceSizes.clear();
    m_bClosed = false;
}

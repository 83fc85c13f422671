#include "protocol/ByteReader.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "protocol/Connection.h"

CByteReader::CByteReader(IConnection& source, size_t frameBytes)
    : m_pData(nullptr), m_nSize(0), m_pSource(&source), m_nUnreceived(frameBytes) {}

bool CByteReader::Receive(uint8_t* buffer, size_t n) {
    while (n > 0) {  // the connection takes int counts
        const int chunk = int(std::min<size_t>(n, INT_MAX));
        if (m_pSource->ReceiveExactly(buffer, chunk) != chunk) {
            m_nUnreceived = 0;  // nothing more can be trusted
            return false;
        }
        buffer += chunk;
        n -= size_t(chunk);
        m_nUnreceived -= size_t(chunk);
    }
    return true;
}

bool CByteReader::ReceiveAppend(std::vector<uint8_t>& out, size_t n) {
    // Grow with the data actually received, a chunk at a time: a frame that only
    // claims a huge block costs address space, not memory that is touched.
    out.reserve(out.size() + n);
    while (n > 0) {
        const size_t chunk = std::min(n, kReceiveChunk);
        const size_t at = out.size();
        out.resize(at + chunk);
        if (!Receive(out.data() + at, chunk)) return false;
        n -= chunk;
    }
    return true;
}

bool CByteReader::Fill(size_t n) {
    if (n > Remaining()) return false;
    // Keep what is left of the window, then receive what is missing, or a whole
    // window's worth when less is missing, but never beyond the frame.
    const size_t kept = Buffered();
    const size_t missing = n - kept;
    const size_t want = std::min(m_nUnreceived, std::max(missing, kWindowSize));
    std::vector<uint8_t> window(m_pData + m_nPos, m_pData + m_nPos + kept);
    m_vWindow.swap(window);
    m_pData = m_vWindow.data();
    m_nPos = 0;
    m_nSize = kept;
    if (!ReceiveAppend(m_vWindow, want)) return false;
    m_pData = m_vWindow.data();
    m_nSize = kept + want;
    return true;
}

bool CByteReader::ReadBytes(size_t n, std::vector<uint8_t>& out) {
    if (n > Remaining()) return false;
    const size_t fromWindow = std::min(n, Buffered());
    out.clear();
    out.reserve(n);
    out.assign(m_pData + m_nPos, m_pData + m_nPos + fromWindow);
    m_nPos += fromWindow;
    if (fromWindow == n) return true;
    // The rest of the block is still on the connection: receive it in place.
    return ReceiveAppend(out, n - fromWindow);
}

bool CByteReader::SkipRest() {
    m_nPos = m_nSize;
    uint8_t scratch[kWindowSize];
    while (m_nUnreceived > 0)
        if (!Receive(scratch, std::min(m_nUnreceived, sizeof scratch))) return false;
    return true;
}

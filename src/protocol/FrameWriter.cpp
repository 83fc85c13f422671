#include "protocol/FrameWriter.h"

#include <algorithm>
#include <cstring>

void CFrameWriter::PutU16(uint16_t v) {
    m_vBytes.push_back(uint8_t(v));
    m_vBytes.push_back(uint8_t(v >> 8));
}

void CFrameWriter::PutU32(uint32_t v) {
    const uint8_t bytes[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
    m_vBytes.insert(m_vBytes.end(), bytes, bytes + 4);
}

void CFrameWriter::PutBytes(const uint8_t* data, size_t size) {
    if (size == 0) return;
    if (size < kReferenceThreshold) {
        m_vBytes.insert(m_vBytes.end(), data, data + size);
        return;
    }
    m_vBlocks.push_back({m_vBytes.size(), data, size});
    m_nReferenced += size;
}

void CFrameWriter::PatchU32(size_t offset, uint32_t v) {
    for (int i = 0; i < 4; ++i) m_vBytes[offset + i] = uint8_t(v >> (8 * i));
}

void CFrameWriter::BuildSpans() {
    size_t owned = 0;
    for (const Block& b : m_vBlocks) {
        if (b.at > owned) m_vSpans.push_back({nullptr, owned, b.at - owned});
        m_vSpans.push_back({b.data, 0, b.size});
        owned = b.at;
    }
    if (m_vBytes.size() > owned) m_vSpans.push_back({nullptr, owned, m_vBytes.size() - owned});
    m_bSpansBuilt = true;
}

const uint8_t* CFrameWriter::Piece(size_t offset, size_t size, uint8_t* scratch) {
    if (!m_bSpansBuilt) BuildSpans();
    // Step to the span that holds offset.
    while (m_nSpan < m_vSpans.size() && offset >= m_nSpanStart + m_vSpans[m_nSpan].size) {
        m_nSpanStart += m_vSpans[m_nSpan].size;
        ++m_nSpan;
    }
    if (m_nSpan >= m_vSpans.size()) return scratch;  // size is 0 here
    const Span& first = m_vSpans[m_nSpan];
    const size_t within = offset - m_nSpanStart;
    if (within + size <= first.size) return SpanData(first) + within;

    // Gather across span borders.
    size_t copied = 0;
    size_t spanStart = m_nSpanStart;
    for (size_t i = m_nSpan; copied < size && i < m_vSpans.size(); ++i) {
        const Span& s = m_vSpans[i];
        const size_t from = offset + copied - spanStart;
        const size_t n = std::min(size - copied, s.size - from);
        std::memcpy(scratch + copied, SpanData(s) + from, n);
        copied += n;
        spanStart += s.size;
    }
    return scratch;
}

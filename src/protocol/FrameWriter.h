#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Assembles one frame in memory. Small fields are copied into an owned buffer; large
// byte blocks (image and sound data) are referenced where they already are and
// gathered only while the frame is sent, so a frame costs one copy fewer. The blocks
// referenced must outlive the writer.
class CFrameWriter {
  public:
    CFrameWriter() { m_vBytes.reserve(kInitialReserve); }

    void PutU8(uint8_t v) { m_vBytes.push_back(v); }
    void PutU16(uint16_t v);
    void PutU32(uint32_t v);
    void PutI16(int16_t v) { PutU16(uint16_t(v)); }
    void PutI32(int32_t v) { PutU32(uint32_t(v)); }
    // Large blocks are referenced: they must stay where they are until the frame is sent.
    void PutBytes(const uint8_t* data, size_t size);
    // Always copied: for bytes that live shorter than the writer.
    void PutCopy(const uint8_t* data, size_t size) {
        m_vBytes.insert(m_vBytes.end(), data, data + size);
    }
    // Overwrites four owned bytes at a position written earlier.
    void PatchU32(size_t offset, uint32_t v);

    // Total frame size in bytes, owned and referenced.
    size_t Size() const { return m_vBytes.size() + m_nReferenced; }

    // A pointer to size bytes of the frame starting at offset: directly into the
    // frame where they are contiguous, else gathered into scratch (at least size
    // bytes). offset + size must not exceed Size(); offsets must not decrease between
    // calls (the writer walks its blocks once).
    const uint8_t* Piece(size_t offset, size_t size, uint8_t* scratch);

  private:
    // Blocks at least this large are referenced rather than copied.
    static constexpr size_t kReferenceThreshold = 1024;
    static constexpr size_t kInitialReserve = 1024;

    struct Span {
        const uint8_t* data;  // null: owned bytes starting at ownedOffset
        size_t ownedOffset;
        size_t size;
    };
    struct Block {
        size_t at;  // owned size when the block was added
        const uint8_t* data;
        size_t size;
    };

    void BuildSpans();
    const uint8_t* SpanData(const Span& s) const {
        return s.data ? s.data : m_vBytes.data() + s.ownedOffset;
    }

    std::vector<uint8_t> m_vBytes;
    std::vector<Block> m_vBlocks;
    size_t m_nReferenced = 0;

    std::vector<Span> m_vSpans;  // built at the first Piece call
    bool m_bSpansBuilt = false;
    size_t m_nSpan = 0;       // span holding m_nSpanStart
    size_t m_nSpanStart = 0;  // frame offset of span m_nSpan
};

// CFrameApplier: turns one frame packet of the lectern PC's screen into tiles of the
// frame buffer. Nothing in the packet is trusted: lengths, counts and indices are
// checked against the bytes that are really there and against the frame buffer, and a
// frame that cannot be placed (in whole or in part) places nothing of the bad part.
// Whatever happens here, the caller acknowledges the frame, so the lectern PC keeps
// streaming and the next good frame shows.
//
// Preparing (inflate, read, decode) and placing are separate, so the caller holds its
// frame-buffer lock only while the tiles are copied. The buffers are kept from frame
// to frame: once warmed up, a frame allocates nothing.
#pragma once

#include "remote/ImageDecoder.h"
#include "remote/PixelView.h"

#include <cstdint>
#include <vector>

class CPacket;

// The tiling the lectern PC announced: tile size and the width of the monitor shown.
struct FrameGeometry {
    int tileWidth = 0;
    int tileHeight = 0;
    int monitorWidth = 0;
};

struct TileRect {
    int x = 0, y = 0, width = 0, height = 0;
};

class CFrameApplier {
  public:
    // A frame's block never inflates beyond this; its packet is far smaller.
    static constexpr int32_t kMaxInflatedBytes = 64 * 1024 * 1024;
    // The widest strip a JPEG can carry.
    static constexpr int kMaxStripWidth = 65500;
    // The largest strip kept in memory.
    static constexpr int64_t kMaxStripBytes = 64 * 1024 * 1024;

    // Inflates, reads and decodes one frame (type 12). False when nothing of it can be
    // placed: a block that does not inflate to exactly its announced length, fields
    // that point beyond it, no tiles, no tiling yet, or a strip too large. A picture
    // that does not decode still places its tiles, black.
    bool Prepare(const CPacket& frame, const FrameGeometry& geometry, IImageDecoder& decoder);
    // Copies the prepared tiles into the frame buffer, clipped to it; tiles whose index
    // lies beyond the buffer's grid are skipped. Returns the number placed and, when
    // asked, the rectangles changed.
    int PlaceTiles(const PixelView& target, std::vector<TileRect>* changed = nullptr) const;

    bool Decoded() const { return m_bDecoded; }
    size_t TileCount() const { return m_indices.size(); }

  private:
    bool Inflate(const CPacket& frame);

    std::vector<uint8_t> m_inflated;
    std::vector<int32_t> m_indices;
    std::vector<uint8_t> m_strip;
    FrameGeometry m_geometry;
    int m_nColumns = 0;
    bool m_bDecoded = false;
};

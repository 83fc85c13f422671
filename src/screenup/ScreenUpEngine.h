// CScreenUpEngine: the capture thread's work between "the canvas holds this cycle's
// screen" and "hand this frame packet to the main dialog". It keeps the pixels of every
// tile as last sent, picks the tiles that changed (or were never sent, or all of them
// on a full-refresh cycle), packs them side by side into one JPEG strip, wraps the
// strip in a frame block, deflates it with zlib level 9 and numbers the packet.
//
// Decisions of our own:
// - Tiles are compared with the canvas where they lie; a tile's pixels are copied only
//   into the strip when it is sent and into the last-sent picture when it changed. The
//   last-sent picture has the canvas's layout, so a scan line that did not change at
//   all is one comparison across every tile of its row.
// - A JPEG is at most 65,500 pixels wide. When a cycle's tiles make a wider strip (a
//   4096 x 2160 screen has 512 tiles of 128 x 135), they are shared out evenly over as
//   few frames as fit, each a complete block with its own number.
// - A full refresh is handed over only when some tile changed since the last one went
//   out; that change is forgotten only once every frame of the refresh was really sent
//   (not dropped by the acknowledgement window), so a dropped refresh is repeated at
//   the next full-refresh cycle. A refresh with nothing to hand over is not encoded and
//   uses no frame number.
// - Buffers live as long as the engine and only grow; each is sized to what it holds.
//
// One engine per capture thread (a display change makes a new one with a new grid);
// the frame counter carries over through firstFrameNumber.
#pragma once

#include "remote/PixelView.h"
#include "remote/TileGrid.h"
#include "screenup/ImageEncoder.h"

#include <cstddef>
#include <cstdint>
#include <vector>

class CPacket;

// Where the engine's frames go: the hand-over to the main dialog (message 32875).
class IFrameSink {
  public:
    virtual ~IFrameSink() = default;
    // True when the frame went out; false when the acknowledgement window dropped it
    // or there was no connection to send it on.
    virtual bool HandOver(const CPacket& frame, bool fullRefresh) = 0;
};

class CScreenUpEngine {
  public:
    static constexpr int kJpegQuality = 70;
    static constexpr int kZlibLevel = 9;
    // Every this many cycles (counted from 1) every tile is sent again.
    static constexpr uint32_t kFullRefreshPeriod = 30;
    // The widest picture a JPEG can hold.
    static constexpr int kMaxStripWidth = 65500;

    // The grid follows from the target size by the tiling rule. The encoder must
    // outlive the engine.
    CScreenUpEngine(int targetWidth, int targetHeight, IImageEncoder& encoder,
                    uint32_t firstFrameNumber = 0);

    // False when no frame can be made for this size (no tile, or a tile taller or
    // wider than a JPEG can be).
    bool IsValid() const;

    // One cycle over the canvas, which holds the target picture (at least the grid's
    // size). Hands every frame of the cycle to the sink and returns how many.
    int RunCycle(const PixelView& canvas, IFrameSink& sink);

    const TileGrid& Grid() const { return m_grid; }
    // The number the next frame will carry.
    uint32_t FrameCounter() const { return m_nFrameCounter; }
    uint32_t Cycles() const { return m_nCycle; }
    bool ChangedSinceRefresh() const { return m_bChangedSinceRefresh; }
    // The most tiles one frame's strip can hold.
    size_t MaxTilesPerFrame() const;

  private:
    // Marks in m_vTileDiffers the tiles whose pixels on the canvas differ from those
    // last sent.
    void FindChangedTiles(const PixelView& canvas);
    void SelectTiles(const PixelView& canvas, bool fullRefresh);
    // Copies the tiles into the strip (and the changed ones into the last-sent store),
    // encodes, assembles and deflates; false when deflating failed.
    bool BuildFrame(const PixelView& canvas, size_t first, size_t count, CPacket& frame);
    void CopyTiles(const PixelView& canvas, size_t first, size_t count);
    uint8_t* LastSentRow(int y) {
        return m_vLastSent.data() + static_cast<size_t>(y) * m_nRowBytes;
    }

    TileGrid m_grid;
    IImageEncoder& m_encoder;
    uint32_t m_nFrameCounter;
    uint32_t m_nCycle = 0;
    bool m_bChangedSinceRefresh = false;
    size_t m_nTileRowBytes = 0;
    size_t m_nRowBytes = 0;
    // The picture as the lectern PC last got it, rows of the grid's width tightly packed.
    std::vector<uint8_t> m_vLastSent;
    std::vector<uint8_t> m_vSentOnce;
    std::vector<uint8_t> m_vTileDiffers;
    // This cycle's selection, in index order, and whether each differed.
    std::vector<int32_t> m_vSelected;
    std::vector<uint8_t> m_vDiffers;
    std::vector<uint8_t> m_vStrip;
    std::vector<uint8_t> m_vJpeg;
    std::vector<uint8_t> m_vBlock;
    std::vector<uint8_t> m_vCompressed;
};

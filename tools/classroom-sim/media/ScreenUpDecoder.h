#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "remote/TileGrid.h"

class CPacket;

// Rebuilds the pad's screen from its screen-up frame packets (type 12): each one
// inflates to a frame block (see FrameBlock.h) whose JPEG strip holds the changed
// tiles side by side. The tile size is not on the wire; it follows from the screen
// size the pad announces with "[RC00008]<width>,<height>,full,resize" by the pad's
// tiling rule (TileGrid::ForScreen).
//
// Typical use by the lectern PC:
//   on "[RC00008]w,h,...":  decoder.Configure(w, h);
//   on a type-12 packet:     decoder.Decode(packet); then send "[RH00002]<frame number>"
//   on request:              decoder.WritePng(path);
// Decode and the picture accessors may be called from different threads.
class CScreenUpDecoder {
  public:
    enum class Result {
        kOk,
        kNotConfigured,  // no screen size announced yet; nothing placed
        kNotFrame,       // not a type-12 packet
        kBadLength,      // uncompressed length below 1 or beyond kMaxBlockBytes
        kBadZlib,        // the data does not inflate into the announced length
        kBadBlock,       // a count or length in the block points beyond it
        kBadImage,       // the strip does not decode: its tiles are placed black
    };

    // Largest frame block accepted (a full 4K screen of JPEG tiles stays well below).
    static constexpr size_t kMaxBlockBytes = 64u * 1024 * 1024;

    CScreenUpDecoder();
    ~CScreenUpDecoder();
    CScreenUpDecoder(const CScreenUpDecoder&) = delete;
    CScreenUpDecoder& operator=(const CScreenUpDecoder&) = delete;

    // A new screen size: the picture becomes black at that size.
    void Configure(int width, int height);
    // Or an explicit grid (the picture is grid.width x grid.height).
    void Configure(const TileGrid& grid);

    Result Decode(const CPacket& packet);

    // Statistics of what was decoded.
    uint64_t FramesDecoded() const;  // every packet with kOk or kBadImage
    int32_t LastFrameNumber() const;
    size_t LastTileCount() const;
    size_t TilesClipped() const;  // indices outside the grid, over all frames

    TileGrid Grid() const;
    // A copy of the picture: RGB, rows top-down, stride width * 3.
    std::vector<uint8_t> Picture() const;
    // Writes the picture as PNG; false when no size was announced or writing failed.
    bool WritePng(const std::string& path) const;

    static const char* ResultName(Result result);

  private:
    Result Inflate(const CPacket& packet);
    bool DecodeStrip(const uint8_t* image, size_t length);
    void PlaceTiles(const std::vector<int32_t>& indices, bool haveStrip);

    mutable std::mutex m_mutex;
    void* m_hJpeg = nullptr;  // turbojpeg decompressor
    TileGrid m_grid;
    std::vector<uint8_t> m_vPicture;
    std::vector<uint8_t> m_vBlock;
    std::vector<uint8_t> m_vStrip;
    int m_nStripWidth = 0;
    int m_nStripHeight = 0;
    uint64_t m_nFrames = 0;
    int32_t m_nLastFrame = -1;
    size_t m_nLastTiles = 0;
    size_t m_nClipped = 0;
};

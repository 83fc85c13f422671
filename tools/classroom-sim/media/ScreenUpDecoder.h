#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "remote/TileGrid.h"

class CPacket;

// What one frame looked like and whether it fits the announced screen size, for tests
// and benchmarks that check the pad's frames rather than only the rebuilt picture.
struct ScreenUpFrameInfo {
    size_t compressedBytes = 0;  // the packet's data as it came (deflated)
    int64_t blockLength = 0;     // the packet's uncompressed length
    size_t imageBytes = 0;       // L, the JPEG's length in the block
    int stripWidth = 0;          // of the decoded JPEG; 0 when it does not decode
    int stripHeight = 0;
    std::vector<int32_t> indices;
    int64_t decodeMicros = 0;  // time spent in Decode
    // "ok" when the frame fits the grid: the strip is N tiles wide and one tile high,
    // every index lies in the grid, the indices strictly increase, and the block's
    // length field, the inflated size and the packet's uncompressed length agree.
    // Otherwise the first fault found: "not-configured", "not-frame", "bad-length",
    // "bad-zlib", "bad-block", "block-length", "bad-image", "strip-width",
    // "strip-height", "index-range", "index-order".
    std::string geometry;
};

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
// Decode and the picture accessors may be called from different threads. Decoding
// happens outside the picture's lock: only placing the tiles holds it, so Picture()
// and WritePng wait for a copy of the tiles, never for a JPEG decompression.
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
    // The same, also telling what the frame held and whether it fits the grid (info
    // may be null).
    Result Decode(const CPacket& packet, ScreenUpFrameInfo* info);

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
    // Indices as comma-separated decimal text ("0,1,2"; "" for none).
    static std::string IndicesText(const std::vector<int32_t>& indices);

  private:
    Result DecodeLocked(const CPacket& packet, ScreenUpFrameInfo& info);
    Result Inflate(const CPacket& packet);
    bool DecodeStrip(const uint8_t* image, size_t length);
    void PlaceTiles(const TileGrid& grid, const std::vector<int32_t>& indices, bool haveStrip);

    // Held for a whole Decode: the decompressor and the scratch buffers are one per
    // decoder.
    std::mutex m_decodeMutex;
    void* m_hJpeg = nullptr;  // turbojpeg decompressor
    std::vector<uint8_t> m_vBlock;
    std::vector<uint8_t> m_vStrip;
    int m_nStripWidth = 0;
    int m_nStripHeight = 0;

    // Held briefly: the grid, the picture and the counts.
    mutable std::mutex m_mutex;
    TileGrid m_grid;
    std::vector<uint8_t> m_vPicture;
    uint64_t m_nFrames = 0;
    int32_t m_nLastFrame = -1;
    size_t m_nLastTiles = 0;
    size_t m_nClipped = 0;
};

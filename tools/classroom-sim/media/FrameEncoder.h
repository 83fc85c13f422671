#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "remote/TileGrid.h"

class CPacket;
class CSyntheticDesktop;

// Ways a frame block can lie about its contents, for the pad's robustness tests.
// Unless the lie says otherwise the JPEG strip itself is well formed.
enum class FrameBlockLie {
    kNone,
    kTileCountTooHigh,            // N claims 1000 more tiles than the indices present
    kTileCountHuge,               // N = 0x7FFFFFFF
    kImageLengthTooLong,          // L claims 1,000,000 more bytes than follow
    kBlockLengthWrong,            // the leading block length says 12
    kTileIndexOutOfRange,         // the indices point far beyond the tile grid
    kUncompressedLengthTooShort,  // the packet's uncompressed length is half the block
    kUncompressedLengthHuge,      // the packet's uncompressed length is 0x7FFFFFFF
    kBadZlib,                     // the first two deflated bytes are no zlib header
    kNoTiles,                     // N = 0 and L = 0: a valid block that places nothing
    kBadJpeg,                     // the strip is garbage of the JPEG's length
    kNegativeTileIndex,           // the first tile index is -5
};

// Names of the lies as the command line spells them ("none", "bad-zlib", ...).
const char* FrameBlockLieName(FrameBlockLie lie);
// False when the name is none of them.
bool FrameBlockLieFromName(const std::string& name, FrameBlockLie& lie);
// Every lie, kNone first, for whoever lists or checks them all.
std::vector<FrameBlockLie> AllFrameBlockLies();

struct FrameEncoderOptions {
    // JPEG quality of the strip (the pad uses 70 for its own frames).
    int jpegQuality = 70;
    // zlib level; the JPEG strip barely deflates, so the fastest level costs nothing in
    // size and keeps the simulator far from being the bottleneck.
    int zlibLevel = 1;
    // Frames that may be sent before "[RC00006]" acknowledges them; 0 = unpaced.
    int maxInFlight = 3;
    // First frame number.
    int32_t firstFrameNumber = 0;
};

// Turns changed tiles of a picture into numbered frame packets (type 12): the tiles
// side by side in one JPEG strip, the frame block around it (see FrameBlock.h),
// deflated with zlib. Also keeps the pacing: the lectern PC sends a frame only while
// fewer than maxInFlight frames wait for the pad's "[RC00006]<frame number>".
//
// Typical use by the lectern PC, per turn:
//   if (encoder.CanSend()) {
//       desktop.Step();
//       CPacket packet;
//       if (encoder.EncodeFrame(desktop, desktop.TakeChangedTiles(), packet)) send(packet);
//   }
//   on "[RC00006]n": encoder.OnAcknowledged(n);
// Not thread-safe: use from one thread or under the caller's lock.
class CFrameEncoder {
  public:
    explicit CFrameEncoder(const FrameEncoderOptions& options = FrameEncoderOptions());
    ~CFrameEncoder();
    CFrameEncoder(const CFrameEncoder&) = delete;
    CFrameEncoder& operator=(const CFrameEncoder&) = delete;

    // Encodes the listed tiles of an RGB picture (3 bytes a pixel, rows top-down) into
    // the packet, numbered with the next frame number, which then counts as in flight.
    // A JPEG may be at most 65500 pixels wide, so at most MaxTilesPerFrame tiles are
    // taken; *tilesTaken says how many (the caller sends the rest in the next frame).
    // An empty list makes a frame without tiles. False (packet untouched, no number
    // used) when the grid is invalid or the JPEG cannot be made.
    bool EncodeFrame(const uint8_t* rgb, int width, int height, size_t stride, const TileGrid& grid,
                     const std::vector<int32_t>& tiles, CPacket& packet,
                     size_t* tilesTaken = nullptr);
    // The same for a synthetic desktop and its own grid.
    bool EncodeFrame(const CSyntheticDesktop& desktop, const std::vector<int32_t>& tiles,
                     CPacket& packet, size_t* tilesTaken = nullptr);

    static size_t MaxTilesPerFrame(const TileGrid& grid);

    // Pacing by the pad's acknowledgements.
    bool CanSend() const;
    // Acknowledges every frame up to and including frameNumber. False (nothing
    // changes) for a number that is not in flight, such as a repeated or unknown one.
    bool OnAcknowledged(int32_t frameNumber);
    size_t InFlight() const { return size_t(m_nNextFrame - 1 - m_nLastAcknowledged); }
    int32_t NextFrameNumber() const { return int32_t(m_nNextFrame); }
    // Numbering starts again at firstFrameNumber with nothing in flight (a new session).
    void Reset();

    // The lie told by the frames whose number is a multiple of every; every = 0 lies in
    // every frame. The frames in between are honest.
    void SetLie(FrameBlockLie lie, int every = 0) {
        m_lie = lie;
        m_nLieEvery = every;
    }
    FrameBlockLie Lie() const { return m_lie; }
    // Whether the next frame lies, and whether the last one made did.
    bool NextFrameLies() const;
    bool LastFrameLied() const { return m_bLastLied; }
    void SetJpegQuality(int quality) { m_options.jpegQuality = quality; }

    // The block of the last frame as deflated (after any lie), and its JPEG size.
    const std::vector<uint8_t>& LastBlock() const { return m_vBlock; }
    size_t LastImageSize() const { return m_nLastImageSize; }

  private:
    bool BuildStrip(const uint8_t* rgb, int width, int height, size_t stride, const TileGrid& grid,
                    const int32_t* tiles, size_t count);
    bool CompressStrip(int stripWidth, int stripHeight);
    void ApplyBlockLie(FrameBlockLie lie, size_t count);

    FrameEncoderOptions m_options;
    FrameBlockLie m_lie = FrameBlockLie::kNone;
    int m_nLieEvery = 0;
    bool m_bLastLied = false;
    void* m_hJpeg = nullptr;  // turbojpeg compressor
    int64_t m_nNextFrame;
    int64_t m_nLastAcknowledged;
    std::vector<uint8_t> m_vStrip;
    std::vector<uint8_t> m_vJpeg;
    unsigned long m_nJpegSize = 0;
    std::vector<uint8_t> m_vBlock;
    std::vector<uint8_t> m_vCompressed;
    size_t m_nLastImageSize = 0;
};

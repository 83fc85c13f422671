#include "media/FrameEncoder.h"

#include <turbojpeg.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <limits>

#include "remote/FrameBlock.h"
#include "media/SyntheticDesktop.h"
#include "protocol/Packet.h"

namespace {

// Widest picture the JPEG format (and the decoders on the pad) handle comfortably.
constexpr int kMaxJpegDimension = 65500;
constexpr int kBytesPerPixel = 3;
constexpr uint32_t kExtraLyingTiles = 1000;
constexpr uint32_t kExtraLyingImageBytes = 1000000;
constexpr uint32_t kLyingBlockLength = 12;
constexpr int32_t kOutOfRangeIndexFactor = 1000;
constexpr uint32_t kHugeCount = 0x7FFFFFFF;
constexpr size_t kCountOffset = 4;
constexpr size_t kIndicesOffset = 8;
constexpr int32_t kNegativeIndex = -5;
// Bytes that stand where the deflated stream's header should be: compression method
// 15 and a failing header check, so inflate gives up at once.
constexpr uint8_t kBadZlibHeader = 0xFF;
constexpr size_t kZlibHeaderBytes = 2;
// The garbage strip never starts with a JPEG marker (0xFF).
constexpr uint8_t kGarbageSeed = 0x5A;
constexpr uint8_t kGarbageStep = 31;

tjhandle Handle(void* p) { return static_cast<tjhandle>(p); }

struct NamedLie {
    FrameBlockLie lie;
    const char* name;
};
constexpr NamedLie kLieNames[] = {
    {FrameBlockLie::kNone, "none"},
    {FrameBlockLie::kTileCountTooHigh, "tile-count-too-high"},
    {FrameBlockLie::kTileCountHuge, "tile-count-huge"},
    {FrameBlockLie::kImageLengthTooLong, "image-length-too-long"},
    {FrameBlockLie::kBlockLengthWrong, "block-length-wrong"},
    {FrameBlockLie::kTileIndexOutOfRange, "index-out-of-range"},
    {FrameBlockLie::kUncompressedLengthTooShort, "uncompressed-too-short"},
    {FrameBlockLie::kUncompressedLengthHuge, "uncompressed-huge"},
    {FrameBlockLie::kBadZlib, "bad-zlib"},
    {FrameBlockLie::kNoTiles, "no-tiles"},
    {FrameBlockLie::kBadJpeg, "bad-jpeg"},
    {FrameBlockLie::kNegativeTileIndex, "negative-index"},
};

}  // namespace

const char* FrameBlockLieName(FrameBlockLie lie) {
    for (const NamedLie& n : kLieNames)
        if (n.lie == lie) return n.name;
    return "unknown";
}

bool FrameBlockLieFromName(const std::string& name, FrameBlockLie& lie) {
    for (const NamedLie& n : kLieNames) {
        if (name == n.name) {
            lie = n.lie;
            return true;
        }
    }
    return false;
}

std::vector<FrameBlockLie> AllFrameBlockLies() {
    std::vector<FrameBlockLie> all;
    for (const NamedLie& n : kLieNames) all.push_back(n.lie);
    return all;
}

CFrameEncoder::CFrameEncoder(const FrameEncoderOptions& options)
    : m_options(options),
      m_hJpeg(tjInitCompress()),
      m_nNextFrame(options.firstFrameNumber),
      m_nLastAcknowledged(int64_t(options.firstFrameNumber) - 1) {}

CFrameEncoder::~CFrameEncoder() {
    if (m_hJpeg) tjDestroy(Handle(m_hJpeg));
}

void CFrameEncoder::Reset() {
    m_nNextFrame = m_options.firstFrameNumber;
    m_nLastAcknowledged = int64_t(m_options.firstFrameNumber) - 1;
}

bool CFrameEncoder::NextFrameLies() const {
    if (m_lie == FrameBlockLie::kNone) return false;
    return m_nLieEvery <= 0 || m_nNextFrame % m_nLieEvery == 0;
}

bool CFrameEncoder::CanSend() const {
    return m_options.maxInFlight <= 0 || InFlight() < size_t(m_options.maxInFlight);
}

bool CFrameEncoder::OnAcknowledged(int32_t frameNumber) {
    if (frameNumber <= m_nLastAcknowledged || frameNumber >= m_nNextFrame) return false;
    m_nLastAcknowledged = frameNumber;
    return true;
}

size_t CFrameEncoder::MaxTilesPerFrame(const TileGrid& grid) {
    return grid.tileWidth > 0 ? size_t(kMaxJpegDimension / grid.tileWidth) : 0;
}

bool CFrameEncoder::EncodeFrame(const CSyntheticDesktop& desktop, const std::vector<int32_t>& tiles,
                                CPacket& packet, size_t* tilesTaken) {
    return EncodeFrame(desktop.Pixels(), desktop.Width(), desktop.Height(), desktop.Stride(),
                       desktop.Grid(), tiles, packet, tilesTaken);
}

bool CFrameEncoder::EncodeFrame(const uint8_t* rgb, int width, int height, size_t stride,
                                const TileGrid& grid, const std::vector<int32_t>& tiles,
                                CPacket& packet, size_t* tilesTaken) {
    if (tilesTaken) *tilesTaken = 0;
    if (!grid.IsValid() || !m_hJpeg || grid.tileHeight > kMaxJpegDimension) return false;
    const FrameBlockLie lie = NextFrameLies() ? m_lie : FrameBlockLie::kNone;
    const size_t count =
        lie == FrameBlockLie::kNoTiles ? 0 : std::min(tiles.size(), MaxTilesPerFrame(grid));
    m_nJpegSize = 0;
    if (count > 0) {
        if (!BuildStrip(rgb, width, height, stride, grid, tiles.data(), count)) return false;
        if (!CompressStrip(int(count) * grid.tileWidth, grid.tileHeight)) return false;
    }
    m_nLastImageSize = m_nJpegSize;
    m_vBlock.clear();
    AppendFrameBlock(m_vBlock, tiles.data(), count, m_vJpeg.data(), m_nJpegSize);
    ApplyBlockLie(lie, count);

    uLongf compressedSize = compressBound(uLong(m_vBlock.size()));
    m_vCompressed.resize(compressedSize);
    if (compress2(m_vCompressed.data(), &compressedSize, m_vBlock.data(), uLong(m_vBlock.size()),
                  m_options.zlibLevel) != Z_OK) {
        return false;
    }
    if (lie == FrameBlockLie::kBadZlib && compressedSize >= kZlibHeaderBytes)
        std::memset(m_vCompressed.data(), kBadZlibHeader, kZlibHeaderBytes);
    int32_t uncompressed = int32_t(m_vBlock.size());
    if (lie == FrameBlockLie::kUncompressedLengthTooShort) uncompressed /= 2;
    if (lie == FrameBlockLie::kUncompressedLengthHuge) {
        uncompressed = std::numeric_limits<int32_t>::max();
    }
    packet = CPacket(uint32_t(compressedSize), m_vCompressed.data(), uncompressed,
                     int32_t(m_nNextFrame));
    ++m_nNextFrame;
    m_bLastLied = lie != FrameBlockLie::kNone;
    if (tilesTaken) *tilesTaken = count;
    return true;
}

bool CFrameEncoder::BuildStrip(const uint8_t* rgb, int width, int height, size_t stride,
                               const TileGrid& grid, const int32_t* tiles, size_t count) {
    const size_t tileRowBytes = size_t(grid.tileWidth) * kBytesPerPixel;
    const size_t stripStride = tileRowBytes * count;
    m_vStrip.assign(stripStride * size_t(grid.tileHeight), 0);  // black where no pixels are
    for (size_t k = 0; k < count; ++k) {
        const int32_t index = tiles[k];
        if (index < 0 || index >= grid.Count()) continue;  // nothing to show: stays black
        const int left = grid.TileLeft(index);
        const int top = grid.TileTop(index);
        const int copyWidth = std::min(grid.tileWidth, width - left);
        const int copyHeight = std::min(grid.tileHeight, height - top);
        if (copyWidth <= 0 || copyHeight <= 0) continue;
        for (int y = 0; y < copyHeight; ++y) {
            std::memcpy(&m_vStrip[stripStride * y + tileRowBytes * k],
                        rgb + stride * size_t(top + y) + size_t(left) * kBytesPerPixel,
                        size_t(copyWidth) * kBytesPerPixel);
        }
    }
    return true;
}

bool CFrameEncoder::CompressStrip(int stripWidth, int stripHeight) {
    const unsigned long bound = tjBufSize(stripWidth, stripHeight, TJSAMP_420);
    if (bound == static_cast<unsigned long>(-1)) return false;
    if (m_vJpeg.size() < bound) m_vJpeg.resize(bound);
    unsigned char* out = m_vJpeg.data();
    m_nJpegSize = bound;
    if (tjCompress2(Handle(m_hJpeg), m_vStrip.data(), stripWidth, 0, stripHeight, TJPF_RGB, &out,
                    &m_nJpegSize, TJSAMP_420, m_options.jpegQuality,
                    TJFLAG_NOREALLOC | TJFLAG_FASTDCT) != 0) {
        m_nJpegSize = 0;
        return false;
    }
    return true;
}

void CFrameEncoder::ApplyBlockLie(FrameBlockLie lie, size_t count) {
    uint8_t* block = m_vBlock.data();
    const size_t imageLengthOffset = kIndicesOffset + kFrameBlockIndexBytes * count;
    switch (lie) {
        case FrameBlockLie::kTileCountTooHigh:
            PutU32At(block + kCountOffset, uint32_t(count) + kExtraLyingTiles);
            break;
        case FrameBlockLie::kTileCountHuge:
            PutU32At(block + kCountOffset, kHugeCount);
            break;
        case FrameBlockLie::kImageLengthTooLong:
            PutU32At(block + imageLengthOffset, uint32_t(m_nLastImageSize) + kExtraLyingImageBytes);
            break;
        case FrameBlockLie::kBlockLengthWrong:
            PutU32At(block, kLyingBlockLength);
            break;
        case FrameBlockLie::kTileIndexOutOfRange:
            for (size_t i = 0; i < count; ++i) {
                uint8_t* at = block + kIndicesOffset + kFrameBlockIndexBytes * i;
                PutU32At(at, GetU32(at) * kOutOfRangeIndexFactor + kOutOfRangeIndexFactor);
            }
            break;
        case FrameBlockLie::kBadJpeg: {
            uint8_t* image = block + imageLengthOffset + kFrameBlockIndexBytes;
            for (size_t i = 0; i < m_nLastImageSize; ++i)
                image[i] = uint8_t(kGarbageSeed + kGarbageStep * i);
            break;
        }
        case FrameBlockLie::kNegativeTileIndex:
            if (count > 0) PutU32At(block + kIndicesOffset, uint32_t(kNegativeIndex));
            break;
        default:
            break;
    }
}

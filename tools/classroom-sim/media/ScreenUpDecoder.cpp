#include "media/ScreenUpDecoder.h"

#include <turbojpeg.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstring>

#include "remote/FrameBlock.h"
#include "media/PngWriter.h"
#include "protocol/Packet.h"

namespace {

constexpr int kBytesPerPixel = 3;
// A strip larger than this many pixels cannot come from a sane pad.
constexpr uint64_t kMaxStripPixels = 64ull * 1024 * 1024;

tjhandle Handle(void* p) { return static_cast<tjhandle>(p); }

// Whether a decoded frame fits the grid, as the pad's tiling rule makes them; the first
// fault found, in the order a frame is read.
const char* Geometry(const TileGrid& grid, const CPacket& packet, size_t inflated,
                     const FrameBlockView& block, const ScreenUpFrameInfo& info, bool haveStrip) {
    const int64_t announced = packet.m_nUncompressedLength;
    const size_t count = block.indices.size();
    // Every length must agree, down to the block's own: no bytes after the strip.
    const uint64_t parts = kFrameBlockFixedBytes + kFrameBlockIndexBytes * uint64_t(count) +
                           uint64_t(block.imageLength);
    if (int64_t(block.declaredLength) != announced || int64_t(inflated) != announced ||
        parts != uint64_t(inflated))
        return "block-length";
    // A frame without tiles carries no strip either.
    if (count == 0) return block.imageLength == 0 ? "ok" : "strip-width";
    if (!haveStrip) return "bad-image";
    if (uint64_t(info.stripWidth) != uint64_t(count) * uint64_t(grid.tileWidth))
        return "strip-width";
    if (info.stripHeight != grid.tileHeight) return "strip-height";
    for (size_t i = 0; i < count; ++i) {
        if (block.indices[i] < 0 || block.indices[i] >= grid.Count()) return "index-range";
    }
    for (size_t i = 1; i < count; ++i) {
        if (block.indices[i] <= block.indices[i - 1]) return "index-order";
    }
    return "ok";
}

}  // namespace

CScreenUpDecoder::CScreenUpDecoder() : m_hJpeg(tjInitDecompress()) {}

CScreenUpDecoder::~CScreenUpDecoder() {
    if (m_hJpeg) tjDestroy(Handle(m_hJpeg));
}

void CScreenUpDecoder::Configure(int width, int height) {
    Configure(TileGrid::ForScreen(width, height));
}

void CScreenUpDecoder::Configure(const TileGrid& grid) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_grid = grid;
    m_vPicture.assign(grid.IsValid() ? size_t(grid.width) * grid.height * kBytesPerPixel : 0, 0);
}

CScreenUpDecoder::Result CScreenUpDecoder::Decode(const CPacket& packet) {
    return Decode(packet, nullptr);
}

CScreenUpDecoder::Result CScreenUpDecoder::Decode(const CPacket& packet, ScreenUpFrameInfo* info) {
    const auto start = std::chrono::steady_clock::now();
    ScreenUpFrameInfo local;
    ScreenUpFrameInfo& out = info ? *info : local;
    out = ScreenUpFrameInfo();
    out.compressedBytes = packet.m_vData.size();
    out.blockLength = packet.m_nUncompressedLength;
    Result result;
    {
        std::lock_guard<std::mutex> lock(m_decodeMutex);
        result = DecodeLocked(packet, out);
    }
    out.decodeMicros = std::chrono::duration_cast<std::chrono::microseconds>(
                           std::chrono::steady_clock::now() - start)
                           .count();
    return result;
}

// Called with the decode lock held; takes the picture's lock only to read the grid and
// to place the tiles.
CScreenUpDecoder::Result CScreenUpDecoder::DecodeLocked(const CPacket& packet,
                                                        ScreenUpFrameInfo& info) {
    if (packet.m_nType != kPacketFrame) {
        info.geometry = "not-frame";
        return Result::kNotFrame;
    }
    TileGrid grid;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        grid = m_grid;
    }
    if (!grid.IsValid()) {
        info.geometry = "not-configured";
        return Result::kNotConfigured;
    }
    const Result inflated = Inflate(packet);
    if (inflated != Result::kOk) {
        info.geometry = inflated == Result::kBadLength ? "bad-length" : "bad-zlib";
        return inflated;
    }
    FrameBlockView block;
    if (!ParseFrameBlock(m_vBlock.data(), m_vBlock.size(), block)) {
        info.geometry = "bad-block";
        return Result::kBadBlock;
    }
    // A frame without tiles has no strip: nothing of the last one may show through.
    m_nStripWidth = m_nStripHeight = 0;
    const bool haveStrip = block.indices.empty() || DecodeStrip(block.image, block.imageLength);
    info.imageBytes = block.imageLength;
    info.stripWidth = m_nStripWidth;
    info.stripHeight = m_nStripHeight;
    info.indices = block.indices;
    info.geometry = Geometry(grid, packet, m_vBlock.size(), block, info, haveStrip);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        // A new size announced while this frame was decoded: the frame was made for the
        // old one, so it places nothing on the new picture.
        if (m_grid.width == grid.width && m_grid.height == grid.height &&
            m_grid.tileWidth == grid.tileWidth && m_grid.tileHeight == grid.tileHeight)
            PlaceTiles(grid, block.indices, haveStrip);
        ++m_nFrames;
        m_nLastFrame = packet.m_nFrameNumber;
        m_nLastTiles = block.indices.size();
    }
    return haveStrip ? Result::kOk : Result::kBadImage;
}

CScreenUpDecoder::Result CScreenUpDecoder::Inflate(const CPacket& packet) {
    const int32_t declared = packet.m_nUncompressedLength;
    if (declared < 1 || size_t(declared) > kMaxBlockBytes) return Result::kBadLength;
    m_vBlock.resize(size_t(declared));
    uLongf size = uLongf(declared);
    if (uncompress(m_vBlock.data(), &size, packet.m_vData.data(), uLong(packet.m_vData.size())) !=
        Z_OK) {
        return Result::kBadZlib;
    }
    m_vBlock.resize(size);
    return Result::kOk;
}

bool CScreenUpDecoder::DecodeStrip(const uint8_t* image, size_t length) {
    m_nStripWidth = m_nStripHeight = 0;
    if (!m_hJpeg || length == 0) return false;
    int width = 0, height = 0, subsampling = 0, colourspace = 0;
    if (tjDecompressHeader3(Handle(m_hJpeg), image, static_cast<unsigned long>(length), &width,
                            &height, &subsampling, &colourspace) != 0) {
        return false;
    }
    if (width <= 0 || height <= 0 || uint64_t(width) * uint64_t(height) > kMaxStripPixels) {
        return false;
    }
    m_vStrip.resize(size_t(width) * height * kBytesPerPixel);
    if (tjDecompress2(Handle(m_hJpeg), image, static_cast<unsigned long>(length), m_vStrip.data(),
                      width, 0, height, TJPF_RGB, TJFLAG_FASTDCT) != 0) {
        return false;
    }
    m_nStripWidth = width;
    m_nStripHeight = height;
    return true;
}

// Called with both locks held.
void CScreenUpDecoder::PlaceTiles(const TileGrid& grid, const std::vector<int32_t>& indices,
                                  bool haveStrip) {
    const size_t pictureStride = size_t(grid.width) * kBytesPerPixel;
    const size_t stripStride = size_t(m_nStripWidth) * kBytesPerPixel;
    for (size_t i = 0; i < indices.size(); ++i) {
        const int32_t index = indices[i];
        if (index < 0 || index >= grid.Count()) {
            ++m_nClipped;
            continue;
        }
        const int left = grid.TileLeft(index);
        const int top = grid.TileTop(index);
        const int width = std::min(grid.tileWidth, grid.width - left);
        const int height = std::min(grid.tileHeight, grid.height - top);
        const int stripX = int(i) * grid.tileWidth;
        for (int y = 0; y < height; ++y) {
            uint8_t* to = &m_vPicture[pictureStride * (top + y) + size_t(left) * kBytesPerPixel];
            // What the strip does not cover (or a strip that did not decode) is black.
            const int available =
                haveStrip && y < m_nStripHeight ? std::clamp(m_nStripWidth - stripX, 0, width) : 0;
            if (available > 0) {
                std::memcpy(to, &m_vStrip[stripStride * y + size_t(stripX) * kBytesPerPixel],
                            size_t(available) * kBytesPerPixel);
            }
            std::memset(to + size_t(available) * kBytesPerPixel, 0,
                        size_t(width - available) * kBytesPerPixel);
        }
    }
}

uint64_t CScreenUpDecoder::FramesDecoded() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_nFrames;
}

int32_t CScreenUpDecoder::LastFrameNumber() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_nLastFrame;
}

size_t CScreenUpDecoder::LastTileCount() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_nLastTiles;
}

size_t CScreenUpDecoder::TilesClipped() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_nClipped;
}

TileGrid CScreenUpDecoder::Grid() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_grid;
}

std::vector<uint8_t> CScreenUpDecoder::Picture() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_vPicture;
}

bool CScreenUpDecoder::WritePng(const std::string& path) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_vPicture.empty()) return false;
    return WritePngFile(path, m_vPicture.data(), m_grid.width, m_grid.height,
                        size_t(m_grid.width) * kBytesPerPixel);
}

std::string CScreenUpDecoder::IndicesText(const std::vector<int32_t>& indices) {
    std::string text;
    for (size_t i = 0; i < indices.size(); ++i) {
        if (i > 0) text += ',';
        text += std::to_string(indices[i]);
    }
    return text;
}

const char* CScreenUpDecoder::ResultName(Result result) {
    switch (result) {
        case Result::kOk:
            return "ok";
        case Result::kNotConfigured:
            return "not_configured";
        case Result::kNotFrame:
            return "not_frame";
        case Result::kBadLength:
            return "bad_length";
        case Result::kBadZlib:
            return "bad_zlib";
        case Result::kBadBlock:
            return "bad_block";
        case Result::kBadImage:
            return "bad_image";
    }
    return "unknown";
}

#include "remote/FrameApplier.h"

#include "protocol/Packet.h"
#include "remote/FrameBlock.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

bool CFrameApplier::Inflate(const CPacket& frame) {
    const int32_t announced = frame.m_nUncompressedLength;
    if (announced < static_cast<int32_t>(kFrameBlockFixedBytes) || announced > kMaxInflatedBytes)
        return false;
    if (frame.m_vData.empty() || frame.m_vData.size() > static_cast<size_t>(kMaxInflatedBytes))
        return false;
    m_inflated.resize(static_cast<size_t>(announced));
    uLongf produced = static_cast<uLongf>(m_inflated.size());
    const int result = ::uncompress(m_inflated.data(), &produced, frame.m_vData.data(),
                                    static_cast<uLong>(frame.m_vData.size()));
    // Exactly the announced length: a shorter stream would leave bytes undefined.
    return result == Z_OK && produced == m_inflated.size();
}

bool CFrameApplier::Prepare(const CPacket& frame, const FrameGeometry& geometry,
                            IImageDecoder& decoder) {
    m_indices.clear();
    m_bDecoded = false;
    m_geometry = geometry;
    m_nColumns = geometry.tileWidth > 0 ? geometry.monitorWidth / geometry.tileWidth : 0;
    // Without a tiling (before the tile size is known, or a monitor narrower than one
    // tile) there is nowhere to put a tile.
    if (geometry.tileWidth < 1 || geometry.tileHeight < 1 || m_nColumns < 1) return false;
    if (frame.m_nType != kPacketFrame || !Inflate(frame)) return false;
    FrameBlockView block;
    if (!ParseFrameBlock(m_inflated.data(), m_inflated.size(), block)) return false;
    if (block.indices.empty()) return false;
    const int64_t stripWidth = static_cast<int64_t>(geometry.tileWidth) * block.indices.size();
    const int64_t stripBytes = stripWidth * geometry.tileHeight * PixelView::kBytesPerPixel;
    if (stripWidth > kMaxStripWidth || stripBytes > kMaxStripBytes) return false;
    m_indices = std::move(block.indices);

    // The strip keeps its bytes from frame to frame (clearing 8 MB per full frame would
    // cost a third of the decode). A picture that decodes covers the strip; one that
    // does not is made black below.
    m_strip.resize(static_cast<size_t>(stripBytes));
    PixelView strip;
    strip.pixels = m_strip.data();
    strip.width = static_cast<int>(stripWidth);
    strip.height = geometry.tileHeight;
    strip.stride = static_cast<ptrdiff_t>(stripWidth) * PixelView::kBytesPerPixel;
    m_bDecoded = block.imageLength > 0 && decoder.DecodeInto(block.image, block.imageLength, strip);
    if (!m_bDecoded) std::fill(m_strip.begin(), m_strip.end(), uint8_t{0});
    return true;
}

int CFrameApplier::PlaceTiles(const PixelView& target, std::vector<TileRect>* changed) const {
    if (target.Empty() || m_indices.empty() || m_nColumns < 1) return 0;
    const int tileWidth = m_geometry.tileWidth;
    const int tileHeight = m_geometry.tileHeight;
    const int64_t rows = (static_cast<int64_t>(target.height) + tileHeight - 1) / tileHeight;
    const int64_t cells = rows * m_nColumns;
    const ptrdiff_t stripStride = static_cast<ptrdiff_t>(tileWidth) * PixelView::kBytesPerPixel *
                                  static_cast<ptrdiff_t>(m_indices.size());
    int placed = 0;
    for (size_t i = 0; i < m_indices.size(); ++i) {
        // An index is a count of tiles: a negative one is as far out as a huge one.
        const uint32_t index = static_cast<uint32_t>(m_indices[i]);
        if (index >= cells) continue;
        const int x = tileWidth * static_cast<int>(index % static_cast<uint32_t>(m_nColumns));
        const int y = tileHeight * static_cast<int>(index / static_cast<uint32_t>(m_nColumns));
        const int width = std::min(tileWidth, target.width - x);
        const int height = std::min(tileHeight, target.height - y);
        if (width < 1 || height < 1) continue;
        const uint8_t* source =
            m_strip.data() + i * static_cast<size_t>(tileWidth) * PixelView::kBytesPerPixel;
        for (int row = 0; row < height; ++row) {
            std::memcpy(target.Row(y + row) + static_cast<ptrdiff_t>(x) * PixelView::kBytesPerPixel,
                        source + row * stripStride,
                        static_cast<size_t>(width) * PixelView::kBytesPerPixel);
        }
        if (changed != nullptr) changed->push_back(TileRect{x, y, width, height});
        ++placed;
    }
    return placed;
}

#include "screenup/ScreenUpEngine.h"

#include "protocol/Packet.h"
#include "remote/FrameBlock.h"
#include "screenup/ScreenUpGeometry.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

CScreenUpEngine::CScreenUpEngine(int targetWidth, int targetHeight, IImageEncoder& encoder,
                                 uint32_t firstFrameNumber)
    : m_grid(ScreenUpGrid(targetWidth, targetHeight)),
      m_encoder(encoder),
      m_nFrameCounter(firstFrameNumber) {
    if (!IsValid()) return;
    m_nTileRowBytes = static_cast<size_t>(m_grid.tileWidth) * PixelView::kBytesPerPixel;
    m_nRowBytes = static_cast<size_t>(m_grid.width) * PixelView::kBytesPerPixel;
    const size_t tiles = static_cast<size_t>(m_grid.Count());
    // Black, as the lectern PC's picture starts.
    m_vLastSent.assign(m_nRowBytes * static_cast<size_t>(m_grid.height), 0);
    m_vSentOnce.assign(tiles, 0);
    m_vTileDiffers.assign(tiles, 0);
    m_vSelected.reserve(tiles);
    m_vDiffers.reserve(tiles);
}

bool CScreenUpEngine::IsValid() const {
    // The tiling rule always divides the edges exactly; the comparison relies on it.
    return m_grid.IsValid() && m_grid.tileWidth <= kMaxStripWidth &&
           m_grid.tileHeight <= kMaxStripWidth &&
           m_grid.Columns() * m_grid.tileWidth == m_grid.width &&
           m_grid.Rows() * m_grid.tileHeight == m_grid.height;
}

size_t CScreenUpEngine::MaxTilesPerFrame() const {
    return IsValid() ? static_cast<size_t>(kMaxStripWidth / m_grid.tileWidth) : 0;
}

void CScreenUpEngine::FindChangedTiles(const PixelView& canvas) {
    const int columns = m_grid.Columns();
    for (int row = 0; row < m_grid.Rows(); ++row) {
        uint8_t* differs = m_vTileDiffers.data() + static_cast<size_t>(row) * columns;
        std::fill(differs, differs + columns, uint8_t{0});
        int unchanged = columns;
        const int top = row * m_grid.tileHeight;
        for (int y = top; y < top + m_grid.tileHeight && unchanged > 0; ++y) {
            const uint8_t* now = canvas.Row(y);
            const uint8_t* sent = LastSentRow(y);
            if (std::memcmp(now, sent, m_nRowBytes) == 0) continue;
            for (int column = 0; column < columns; ++column) {
                const size_t at = static_cast<size_t>(column) * m_nTileRowBytes;
                if (!differs[column] && std::memcmp(now + at, sent + at, m_nTileRowBytes) != 0) {
                    differs[column] = 1;
                    --unchanged;
                }
            }
        }
    }
}

void CScreenUpEngine::SelectTiles(const PixelView& canvas, bool fullRefresh) {
    m_vSelected.clear();
    m_vDiffers.clear();
    FindChangedTiles(canvas);
    const int32_t count = m_grid.Count();
    for (int32_t index = 0; index < count; ++index) {
        const bool differs = m_vTileDiffers[index] != 0;
        if (differs) m_bChangedSinceRefresh = true;
        if (differs || !m_vSentOnce[index] || fullRefresh) {
            m_vSelected.push_back(index);
            m_vDiffers.push_back(differs ? 1 : 0);
        }
    }
}

int CScreenUpEngine::RunCycle(const PixelView& canvas, IFrameSink& sink) {
    if (!IsValid() || canvas.Empty() || canvas.width < m_grid.width ||
        canvas.height < m_grid.height) {
        return 0;
    }
    ++m_nCycle;
    const bool fullRefresh = m_nCycle % kFullRefreshPeriod == 0;
    SelectTiles(canvas, fullRefresh);
    if (m_vSelected.empty()) return 0;
    // A refresh with no change since the last one sent would go nowhere.
    if (fullRefresh && !m_bChangedSinceRefresh) return 0;

    const size_t selected = m_vSelected.size();
    const size_t perFrameLimit = MaxTilesPerFrame();
    const size_t frames = (selected + perFrameLimit - 1) / perFrameLimit;
    const size_t perFrame = (selected + frames - 1) / frames;
    bool allSent = true;
    int handedOver = 0;
    for (size_t first = 0; first < selected; first += perFrame) {
        const size_t count = selected - first < perFrame ? selected - first : perFrame;
        CPacket frame;
        if (!BuildFrame(canvas, first, count, frame)) {
            allSent = false;
            continue;
        }
        ++handedOver;
        if (!sink.HandOver(frame, fullRefresh)) allSent = false;
    }
    if (fullRefresh && allSent) m_bChangedSinceRefresh = false;
    return handedOver;
}

void CScreenUpEngine::CopyTiles(const PixelView& canvas, size_t first, size_t count) {
    const size_t stripStride = m_nTileRowBytes * count;
    for (size_t k = 0; k < count; ++k) {
        const int32_t index = m_vSelected[first + k];
        const int left = m_grid.TileLeft(index);
        const int top = m_grid.TileTop(index);
        uint8_t* strip = m_vStrip.data() + k * m_nTileRowBytes;
        const bool changed = m_vDiffers[first + k] != 0;
        const size_t offset = static_cast<size_t>(left) * PixelView::kBytesPerPixel;
        for (int y = 0; y < m_grid.tileHeight; ++y) {
            const uint8_t* now = canvas.Row(top + y) + offset;
            std::memcpy(strip + y * stripStride, now, m_nTileRowBytes);
            if (changed) std::memcpy(LastSentRow(top + y) + offset, now, m_nTileRowBytes);
        }
        // Sent once even if the frame is dropped: the full refresh repairs that.
        m_vSentOnce[index] = 1;
    }
}

bool CScreenUpEngine::BuildFrame(const PixelView& canvas, size_t first, size_t count,
                                 CPacket& frame) {
    const size_t stripStride = m_nTileRowBytes * count;
    const size_t stripBytes = stripStride * static_cast<size_t>(m_grid.tileHeight);
    if (m_vStrip.size() < stripBytes) m_vStrip.resize(stripBytes);
    CopyTiles(canvas, first, count);

    PixelView strip;
    strip.pixels = m_vStrip.data();
    strip.width = static_cast<int>(count) * m_grid.tileWidth;
    strip.height = m_grid.tileHeight;
    strip.stride = static_cast<ptrdiff_t>(stripStride);
    // A strip that does not encode still goes out, with an empty picture.
    if (!m_encoder.EncodeJpeg(strip, kJpegQuality, m_vJpeg)) m_vJpeg.clear();

    m_vBlock.clear();
    AppendFrameBlock(m_vBlock, m_vSelected.data() + first, count, m_vJpeg.data(), m_vJpeg.size());
    const uLong blockBytes = static_cast<uLong>(m_vBlock.size());
    const uLong bound = compressBound(blockBytes);
    if (m_vCompressed.size() < bound) m_vCompressed.resize(bound);
    uLongf compressed = bound;
    if (compress2(m_vCompressed.data(), &compressed, m_vBlock.data(), blockBytes, kZlibLevel) !=
        Z_OK) {
        return false;
    }
    frame = CPacket(static_cast<uint32_t>(compressed), m_vCompressed.data(),
                    static_cast<int32_t>(blockBytes), static_cast<int32_t>(m_nFrameCounter));
    ++m_nFrameCounter;
    return true;
}

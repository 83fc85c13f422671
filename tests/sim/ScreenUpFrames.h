// Screen-up frames for the sim's tests, made with the sim's own encoder, and the same
// frames taken apart and put together again with one thing wrong.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <vector>

#include "media/FrameEncoder.h"
#include "media/SyntheticDesktop.h"
#include "protocol/Packet.h"
#include "remote/FrameBlock.h"
#include "remote/TileGrid.h"

namespace screenup_frames {

// A frame's parts: the indices and the JPEG strip.
struct FrameParts {
    std::vector<int32_t> indices;
    std::vector<uint8_t> jpeg;
};

// An honest frame of the listed tiles of a desktop, cut by the given grid (not
// necessarily the desktop's), numbered by the encoder; parts gets its block's parts.
inline CPacket EncodeTiles(CFrameEncoder& encoder, const CSyntheticDesktop& desktop,
                           const TileGrid& grid, const std::vector<int32_t>& tiles,
                           FrameParts* parts = nullptr) {
    CPacket packet;
    size_t taken = 0;
    if (!encoder.EncodeFrame(desktop.Pixels(), desktop.Width(), desktop.Height(), desktop.Stride(),
                             grid, tiles, packet, &taken) ||
        taken != tiles.size())
        return CPacket();
    if (parts) {
        FrameBlockView view;
        const std::vector<uint8_t>& block = encoder.LastBlock();
        if (ParseFrameBlock(block.data(), block.size(), view)) {
            parts->indices = view.indices;
            parts->jpeg.assign(view.image, view.image + view.imageLength);
        }
    }
    return packet;
}

// A block of the given parts, its leading length field moved by lengthDelta.
inline std::vector<uint8_t> Block(const std::vector<int32_t>& indices,
                                  const std::vector<uint8_t>& jpeg, int32_t lengthDelta = 0) {
    std::vector<uint8_t> block;
    AppendFrameBlock(block, indices.data(), indices.size(), jpeg.data(), jpeg.size());
    PutU32At(block.data(), uint32_t(int64_t(GetU32(block.data())) + lengthDelta));
    return block;
}

// The block deflated into a frame packet whose uncompressed length is moved by
// uncompressedDelta.
inline CPacket Pack(const std::vector<uint8_t>& block, int32_t number,
                    int32_t uncompressedDelta = 0) {
    uLongf size = compressBound(uLong(block.size()));
    std::vector<uint8_t> deflated(size);
    if (compress2(deflated.data(), &size, block.data(), uLong(block.size()), 1) != Z_OK)
        return CPacket();
    return CPacket(uint32_t(size), deflated.data(), int32_t(block.size()) + uncompressedDelta,
                   number);
}

// Every tile of the grid, and every step-th one.
inline std::vector<int32_t> Tiles(const TileGrid& grid, int step = 1) {
    std::vector<int32_t> tiles;
    for (int32_t t = 0; t < grid.Count(); t += step) tiles.push_back(t);
    return tiles;
}

}  // namespace screenup_frames

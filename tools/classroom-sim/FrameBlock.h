#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class CPacket;

// The frame block carried, deflated, by a frame packet (integers 32-bit LE):
//   block length (this field included), tile count N, N tile indices, image length L,
//   L bytes of the strip image.
struct FrameBlock {
    std::vector<uint32_t> indices;
    std::vector<uint8_t> image;
};

// The block's bytes.
std::vector<uint8_t> EncodeFrameBlock(const FrameBlock& block);
// Parses block bytes; false when a count or length runs past the end (nothing is read
// or allocated beyond the given bytes).
bool DecodeFrameBlock(const uint8_t* data, size_t size, FrameBlock& block);

// A frame packet (type 12) carrying the block bytes deflated with zlib.
CPacket MakeFramePacket(const std::vector<uint8_t>& blockBytes, int32_t frameNumber);
// Inflates a frame packet's data into exactly its uncompressed length; false when the
// length is out of range or the data do not inflate to it.
bool InflateFramePacket(const CPacket& packet, std::vector<uint8_t>& blockBytes);

// A block whose tile count and image length claim far more than it holds: a reader
// that trusts them reads or allocates past the block.
std::vector<uint8_t> LyingFrameBlock();

#pragma once

#include <cstdint>
#include <vector>

class CPacket;

// A frame packet (type 12) carrying the block bytes deflated with zlib.
CPacket MakeFramePacket(const std::vector<uint8_t>& blockBytes, int32_t frameNumber);
// Inflates a frame packet's data into exactly its uncompressed length; false when the
// length is out of range or the data do not inflate to it.
bool InflateFramePacket(const CPacket& packet, std::vector<uint8_t>& blockBytes);

// A frame block whose tile count and image length claim far more than it holds: a
// reader that trusts them reads or allocates past the block.
std::vector<uint8_t> LyingFrameBlock();

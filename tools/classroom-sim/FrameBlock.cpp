#include "FrameBlock.h"

#include <zlib.h>

#include "protocol/Packet.h"

namespace {

constexpr size_t kU32 = 4;
constexpr int kDeflateLevel = 9;
// A frame never inflates beyond this (a full 4K screen of raw pixels, with room).
constexpr uint32_t kMaxInflatedSize = 64u * 1024 * 1024;
// Counts of the lying block: far beyond the few bytes that follow them.
constexpr uint32_t kLyingTileCount = 0x10000000;
constexpr uint32_t kLyingImageLength = 0x7FFFFFF0;
constexpr uint32_t kLyingIndicesPresent = 2;

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}

uint32_t GetU32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

}  // namespace

std::vector<uint8_t> EncodeFrameBlock(const FrameBlock& block) {
    std::vector<uint8_t> out;
    uint32_t total = uint32_t(3 * kU32 + kU32 * block.indices.size() + block.image.size());
    out.reserve(total);
    PutU32(out, total);
    PutU32(out, uint32_t(block.indices.size()));
    for (uint32_t i : block.indices) PutU32(out, i);
    PutU32(out, uint32_t(block.image.size()));
    out.insert(out.end(), block.image.begin(), block.image.end());
    return out;
}

bool DecodeFrameBlock(const uint8_t* data, size_t size, FrameBlock& block) {
    block = FrameBlock();
    if (size < 2 * kU32) return false;
    uint32_t count = GetU32(data + kU32);
    size_t pos = 2 * kU32;
    if (count > (size - pos) / kU32) return false;
    block.indices.reserve(count);
    for (uint32_t i = 0; i < count; ++i, pos += kU32) block.indices.push_back(GetU32(data + pos));
    if (size - pos < kU32) return false;
    uint32_t length = GetU32(data + pos);
    pos += kU32;
    if (length > size - pos) return false;
    block.image.assign(data + pos, data + pos + length);
    return true;
}

CPacket MakeFramePacket(const std::vector<uint8_t>& blockBytes, int32_t frameNumber) {
    uLongf bound = compressBound(uLong(blockBytes.size()));
    std::vector<uint8_t> z(bound);
    if (compress2(z.data(), &bound, blockBytes.data(), uLong(blockBytes.size()), kDeflateLevel) !=
        Z_OK)
        bound = 0;
    return CPacket(uint32_t(bound), z.data(), int32_t(blockBytes.size()), frameNumber);
}

bool InflateFramePacket(const CPacket& packet, std::vector<uint8_t>& blockBytes) {
    blockBytes.clear();
    if (packet.m_nUncompressedLength < 0 ||
        uint32_t(packet.m_nUncompressedLength) > kMaxInflatedSize)
        return false;
    blockBytes.resize(size_t(packet.m_nUncompressedLength));
    uLongf length = uLongf(blockBytes.size());
    int r =
        uncompress(blockBytes.data(), &length, packet.m_vData.data(), uLong(packet.m_vData.size()));
    if (r != Z_OK || length != blockBytes.size()) {
        blockBytes.clear();
        return false;
    }
    return true;
}

std::vector<uint8_t> LyingFrameBlock() {
    std::vector<uint8_t> out;
    PutU32(out, uint32_t(4 * kU32 + kLyingIndicesPresent * kU32));
    PutU32(out, kLyingTileCount);
    for (uint32_t i = 0; i < kLyingIndicesPresent; ++i) PutU32(out, i);
    PutU32(out, kLyingImageLength);
    return out;
}

#include "FramePacket.h"

#include <zlib.h>

#include "remote/FrameBlock.h"
#include "protocol/Packet.h"

namespace {

constexpr int kDeflateLevel = 9;
// A frame never inflates beyond this (a full 4K screen of raw pixels, with room).
constexpr uint32_t kMaxInflatedSize = 64u * 1024 * 1024;
// Counts of the lying block: far beyond the few bytes that follow them.
constexpr uint32_t kLyingTileCount = 0x10000000;
constexpr uint32_t kLyingImageLength = 0x7FFFFFF0;
constexpr size_t kTileCountOffset = 4;
constexpr int32_t kLyingIndices[] = {0, 1};
constexpr uint8_t kLyingImage[] = {0xFF, 0xD8};

}  // namespace

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
    constexpr size_t kCount = sizeof(kLyingIndices) / sizeof(kLyingIndices[0]);
    AppendFrameBlock(out, kLyingIndices, kCount, kLyingImage, sizeof(kLyingImage));
    PutU32At(out.data() + kTileCountOffset, kLyingTileCount);
    PutU32At(out.data() + kTileCountOffset + 4 + 4 * kCount, kLyingImageLength);
    return out;
}

// One remote frame from the fuzz input through the whole applier: the first bytes pick
// the tiling, the frame's announced length and whether the rest is deflated first, so
// both the inflate checks and the block reader see arbitrary bytes. Whatever arrives,
// nothing is read or written outside the buffers, and a placed tile lies inside the
// frame buffer.

#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "protocol/Packet.h"
#include "remote/FrameApplier.h"

namespace {

constexpr int kTargetWidth = 97;
constexpr int kTargetHeight = 61;

void Check(bool condition) {
    if (!condition) std::abort();
}

// Touches every pixel of the strip it is given, as a real decoder may.
class CFillingDecoder : public IImageDecoder {
  public:
    bool DecodeInto(const uint8_t* data, size_t size, const PixelView& strip) override {
        Check(size == 0 || data != nullptr);
        if (size > 0 && (data[0] & 1) != 0) return false;
        for (int y = 0; y < strip.height; ++y)
            std::memset(strip.Row(y), 0x5A, size_t(strip.width) * PixelView::kBytesPerPixel);
        return true;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 5) return 0;
    FrameGeometry geometry;
    geometry.tileWidth = data[0] % 40;
    geometry.tileHeight = data[1] % 40;
    geometry.monitorWidth = data[2] * 2;
    const uint8_t mode = data[3];
    const uint8_t* rest = data + 4;
    const size_t restSize = size - 4;

    std::vector<uint8_t> stream;
    int32_t announced = 0;
    if ((mode & 1) != 0) {
        // The rest is the block itself; the announced length is the truth or a lie.
        uLongf bound = compressBound(uLong(restSize));
        stream.resize(bound);
        if (compress2(stream.data(), &bound, rest, uLong(restSize), 1) != Z_OK) return 0;
        stream.resize(bound);
        announced = (mode & 2) != 0 ? int32_t(restSize) : int32_t(restSize) + int8_t(mode >> 2);
    } else {
        // The rest is the stream as it came off the wire.
        stream.assign(rest, rest + restSize);
        announced = int32_t(uint32_t(mode) << 10);
    }
    const CPacket frame(uint32_t(stream.size()), stream.data(), announced, 1);

    CFrameApplier applier;
    CFillingDecoder decoder;
    const bool placeable = applier.Prepare(frame, geometry, decoder);
    std::vector<uint8_t> buffer(size_t(kTargetWidth) * kTargetHeight * 4, 0);
    PixelView target{buffer.data(), kTargetWidth, kTargetHeight, ptrdiff_t(kTargetWidth) * 4};
    std::vector<TileRect> changed;
    const int placed = applier.PlaceTiles(target, &changed);
    Check(placeable || placed == 0);
    Check(size_t(placed) == changed.size());
    for (const TileRect& r : changed) {
        Check(r.x >= 0 && r.y >= 0 && r.width > 0 && r.height > 0);
        Check(r.x + r.width <= kTargetWidth && r.y + r.height <= kTargetHeight);
    }
    return 0;
}

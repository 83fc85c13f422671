#include "remote/FrameBlock.h"

void PutU32At(uint8_t* at, uint32_t value) {
    at[0] = uint8_t(value);
    at[1] = uint8_t(value >> 8);
    at[2] = uint8_t(value >> 16);
    at[3] = uint8_t(value >> 24);
}

void PutU32(std::vector<uint8_t>& out, uint32_t value) {
    uint8_t bytes[4];
    PutU32At(bytes, value);
    out.insert(out.end(), bytes, bytes + 4);
}

uint32_t GetU32(const uint8_t* at) {
    return uint32_t(at[0]) | uint32_t(at[1]) << 8 | uint32_t(at[2]) << 16 | uint32_t(at[3]) << 24;
}

void AppendFrameBlock(std::vector<uint8_t>& out, const int32_t* indices, size_t count,
                      const uint8_t* image, size_t imageLength) {
    const size_t total = kFrameBlockFixedBytes + kFrameBlockIndexBytes * count + imageLength;
    out.reserve(out.size() + total);
    PutU32(out, uint32_t(total));
    PutU32(out, uint32_t(count));
    for (size_t i = 0; i < count; ++i) PutU32(out, uint32_t(indices[i]));
    PutU32(out, uint32_t(imageLength));
    if (imageLength > 0) out.insert(out.end(), image, image + imageLength);
}

bool ParseFrameBlock(const uint8_t* data, size_t size, FrameBlockView& out) {
    out = FrameBlockView();
    if (size < 2 * kFrameBlockIndexBytes) return false;
    out.declaredLength = GetU32(data);
    const uint32_t count = GetU32(data + 4);
    size_t pos = 8;
    // Compare against what is left before multiplying, so a huge count cannot wrap.
    if (count > (size - pos) / kFrameBlockIndexBytes) return false;
    out.indices.resize(count);
    for (uint32_t i = 0; i < count; ++i, pos += kFrameBlockIndexBytes) {
        out.indices[i] = int32_t(GetU32(data + pos));
    }
    if (size - pos < kFrameBlockIndexBytes) return false;
    const uint32_t imageLength = GetU32(data + pos);
    pos += kFrameBlockIndexBytes;
    if (imageLength > size - pos) return false;
    out.image = data + pos;
    out.imageLength = imageLength;
    return true;
}

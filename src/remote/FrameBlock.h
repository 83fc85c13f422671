#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The block a frame packet carries once inflated; every integer 32-bit little-endian:
//   0        block length in bytes, this field included
//   4        tile count N
//   8        N tile indices, in strip order
//   8 + 4N   image length L
//   12 + 4N  L bytes: the strip, N tiles side by side, as a JPEG image
// So the block length is 12 + 4N + L.
constexpr size_t kFrameBlockFixedBytes = 12;
constexpr size_t kFrameBlockIndexBytes = 4;

// The fields of a received block. The image points into the parsed bytes.
struct FrameBlockView {
    uint32_t declaredLength = 0;
    std::vector<int32_t> indices;
    const uint8_t* image = nullptr;
    size_t imageLength = 0;
};

// Appends a block with the given indices and image.
void AppendFrameBlock(std::vector<uint8_t>& out, const int32_t* indices, size_t count,
                      const uint8_t* image, size_t imageLength);

// Reads a block from size bytes. False when a count or length points beyond the bytes
// (nothing is read or allocated beyond them); the declared block length is reported
// but not trusted.
bool ParseFrameBlock(const uint8_t* data, size_t size, FrameBlockView& out);

// Little-endian helpers shared by the media code.
void PutU32(std::vector<uint8_t>& out, uint32_t value);
void PutU32At(uint8_t* at, uint32_t value);
uint32_t GetU32(const uint8_t* at);

// A view of 32-bit pixels (blue, green, red, unused) owned by someone else. The stride
// is the distance from one row to the next in bytes and may be negative: a bottom-up
// Windows bitmap is a view that starts at its last row, so no caller flips rows.
#pragma once

#include <cstddef>
#include <cstdint>

struct PixelView {
    uint8_t* pixels = nullptr;  // row 0, the top row
    int width = 0;
    int height = 0;
    ptrdiff_t stride = 0;

    static constexpr int kBytesPerPixel = 4;
    uint8_t* Row(int y) const { return pixels + static_cast<ptrdiff_t>(y) * stride; }
    bool Empty() const { return pixels == nullptr || width < 1 || height < 1; }
};

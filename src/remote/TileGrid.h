#pragma once

#include <cstdint>

// The tile grid both ends of a frame stream agree on. A tile index counts tiles row
// by row: index = row * Columns() + column. The receiver computes the columns as
// width / tileWidth (integer division), so a right-hand remainder narrower than a tile
// cannot be addressed; the bottom row may be partial and is clipped by the receiver.
struct TileGrid {
    int width = 0;
    int height = 0;
    int tileWidth = 0;
    int tileHeight = 0;

    // The grid the pad uses for a screen of this size (see TileLengthFor).
    static TileGrid ForScreen(int width, int height);

    bool IsValid() const {
        return width > 0 && height > 0 && tileWidth > 0 && tileHeight > 0 && Columns() > 0;
    }
    int Columns() const { return tileWidth > 0 ? width / tileWidth : 0; }
    int Rows() const { return tileHeight > 0 ? (height + tileHeight - 1) / tileHeight : 0; }
    int Count() const { return Columns() * Rows(); }
    int TileLeft(int32_t index) const { return (index % Columns()) * tileWidth; }
    int TileTop(int32_t index) const { return (index / Columns()) * tileHeight; }
};

// Tile edge for one screen dimension: halve the length while it is at least 200 and
// even, stopping as soon as it drops below 200. 1920 gives 120, 1080 gives 135,
// 1366 gives 683, 768 gives 192; lengths below 200 stay as they are.
int TileLengthFor(int screenLength);

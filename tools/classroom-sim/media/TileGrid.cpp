#include "media/TileGrid.h"

namespace {
// Tiles are halved until they are smaller than this.
constexpr int kTileHalvingLimit = 200;
}  // namespace

int TileLengthFor(int screenLength) {
    int length = screenLength;
    if (length < kTileHalvingLimit) return length;
    while (length % 2 == 0) {
        length /= 2;
        if (length < kTileHalvingLimit) break;
    }
    return length;
}

TileGrid TileGrid::ForScreen(int width, int height) {
    TileGrid grid;
    grid.width = width;
    grid.height = height;
    grid.tileWidth = TileLengthFor(width);
    grid.tileHeight = TileLengthFor(height);
    return grid;
}

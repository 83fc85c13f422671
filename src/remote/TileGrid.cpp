#include "remote/TileGrid.h"

#include "panel/PanelGeometry.h"

// The pad's own tiling rule, so both ends of a stream always agree on it.
int TileLengthFor(int screenLength) { return tavrel::HalvedTileEdge(screenLength); }

TileGrid TileGrid::ForScreen(int width, int height) {
    TileGrid grid;
    grid.width = width;
    grid.height = height;
    grid.tileWidth = TileLengthFor(width);
    grid.tileHeight = TileLengthFor(height);
    return grid;
}

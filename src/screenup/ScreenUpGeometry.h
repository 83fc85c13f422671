// Where the captured screen lands on the canvas whose tiles are sent, and the grid of
// those tiles.
#pragma once

#include "remote/TileGrid.h"

struct FitRect {
    int x = 0, y = 0, width = 0, height = 0;
    bool operator==(const FitRect& o) const {
        return x == o.x && y == o.y && width == o.width && height == o.height;
    }
};

// The capture (captureWidth x captureHeight) scaled into the target keeping its
// proportions: full target width and centred vertically when the capture is at least
// as wide in proportion (compared in floating point), otherwise full height and centred
// horizontally. Sizes and offsets are truncated. A size below 1 gives an empty rect.
FitRect FitCapture(int captureWidth, int captureHeight, int targetWidth, int targetHeight);

// The tiles of a target: edges halved while at least 200 and even (TileLengthFor),
// columns and rows by integer division. Such a tile always divides its edge exactly.
TileGrid ScreenUpGrid(int targetWidth, int targetHeight);

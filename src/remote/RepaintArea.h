// Which part of the viewer to repaint after a frame, and which part of the frame
// buffer a repainted window rectangle shows. The viewer stretches the frame buffer
// over the whole window; repainting only where tiles changed keeps a frame with a
// tenth of its tiles changed at a tenth of the stretching work. Rectangles are laid
// on a grid where window and frame pixels line up exactly (for 1920 -> 1024 every 8
// window pixels are 15 frame pixels), so pieces stretched apart meet without seams.
#pragma once

#include "remote/FrameApplier.h"

#include <vector>

struct PaintRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    bool operator==(const PaintRect& o) const {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
    bool Empty() const { return right <= left || bottom <= top; }
};

struct StretchSizes {
    int frameWidth = 0, frameHeight = 0;
    int windowWidth = 0, windowHeight = 0;
    bool Valid() const {
        return frameWidth > 0 && frameHeight > 0 && windowWidth > 0 && windowHeight > 0;
    }
};

// The window rectangles that show the changed frame rectangles, widened outward to
// the grid and clipped to the window. Empty for invalid sizes.
std::vector<PaintRect> WindowRectsForTiles(const std::vector<TileRect>& changed,
                                           const StretchSizes& sizes);

// A window rectangle widened outward to the grid and clipped to the window.
PaintRect AlignToGrid(const PaintRect& window, const StretchSizes& sizes);

// The frame rectangle (top-down rows) that a grid-aligned window rectangle shows.
PaintRect FrameRectFor(const PaintRect& window, const StretchSizes& sizes);

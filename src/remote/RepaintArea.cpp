#include "remote/RepaintArea.h"

#include <algorithm>
#include <cstdint>
#include <numeric>

namespace {

// Window pixels per grid step along one axis: window / gcd(frame, window).
int WindowStep(int frame, int window) { return window / std::gcd(frame, window); }

int FloorToStep(int64_t value, int step) { return static_cast<int>(value / step * step); }

int CeilToStep(int64_t value, int step) {
    return static_cast<int>((value + step - 1) / step * step);
}

// A coordinate along an axis of size `from` carried to an axis of size `to`, rounded
// down or up (coordinates are never negative here).
int64_t ScaleFloor(int64_t value, int from, int to) { return value * to / from; }
int64_t ScaleCeil(int64_t value, int from, int to) { return (value * to + from - 1) / from; }

}  // namespace

PaintRect AlignToGrid(const PaintRect& window, const StretchSizes& s) {
    if (!s.Valid() || window.Empty()) return {};
    const int stepX = WindowStep(s.frameWidth, s.windowWidth);
    const int stepY = WindowStep(s.frameHeight, s.windowHeight);
    PaintRect r;
    r.left = std::max(0, FloorToStep(std::max(window.left, 0), stepX));
    r.top = std::max(0, FloorToStep(std::max(window.top, 0), stepY));
    r.right = std::min(s.windowWidth, CeilToStep(std::max(window.right, 0), stepX));
    r.bottom = std::min(s.windowHeight, CeilToStep(std::max(window.bottom, 0), stepY));
    return r.Empty() ? PaintRect{} : r;
}

std::vector<PaintRect> WindowRectsForTiles(const std::vector<TileRect>& changed,
                                           const StretchSizes& s) {
    std::vector<PaintRect> rects;
    if (!s.Valid()) return rects;
    rects.reserve(changed.size());
    for (const TileRect& t : changed) {
        if (t.width <= 0 || t.height <= 0) continue;
        PaintRect w;
        w.left = int(ScaleFloor(t.x, s.frameWidth, s.windowWidth));
        w.top = int(ScaleFloor(t.y, s.frameHeight, s.windowHeight));
        w.right = int(ScaleCeil(int64_t{t.x} + t.width, s.frameWidth, s.windowWidth));
        w.bottom = int(ScaleCeil(int64_t{t.y} + t.height, s.frameHeight, s.windowHeight));
        const PaintRect aligned = AlignToGrid(w, s);
        if (!aligned.Empty()) rects.push_back(aligned);
    }
    return rects;
}

PaintRect FrameRectFor(const PaintRect& window, const StretchSizes& s) {
    if (!s.Valid() || window.Empty()) return {};
    PaintRect f;
    f.left = int(ScaleFloor(window.left, s.windowWidth, s.frameWidth));
    f.top = int(ScaleFloor(window.top, s.windowHeight, s.frameHeight));
    f.right = int(ScaleCeil(window.right, s.windowWidth, s.frameWidth));
    f.bottom = int(ScaleCeil(window.bottom, s.windowHeight, s.frameHeight));
    f.right = std::min(f.right, s.frameWidth);
    f.bottom = std::min(f.bottom, s.frameHeight);
    return f;
}

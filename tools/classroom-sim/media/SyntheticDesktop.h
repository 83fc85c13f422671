#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "remote/TileGrid.h"

// An animated stand-in for the lectern PC's screen: a static wallpaper with icons and
// a task bar, a window that drifts and bounces, a clock in the task bar that ticks
// one second per step, and a notes panel whose text scrolls up. Element sizes follow
// the screen size, so about a tenth of the tiles of a 1920 x 1080 screen change per
// step. Each monitor of the simulated lectern PC has its own desktop; the variant
// gives it its own colours.
//
// Pixels are 8-bit RGB, rows top-down, no padding (stride = width * 3).
class CSyntheticDesktop {
  public:
    static constexpr int kBytesPerPixel = 3;
    static constexpr int kDefaultWidth = 1920;
    static constexpr int kDefaultHeight = 1080;

    explicit CSyntheticDesktop(int width = kDefaultWidth, int height = kDefaultHeight,
                               int variant = 0);

    int Width() const { return m_nWidth; }
    int Height() const { return m_nHeight; }
    size_t Stride() const { return size_t(m_nWidth) * kBytesPerPixel; }
    const uint8_t* Pixels() const { return m_vPixels.data(); }
    uint64_t StepCount() const { return m_nStep; }

    // Advances the animation by count steps and redraws the picture.
    void Step(int count = 1);

    // The tile grid used for change tracking; the pad's grid for this size by default.
    // Setting another grid makes every tile count as changed.
    const TileGrid& Grid() const { return m_grid; }
    void SetGrid(const TileGrid& grid);

    // Indices of the tiles whose pixels differ from when they were last taken, in
    // index order; every tile the first time. Taking them marks them as seen.
    std::vector<int32_t> TakeChangedTiles();
    // Makes every tile count as changed at the next take (a full refresh).
    void MarkAllChanged() { m_bAllChanged = true; }

  private:
    struct Rect {
        int x, y, w, h;
    };

    void DrawWallpaper();
    void Render();
    void DrawWindow(const Rect& r);
    void DrawNotesPanel(const Rect& r);
    void DrawClock(int x, int y);
    void FillRect(int x, int y, int w, int h, uint32_t rgb);
    void FillRectClipped(const Rect& clip, int x, int y, int w, int h, uint32_t rgb);
    void DrawGlyph(char c, int x, int y, int scale, uint32_t rgb);
    int Scaled(int designPixels) const;
    bool TileDiffers(int32_t index) const;
    void CopyTileToShadow(int32_t index);

    int m_nWidth;
    int m_nHeight;
    int m_nVariant;
    uint64_t m_nStep = 0;
    double m_dScale;
    int m_nWindowX, m_nWindowY;
    int m_nVelocityX, m_nVelocityY;
    TileGrid m_grid;
    bool m_bAllChanged = true;
    std::vector<uint8_t> m_vWallpaper;
    std::vector<uint8_t> m_vPixels;
    std::vector<uint8_t> m_vShadow;  // the pixels as last taken
};

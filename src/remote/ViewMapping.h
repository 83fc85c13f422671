// How a point of the full-screen viewer window stands for a point of the lectern PC's
// screen. The viewer shows either the whole remote screen or one of its monitors; the
// mapping scales window pixels to remote pixels and shifts them into the monitor's
// place on the lectern PC's virtual screen.
#pragma once

#include "panel/RemoteScreen.h"

#include <cstdint>

struct RemotePoint {
    int32_t x = 0;
    int32_t y = 0;
    bool operator==(const RemotePoint& o) const { return x == o.x && y == o.y; }
    bool operator!=(const RemotePoint& o) const { return !(*this == o); }
};

class CViewMapping {
  public:
    // Shows the whole screen (monitor = CRemoteScreen::kWholeScreen) or the selected
    // monitor of `screen` in a window of width x height, and remembers it as the view
    // in force. A window without area keeps the scale and offsets it had.
    void ApplyView(const CRemoteScreen& screen, int monitor, int width, int height);
    // The window changed size: the view in force is applied again. Re-applying only
    // the whole-screen scale would pair it with a monitor's offsets and point at the
    // wrong place once a monitor is shown.
    void Resize(const CRemoteScreen& screen, int width, int height);

    // The remote point of a window point: scaled with truncation toward zero, then
    // shifted, clamped to the int32 range. Once closing started points pass unchanged.
    RemotePoint Map(int32_t x, int32_t y) const;

    // Closing started: pointer coordinates are no longer mapped.
    void StartClosing() { m_bScaleInput = false; }
    bool Scaling() const { return m_bScaleInput; }

    int ViewInForce() const { return m_nView; }
    double ScaleX() const { return m_dScaleX; }
    double ScaleY() const { return m_dScaleY; }
    int32_t OffsetX() const { return m_nOffsetX; }
    int32_t OffsetY() const { return m_nOffsetY; }

  private:
    int m_nView = CRemoteScreen::kWholeScreen;
    bool m_bScaleInput = true;
    double m_dScaleX = 1.0;
    double m_dScaleY = 1.0;
    int32_t m_nOffsetX = 0;
    int32_t m_nOffsetY = 0;
};

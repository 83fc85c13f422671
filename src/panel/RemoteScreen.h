// What the pad knows of the lectern PC's screen and program: its version, its last
// sign of life, the size and tiling of its frames and the monitor shown. The session
// fills it from the lectern PC's reports; the remote session's threads read it, so the
// one value they also write (the last sign of life) is atomic.
#pragma once

#include "protocol/PeerContract.h"

#include <atomic>
#include <cstdint>
#include <string>

// A rectangle as the lectern PC reports it: left, top, right, bottom.
struct ScreenRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};

class CRemoteScreen {
  public:
    // The frames of the lectern PC always carry 32 bits per pixel.
    static constexpr int kFrameBitsPerPixel = 32;
    // The whole screen is shown, no single monitor.
    static constexpr int kWholeScreen = -1;

    std::u16string m_strPeerVersion = kUnknownPeerVersion;
    // Wall-clock seconds of the last sign of life; 0 = never. Written by the main
    // dialog and by the remote session's receiving thread.
    std::atomic<long long> m_dtLastRecv{0};
    int m_nBitsPerPixel = kFrameBitsPerPixel;
    int m_nScreenWidth = 0;
    int m_nScreenHeight = 0;
    int m_nOriginX = 0;
    int m_nOriginY = 0;
    int m_nTileWidth = 0;
    int m_nTileHeight = 0;
    int m_nMonitorCount = 0;
    int m_nMonitor = kWholeScreen;  // 1-based
    ScreenRect m_rcMonitor;
};

// The remote session's reactions to the lectern PC's screen commands, as the
// receive-dispatch thread runs them: what the record learns, which windows are told,
// and when the frame buffer is made anew. The host carries out what needs a window;
// a recording fake stands in for it in the tests.
#pragma once

#include "panel/RemoteScreen.h"
#include "panel/SessionHost.h"

#include <cstdint>
#include <string>

// Frame buffers are not made larger than this on a peer's word; a bigger report is
// taken for a broken one.
inline constexpr int kLargestRemoteFrameEdge = 16384;

class IRemoteDispatchHost {
  public:
    virtual ~IRemoteDispatchHost() = default;
    virtual void PostMainDialog(unsigned message, uintptr_t wParam, intptr_t lParam) = 0;
    virtual void PostViewer(unsigned message, uintptr_t wParam, intptr_t lParam) = 0;
    // A black frame buffer of this size, at the record's bits per pixel.
    virtual void RecreateFrame(int width, int height) = 0;
    virtual void OpenTouchKeyboard() = 0;
    // Wall-clock time in whole seconds.
    virtual long long NowSeconds() = 0;
    virtual PadScreenSize PrimaryScreen() = 0;
};

// lParam of a size message: width in the low word, height in the high word.
intptr_t SizeLParam(int width, int height);

class CRemoteDispatch {
  public:
    CRemoteDispatch(CRemoteScreen& screen, IRemoteDispatchHost& host)
        : m_screen(screen), m_host(host) {}

    // One received text command. False when it is none of the session's codes (or
    // too short to be a command): it is dropped then.
    bool OnText(const std::u16string& text);

  private:
    void OnScreenSize(const std::u16string& arguments);
    void OnStateReport(unsigned notice, const std::u16string& arguments);
    void OnTileSize(const std::u16string& arguments);
    void OnMonitors(const std::u16string& arguments);
    void OnOrigin(const std::u16string& arguments);
    void RecreateMonitorFrame();

    CRemoteScreen& m_screen;
    IRemoteDispatchHost& m_host;
};

// After the pad's own display changed: "[RC00010]" with the new size.
std::u16string DisplayChangeCommand(int width, int height);

// What a display change means for the frame geometry. Only lectern programs without
// monitor selection send frames at the pad's size and tiling; the others are untouched.
struct DisplayChangeGeometry {
    bool changeTiles = false;
    int tileWidth = 0;
    int tileHeight = 0;
    bool recreateFrame = false;  // at frameWidth x frameHeight, when its size differs
    int frameWidth = 0;
    int frameHeight = 0;
    // Whether a frame buffer of the current size (0 x 0 when there is none) must be
    // made anew.
    bool RecreateFor(int currentWidth, int currentHeight) const;
};
DisplayChangeGeometry GeometryAfterDisplayChange(const CRemoteScreen& screen, int width,
                                                 int height);

// Geometry of the floating control panel: the scale factor chosen from the screen,
// the design layout of its controls, docking, folding and unfolding. Pure arithmetic,
// so the Windows side only moves windows where these functions say.
#pragma once

#include "resources/resource.h"

#include <cstdint>
#include <string>

namespace tavrel {

// Control ids of the panel, under short names.
inline constexpr int kIdCaption = IDC_TITLE_TEXT;
inline constexpr int kIdClose = IDC_PANEL_CLOSE;
inline constexpr int kIdFold = IDC_PANEL_FOLD;
inline constexpr int kIdRemote = IDC_REMOTE_CONTROL;
inline constexpr int kIdKeyboard = IDC_TOUCH_KEYBOARD;
inline constexpr int kIdMonitor = IDC_CHANGE_MONITOR;
inline constexpr int kIdScreenUp = IDC_SCREEN_UP;
inline constexpr int kIdNoteTool = IDC_NOTE_TOOL;
inline constexpr int kIdSoundUp = IDC_SOUND_UP;
inline constexpr int kIdStudentTouch = IDC_STUDENT_TOUCH;
inline constexpr int kIdBroadcast = IDC_BROADCAST;

// Design sizes of the panel (multiplied by the scale factor, fraction dropped).
inline constexpr int kPanelWidth = 173;
inline constexpr int kPanelHeight = 279;
inline constexpr int kTitleStripHeight = 38;  // the strip the panel is dragged by
inline constexpr int kFoldedSize = 70;        // the folded mini button, square
inline constexpr int kBackdropX = 5;
inline constexpr int kBackdropY = 44;
inline constexpr int kBackdropWidth = 160;
inline constexpr int kBackdropHeight = 225;
inline constexpr int kCaptionFontHeight = 12;

// A tap on the folded panel opens it; a longer press drags it.
inline constexpr int64_t kTapLimitMs = 200;

// Scale factors by screen size: above 3000 pixels wide or tall, above 2000, or less.
inline constexpr float kScaleLarge = 2.0f;
inline constexpr float kScaleMedium = 1.4f;
inline constexpr float kScaleNormal = 1.0f;
inline constexpr int kLargeScreenEdge = 3000;
inline constexpr int kMediumScreenEdge = 2000;

// The factor for a primary screen of this size.
float ScaleFactorForScreen(int width, int height);
// The same, unless the "scalefactor" text of config.ini reads as a usable number.
float ChooseScaleFactor(int width, int height, const std::u16string& overrideText);

struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool operator==(const Rect& other) const {
        return left == other.left && top == other.top && right == other.right &&
               bottom == other.bottom;
    }
};

struct Point {
    int x = 0;
    int y = 0;
    bool operator==(const Point& other) const { return x == other.x && y == other.y; }
};

// One control of the panel: its design place, whether it keeps a checked state, its
// four pictures (normal, hover, disabled, checked) and its tooltip text id (0: none).
struct PanelControl {
    int id;
    int x, y, width, height;
    bool toggle;
    unsigned pictures[4];
    unsigned tooltip;
};

// The caption static, the two title buttons and the eight feature buttons, in the
// order they are created.
extern const PanelControl kPanelControls[];
extern const int kPanelControlCount;
// The control with this id, or null.
const PanelControl* FindPanelControl(int id);

// Design value × scale, fraction dropped.
int ScaleDesign(int design, float scale);
// The control's rectangle in client coordinates at this scale.
Rect ScaledControlRect(const PanelControl& control, float scale);

// Where the docked panel goes: flush with the right edge of the screen, at the top.
Rect DockedPanelRect(int screenWidth, float scale);

// Whether the panel needs docking again after a display change: its bottom-right
// corner is no longer on the screen.
bool CornerOffScreen(const Rect& window, int screenWidth, int screenHeight);

// Top-left corner of the expanded panel when the folded one at `folded` opens to the
// saved size: negative edges go to 0, and a window whose folded right (bottom) edge lies
// beyond screen size − saved size is moved to screen size − saved size.
Point UnfoldPosition(const Rect& folded, int savedWidth, int savedHeight, int screenWidth,
                     int screenHeight);

// Whether a client point belongs to the strip the panel is dragged by.
bool InDragStrip(int clientY, bool collapsed, float scale);

// Whether a press that lasted this many counter ticks was a tap.
bool IsTap(int64_t pressTicks, int64_t releaseTicks, int64_t ticksPerSecond);

// Tile edge of remote frames for lectern programs that do not report one: the pad's
// screen edge halved as long as it is at least 200 and even.
int HalvedTileEdge(int screenEdge);

}  // namespace tavrel

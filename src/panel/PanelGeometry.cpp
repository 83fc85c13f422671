#include "panel/PanelGeometry.h"

#include "resources/Pictures.h"
#include "resources/resource.h"
#include "shell/ScaleFactor.h"
#include "shell/SettingsValues.h"

namespace tavrel {

namespace {
constexpr int kMinHalvedTile = 200;
constexpr int64_t kMillisecondsPerSecond = 1000;
}  // namespace

// Positions are those of the expanded panel after log-in.
const PanelControl kPanelControls[] = {
    {kIdCaption, 6, 12, 159, 14, false, {0, 0, 0, 0}, 0},
    {kIdClose, 132, 0, 39, 34, false, {IDB_CLOSE, IDB_CLOSE, IDB_CLOSE, IDB_CLOSE}, 0},
    {kIdFold, 91, 0, 39, 34, true, {IDB_FOLD, IDB_FOLD, IDB_FOLD, IDB_FOLD_CHECKED}, 0},
    {kIdRemote,
     22,
     51,
     50,
     64,
     true,
     {IDB_REMOTE, IDB_REMOTE_HOVER, IDB_REMOTE_DISABLED, IDB_REMOTE_CHECKED},
     IDS_TIP_REMOTE_CONTROL},
    {kIdKeyboard,
     96,
     54,
     56,
     28,
     false,
     {IDB_KEYBOARD, IDB_KEYBOARD, IDB_KEYBOARD, IDB_KEYBOARD},
     IDS_TIP_TOUCH_KEYBOARD},
    {kIdMonitor,
     96,
     87,
     56,
     28,
     false,
     {IDB_MONITOR, IDB_MONITOR_HOVER, IDB_MONITOR, IDB_MONITOR},
     IDS_TIP_CHANGE_MONITOR},
    {kIdScreenUp,
     22,
     126,
     50,
     64,
     true,
     {IDB_SCREENUP, IDB_SCREENUP_HOVER, IDB_SCREENUP_DISABLED, IDB_SCREENUP_CHECKED},
     IDS_TIP_SCREEN_UP},
    {kIdNoteTool,
     96,
     126,
     56,
     28,
     false,
     {IDB_NOTETOOL, IDB_NOTETOOL, IDB_NOTETOOL, IDB_NOTETOOL},
     IDS_TIP_NOTE_TOOL},
    {kIdSoundUp,
     96,
     159,
     56,
     28,
     true,
     {IDB_SOUND, IDB_SOUND, IDB_SOUND, IDB_SOUND_CHECKED},
     IDS_TIP_SOUND_UP},
    {kIdStudentTouch,
     22,
     202,
     50,
     64,
     true,
     {IDB_STUDENT_TOUCH, IDB_STUDENT_TOUCH_HOVER, IDB_STUDENT_TOUCH_DISABLED,
      IDB_STUDENT_TOUCH_CHECKED},
     IDS_TIP_STUDENT_TOUCH},
    {kIdBroadcast,
     98,
     202,
     50,
     64,
     true,
     {IDB_BROADCAST, IDB_BROADCAST_HOVER, IDB_BROADCAST_DISABLED, IDB_BROADCAST_CHECKED},
     IDS_TIP_BROADCAST},
};
const int kPanelControlCount = static_cast<int>(sizeof(kPanelControls) / sizeof(kPanelControls[0]));

const PanelControl* FindPanelControl(int id) {
    for (const PanelControl& control : kPanelControls) {
        if (control.id == id) return &control;
    }
    return nullptr;
}

float ScaleFactorForScreen(int width, int height) {
    if (width > kLargeScreenEdge || height > kLargeScreenEdge) return kScaleLarge;
    if (width > kMediumScreenEdge || height > kMediumScreenEdge) return kScaleMedium;
    return kScaleNormal;
}

float ChooseScaleFactor(int width, int height, const std::u16string& overrideText) {
    const float configured = ParseScaleFactorOverride(overrideText);
    return configured != 0.0f ? configured : ScaleFactorForScreen(width, height);
}

int ScaleDesign(int design, float scale) { return ScaledBy(design, scale); }

Rect ScaledControlRect(const PanelControl& control, float scale) {
    Rect rect;
    rect.left = ScaleDesign(control.x, scale);
    rect.top = ScaleDesign(control.y, scale);
    rect.right = rect.left + ScaleDesign(control.width, scale);
    rect.bottom = rect.top + ScaleDesign(control.height, scale);
    return rect;
}

Rect DockedPanelRect(int screenWidth, float scale) {
    const int width = ScaleDesign(kPanelWidth, scale);
    return Rect{screenWidth - width, 0, screenWidth, ScaleDesign(kPanelHeight, scale)};
}

bool CornerOffScreen(const Rect& window, int screenWidth, int screenHeight) {
    return window.right > screenWidth || window.bottom > screenHeight;
}

Point UnfoldPosition(const Rect& folded, int savedWidth, int savedHeight, int screenWidth,
                     int screenHeight) {
    Point place{folded.left < 0 ? 0 : folded.left, folded.top < 0 ? 0 : folded.top};
    const int foldedRight = place.x + folded.Width();
    const int foldedBottom = place.y + folded.Height();
    if (foldedRight > screenWidth - savedWidth) place.x = screenWidth - savedWidth;
    if (foldedBottom > screenHeight - savedHeight) place.y = screenHeight - savedHeight;
    return place;
}

bool InDragStrip(int clientY, bool collapsed, float scale) {
    const int strip = ScaleDesign(collapsed ? kFoldedSize : kTitleStripHeight, scale);
    return clientY >= 0 && clientY < strip;
}

bool IsTap(int64_t pressTicks, int64_t releaseTicks, int64_t ticksPerSecond) {
    if (ticksPerSecond <= 0) return false;
    const int64_t elapsed = releaseTicks - pressTicks;
    return elapsed >= 0 && elapsed * kMillisecondsPerSecond < kTapLimitMs * ticksPerSecond;
}

int HalvedTileEdge(int screenEdge) {
    int edge = screenEdge;
    while (edge >= kMinHalvedTile && edge % 2 == 0) edge /= 2;
    return edge;
}

}  // namespace tavrel

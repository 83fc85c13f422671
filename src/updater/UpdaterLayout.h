// The updater window's geometry and timing, kept apart from the window so that the
// arithmetic is checked without Windows: the scale factor chosen from the screen, the
// design rectangles scaled by it, and the periods of the two timers.
#pragma once

#include <cstdint>
#include <string>

namespace tavrel {

// Design sizes in pixels at scale 1.
constexpr int kUpdaterDialogWidth = 564;
constexpr int kUpdaterDialogHeight = 354;
// The top band of the client area that paints darker and drags the window.
constexpr int kUpdaterHeaderHeight = 38;
// The picture framing the progress list.
constexpr int kUpdaterBackdropX = 13;
constexpr int kUpdaterBackdropY = 51;
constexpr int kUpdaterBackdropWidth = 541;
constexpr int kUpdaterBackdropHeight = 249;
// Title font height before scaling; one more for the English title.
constexpr int kUpdaterTitleFontHeight = 13;
// The progress list keeps this many lines; the oldest (at the bottom) go first.
constexpr int kUpdaterLogLineLimit = 500;

struct UpdaterRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

struct UpdaterLayout {
    int dialogWidth = 0;
    int dialogHeight = 0;
    UpdaterRect title;
    UpdaterRect list;
    UpdaterRect runNow;
    UpdaterRect backdrop;
    int headerHeight = 0;
    int titleFontHeight = 0;
};

// 2.0 when the screen is wider or taller than 3000 pixels, 1.4 when wider or taller
// than 2000, else 1.0.
float UpdaterScaleFactor(int screenWidth, int screenHeight);
// floor(design × scale), the product first rounded to a 32-bit float.
int UpdaterScaled(int design, float scale);
// Every rectangle of the window at this scale; `english` makes the title one pixel
// taller before scaling.
UpdaterLayout ComputeUpdaterLayout(float scale, bool english);
// Whether a client point lies in the header band (the window's caption).
bool InUpdaterHeader(int x, int y, int clientWidth, float scale);

// Periods of the updater's timers in milliseconds.
struct UpdaterPeriods {
    uint32_t firstAttemptMs = 500;  // start timer after the window opens
    uint32_t retryMs = 10000;       // start timer after a failed attempt
    uint32_t downloadMs = 10000;    // download timer between steps
};

// Reads "first,retry,download" (three decimal numbers of milliseconds, each 1 to
// 3 600 000, nothing else). False, leaving `periods` as it was, for anything else.
bool ParseUpdaterPeriods(const std::u16string& text, UpdaterPeriods& periods);

}  // namespace tavrel

// The note tool's portable rules: pen widths, the eraser's square, the overlay's monitor,
// the accepted settings, the palette's buttons and layout, and where a note is saved.
// The overlay and palette windows (the _win files) apply them; the unit tests check them.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace note {

constexpr int kToolDraw = 0, kToolErase = 4;
constexpr int kModeTouch = 0, kModeBoard = 1, kModeWhiteboard = 2;
constexpr int kWidthBeforeSize = 30;  // the overlay's width before a size is set
constexpr int kEraseSquare = 32;      // the eraser's square, centred on the pen
constexpr int kLiveEraseShiftX = 1, kLiveEraseShiftY = 2;  // the live eraser's copy offset
constexpr int kWhiteboardBorder = 15;                      // pen width of the cyan page border

struct NoteRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool operator==(const NoteRect& o) const;
};

// Draw: types 1-4 give 2, 5, 8, 11; erase: 32 for every type. A type outside 1-4 is read as 2.
int StrokeWidth(int tool, int sizeType);

// The 32 x 32 square centred on (x, y) (left = x-16, top = y-16), clipped at the left
// and top edges as the eraser clips it: if left < 0 the width shrinks by 16 - x and
// left = 0; same for top. Not clipped at the right/bottom (GDI clips there).
NoteRect EraseSquare(int x, int y);

// The overlay's monitor: the first display rectangle whose left edge is 0 and whose
// width is above 0; else (0, 0, primaryWidth, primaryHeight).
NoteRect ChooseOverlayRect(const std::vector<NoteRect>& displays, int primaryWidth,
                           int primaryHeight);

// Colours: buttons 1529..1536 hold 1315860, 230, 15073280, 15132390, 59110, 13382630,
// 58880, 13088539.
struct NoteColour {
    int buttonId;
    uint32_t value;
};
extern const NoteColour kColours[8];

uint32_t AcceptedColour(int64_t stored);  // one of the eight, else 230
int AcceptedSizeType(int64_t stored);     // 1..4, else 2
int ColourButton(uint32_t colour);        // the button of the colour; 1529 for any other
int SizeButton(int sizeType);             // 1525..1528 for 1..4 (2 -> 1526 for others)

// The palette's buttons, in creation order, with design sizes and places. The four
// images are in the order the image-setting operation takes them.
struct PaletteButton {
    int id;
    bool check;
    int width, height, x, y;
    int images[4];
    unsigned tooltip;
};
extern const PaletteButton kPaletteButtons[21];

// Scaled design length: design x scale, fraction dropped.
int ScaledLength(int design, float scale);

// Palette layout. Width 173s; height 410s in modes 1 and 2, 109s in mode 0.
// Default place (screenWidth - 173s, 280s). A palette not yet positioned goes to the
// default place. A positioned one keeps its place when the bottom-right corner
// (right, bottom) of its window rectangle (right and bottom exclusive, as GetWindowRect
// gives them) lies inside [0, screenWidth) x [0, screenHeight). A corner on the right or
// bottom edge counts as outside, so a palette at its default place is moved to the
// default place again (the same place). The kept place keeps x and y and takes the new
// size.
struct PalettePlace {
    int x, y, width, height;
    bool moved;  // false when it keeps its place
};
PalettePlace PaletteLayout(float scale, int mode, bool positioned, const NoteRect& window,
                           int screenWidth, int screenHeight);

// The title band: client y below 34s drags the palette (34 x scale with its fraction kept,
// so at 1.4 rows 0 to 47 drag).
bool InTitleBand(int clientY, float scale);

// Saving: one clock reading makes every part of the path.
struct LocalTime {
    int year, month, day, hour, minute, second;
};
struct NoteSavePath {
    std::u16string folder;     // <desktop>\NoteSave
    std::u16string dayFolder;  // <folder>\yyyy-mm-dd
    std::u16string file;       // <dayFolder>\yyyymmdd_hhmmss.jpg
    bool valid = false;  // false for an empty desktop folder: never fall back to a drive's root
};
NoteSavePath MakeNoteSavePath(const std::u16string& desktopFolder, const LocalTime& now);

}  // namespace note

#include "notetool/NoteRules.h"

#include "resources/Pictures.h"
#include "resources/resource.h"
#include "shell/ScaleFactor.h"

namespace note {

namespace {
constexpr int kDrawWidths[4] = {2, 5, 8, 11};
constexpr int kDefaultSizeType = 2;
constexpr uint32_t kDefaultColour = 230;
constexpr int kPaletteWidth = 173;
constexpr int kPaletteHeightTouch = 109;
constexpr int kPaletteHeightWriting = 410;
constexpr int kPaletteDefaultTop = 280;
constexpr int kTitleBand = 34;
constexpr int kHalfErase = kEraseSquare / 2;

void AppendDigits(std::u16string& out, int value, int width) {
    char16_t digits[12];
    int count = 0;
    unsigned rest = value < 0 ? 0u : static_cast<unsigned>(value);
    do {
        digits[count++] = static_cast<char16_t>(u'0' + rest % 10);
        rest /= 10;
    } while (rest != 0 && count < 12);
    for (int i = count; i < width; ++i) out.push_back(u'0');
    while (count > 0) out.push_back(digits[--count]);
}
}  // namespace

bool NoteRect::operator==(const NoteRect& o) const {
    return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
}

int StrokeWidth(int tool, int sizeType) {
    if (tool == kToolErase) return kEraseSquare;
    return kDrawWidths[AcceptedSizeType(sizeType) - 1];
}

NoteRect EraseSquare(int x, int y) {
    // The eraser pulls a clipped edge in to 0 and shortens the square by what lay outside,
    // so the right and bottom edges stay at x + 16 and y + 16 either way.
    NoteRect r;
    r.left = x - kHalfErase < 0 ? 0 : x - kHalfErase;
    r.top = y - kHalfErase < 0 ? 0 : y - kHalfErase;
    r.right = x + kHalfErase;
    r.bottom = y + kHalfErase;
    return r;
}

NoteRect ChooseOverlayRect(const std::vector<NoteRect>& displays, int primaryWidth,
                           int primaryHeight) {
    for (const NoteRect& d : displays) {
        if (d.left == 0 && d.Width() > 0) return d;
    }
    NoteRect primary;
    primary.right = primaryWidth;
    primary.bottom = primaryHeight;
    return primary;
}

const NoteColour kColours[8] = {
    {IDC_NOTE_COLOUR1 + 0, 1315860u},  {IDC_NOTE_COLOUR1 + 1, 230u},
    {IDC_NOTE_COLOUR1 + 2, 15073280u}, {IDC_NOTE_COLOUR1 + 3, 15132390u},
    {IDC_NOTE_COLOUR1 + 4, 59110u},    {IDC_NOTE_COLOUR1 + 5, 13382630u},
    {IDC_NOTE_COLOUR1 + 6, 58880u},    {IDC_NOTE_COLOUR1 + 7, 13088539u},
};

uint32_t AcceptedColour(int64_t stored) {
    // Compared as 64-bit numbers: a stored value that only matches once cut to 32 bits
    // is not one of the palette's colours.
    for (const NoteColour& c : kColours) {
        if (stored == static_cast<int64_t>(c.value)) return c.value;
    }
    return kDefaultColour;
}

int AcceptedSizeType(int64_t stored) {
    if (stored >= 1 && stored <= 4) return static_cast<int>(stored);
    return kDefaultSizeType;
}

int ColourButton(uint32_t colour) {
    for (const NoteColour& c : kColours) {
        if (c.value == colour) return c.buttonId;
    }
    return IDC_NOTE_COLOUR1;
}

int SizeButton(int sizeType) { return IDC_NOTE_SIZE1 + AcceptedSizeType(sizeType) - 1; }

const PaletteButton kPaletteButtons[21] = {
    {IDC_NOTE_CLOSE,
     false,
     39,
     34,
     132,
     0,
     {IDB_NOTE_CLOSE, IDB_NOTE_CLOSE, IDB_NOTE_CLOSE, IDB_NOTE_CLOSE},
     0},
    {IDC_NOTE_TOUCH_MODE,
     true,
     46,
     46,
     8,
     57,
     {IDB_NOTE_TOUCHMODE, IDB_NOTE_TOUCHMODE_HOVER, IDB_NOTE_TOUCHMODE, IDB_NOTE_TOUCHMODE_CHECKED},
     IDS_TIP_NOTE_TOUCH_MODE},
    {IDC_NOTE_BOARD_MODE,
     true,
     46,
     46,
     61,
     57,
     {IDB_NOTE_BOARDMODE, IDB_NOTE_BOARDMODE_HOVER, IDB_NOTE_BOARDMODE, IDB_NOTE_BOARDMODE_CHECKED},
     IDS_TIP_NOTE_BOARD_MODE},
    {IDC_NOTE_WHITEBOARD_MODE,
     true,
     46,
     46,
     116,
     57,
     {IDB_NOTE_WHITEBOARD, IDB_NOTE_WHITEBOARD_HOVER, IDB_NOTE_WHITEBOARD,
      IDB_NOTE_WHITEBOARD_CHECKED},
     IDS_TIP_NOTE_WHITEBOARD_MODE},
    {IDC_NOTE_DRAW,
     true,
     39,
     38,
     11,
     122,
     {IDB_NOTE_DRAW, IDB_NOTE_DRAW_HOVER, IDB_NOTE_DRAW, IDB_NOTE_DRAW_CHECKED},
     IDS_TIP_NOTE_DRAW},
    {IDC_NOTE_ERASE,
     true,
     39,
     38,
     66,
     122,
     {IDB_NOTE_ERASE, IDB_NOTE_ERASE_HOVER, IDB_NOTE_ERASE, IDB_NOTE_ERASE_CHECKED},
     IDS_TIP_NOTE_ERASE},
    {IDC_NOTE_CLEAR_ALL,
     true,
     39,
     38,
     120,
     122,
     {IDB_NOTE_CLEAR, IDB_NOTE_CLEAR_HOVER, IDB_NOTE_CLEAR, IDB_NOTE_CLEAR_CHECKED},
     IDS_TIP_NOTE_CLEAR_ALL},
    {IDC_NOTE_SIZE1 + 0,
     true,
     77,
     30,
     8,
     170,
     {IDB_NOTE_SIZE1, IDB_NOTE_SIZE1_HOVER, IDB_NOTE_SIZE1, IDB_NOTE_SIZE1_CHECKED},
     0},
    {IDC_NOTE_SIZE1 + 1,
     true,
     77,
     30,
     8,
     206,
     {IDB_NOTE_SIZE2, IDB_NOTE_SIZE2_HOVER, IDB_NOTE_SIZE2, IDB_NOTE_SIZE2_CHECKED},
     0},
    {IDC_NOTE_SIZE1 + 2,
     true,
     77,
     30,
     88,
     170,
     {IDB_NOTE_SIZE3, IDB_NOTE_SIZE3_HOVER, IDB_NOTE_SIZE3, IDB_NOTE_SIZE3_CHECKED},
     0},
    {IDC_NOTE_SIZE1 + 3,
     true,
     77,
     30,
     88,
     206,
     {IDB_NOTE_SIZE4, IDB_NOTE_SIZE4_HOVER, IDB_NOTE_SIZE4, IDB_NOTE_SIZE4_CHECKED},
     0},
    {IDC_NOTE_COLOUR1 + 0,
     true,
     39,
     39,
     8,
     251,
     {IDB_NOTE_BLACK, IDB_NOTE_BLACK_HOVER, IDB_NOTE_BLACK, IDB_NOTE_BLACK_CHECKED},
     0},
    {IDC_NOTE_COLOUR1 + 1,
     true,
     39,
     39,
     48,
     251,
     {IDB_NOTE_RED, IDB_NOTE_RED_HOVER, IDB_NOTE_RED, IDB_NOTE_RED_CHECKED},
     0},
    {IDC_NOTE_COLOUR1 + 2,
     true,
     39,
     39,
     89,
     251,
     {IDB_NOTE_BLUE, IDB_NOTE_BLUE_HOVER, IDB_NOTE_BLUE, IDB_NOTE_BLUE_CHECKED},
     0},
    {IDC_NOTE_COLOUR1 + 3,
     true,
     39,
     39,
     129,
     251,
     {IDB_NOTE_WHITE, IDB_NOTE_WHITE_HOVER, IDB_NOTE_WHITE, IDB_NOTE_WHITE_CHECKED},
     0},
    {IDC_NOTE_COLOUR1 + 4,
     true,
     39,
     39,
     8,
     302,
     {IDB_NOTE_YELLOW, IDB_NOTE_YELLOW_HOVER, IDB_NOTE_YELLOW, IDB_NOTE_YELLOW_CHECKED},
     0},
    {IDC_NOTE_COLOUR1 + 5,
     true,
     39,
     39,
     48,
     302,
     {IDB_NOTE_PINK, IDB_NOTE_PINK_HOVER, IDB_NOTE_PINK, IDB_NOTE_PINK_CHECKED},
     0},
    {IDC_NOTE_COLOUR1 + 6,
     true,
     39,
     39,
     89,
     302,
     {IDB_NOTE_GREEN, IDB_NOTE_GREEN_HOVER, IDB_NOTE_GREEN, IDB_NOTE_GREEN_CHECKED},
     0},
    {IDC_NOTE_COLOUR1 + 7,
     true,
     39,
     39,
     129,
     302,
     {IDB_NOTE_CYAN, IDB_NOTE_CYAN_HOVER, IDB_NOTE_CYAN, IDB_NOTE_CYAN_CHECKED},
     0},
    {IDC_NOTE_SEMI_TRANSPARENT,
     true,
     40,
     40,
     30,
     360,
     {IDB_NOTE_SEMI, IDB_NOTE_SEMI_HOVER, IDB_NOTE_SEMI, IDB_NOTE_SEMI_CHECKED},
     IDS_TIP_NOTE_SEMI_TRANSPARENT},
    {IDC_NOTE_SAVE,
     false,
     40,
     40,
     101,
     360,
     {IDB_NOTE_SAVE, IDB_NOTE_SAVE_HOVER, IDB_NOTE_SAVE, IDB_NOTE_SAVE_CHECKED},
     IDS_TIP_NOTE_SAVE},
};

int ScaledLength(int design, float scale) { return ScaledBy(design, scale); }

PalettePlace PaletteLayout(float scale, int mode, bool positioned, const NoteRect& window,
                           int screenWidth, int screenHeight) {
    PalettePlace place;
    place.width = ScaledLength(kPaletteWidth, scale);
    // Touch mode needs only the title band and the mode buttons.
    place.height =
        ScaledLength(mode == kModeTouch ? kPaletteHeightTouch : kPaletteHeightWriting, scale);
    // GetWindowRect's right and bottom lie one past the window, so a palette flush with the
    // screen's right edge has its corner on that edge and is placed afresh, at the same spot.
    const bool cornerInside = window.right >= 0 && window.right < screenWidth &&
                              window.bottom >= 0 && window.bottom < screenHeight;
    if (positioned && cornerInside) {
        place.x = window.left;
        place.y = window.top;
        place.moved = false;
    } else {
        place.x = screenWidth - place.width;
        place.y = ScaledLength(kPaletteDefaultTop, scale);
        place.moved = true;
    }
    return place;
}

bool InTitleBand(int clientY, float scale) {
    // The band's edge is the product itself, fraction kept: at 1.4 it lies at 47.6, so row
    // 47 still drags although the scaled band is 47 pixels high.
    volatile float edge = static_cast<float>(kTitleBand) * scale;
    return static_cast<float>(clientY) < edge;
}

NoteSavePath MakeNoteSavePath(const std::u16string& desktopFolder, const LocalTime& now) {
    NoteSavePath path;
    // Without a desktop the folder would become "\NoteSave", the root of the current drive.
    if (desktopFolder.empty()) return path;
    path.folder = desktopFolder;
    if (path.folder.back() != u'\\') path.folder.push_back(u'\\');
    path.folder += u"NoteSave";

    // Every part comes from the one reading, so a save at midnight names its file after
    // the same day as its folder.
    path.dayFolder = path.folder + u'\\';
    AppendDigits(path.dayFolder, now.year, 4);
    path.dayFolder.push_back(u'-');
    AppendDigits(path.dayFolder, now.month, 2);
    path.dayFolder.push_back(u'-');
    AppendDigits(path.dayFolder, now.day, 2);

    path.file = path.dayFolder + u'\\';
    AppendDigits(path.file, now.year, 4);
    AppendDigits(path.file, now.month, 2);
    AppendDigits(path.file, now.day, 2);
    path.file.push_back(u'_');
    AppendDigits(path.file, now.hour, 2);
    AppendDigits(path.file, now.minute, 2);
    AppendDigits(path.file, now.second, 2);
    path.file += u".jpg";
    path.valid = true;
    return path;
}

}  // namespace note

// The note tool's rules: pen widths, the eraser's square, the overlay's monitor, the
// accepted settings, the palette's buttons and layout, and the save path.
#include "notetool/NoteRules.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "shell/SettingsValues.h"

namespace {

using note::NoteRect;

NoteRect R(int left, int top, int right, int bottom) {
    NoteRect r;
    r.left = left;
    r.top = top;
    r.right = right;
    r.bottom = bottom;
    return r;
}

std::string Narrow(const std::u16string& s) { return std::string(s.begin(), s.end()); }

TEST(NoteRules, StrokeWidthByToolAndSize) {
    const struct {
        int tool, sizeType, width;
    } cases[] = {
        {note::kToolDraw, 1, 2},   {note::kToolDraw, 2, 5},   {note::kToolDraw, 3, 8},
        {note::kToolDraw, 4, 11},  {note::kToolDraw, 0, 5},   {note::kToolDraw, 5, 5},
        {note::kToolDraw, -1, 5},  {note::kToolDraw, 99, 5},  {note::kToolErase, 1, 32},
        {note::kToolErase, 2, 32}, {note::kToolErase, 4, 32}, {note::kToolErase, 0, 32},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(note::StrokeWidth(c.tool, c.sizeType), c.width)
            << "tool " << c.tool << " size " << c.sizeType;
    }
}

TEST(NoteRules, EraseSquareCentredAndClippedAtLeftAndTop) {
    const struct {
        int x, y;
        int left, top, width, height;
    } cases[] = {
        {100, 200, 84, 184, 32, 32},      // centre of the screen
        {16, 16, 0, 0, 32, 32},           // touches both edges, nothing cut
        {5, 40, 0, 24, 21, 32},           // cut at the left
        {40, 3, 24, 0, 32, 19},           // cut at the top
        {0, 0, 0, 0, 16, 16},             // cut at both in the corner
        {15, 2, 0, 0, 31, 18},            // both, by different amounts
        {2000, 1500, 1984, 1484, 32, 32}  // the right and bottom are left to GDI
    };
    for (const auto& c : cases) {
        const NoteRect r = note::EraseSquare(c.x, c.y);
        EXPECT_EQ(r.left, c.left) << c.x << "," << c.y;
        EXPECT_EQ(r.top, c.top) << c.x << "," << c.y;
        EXPECT_EQ(r.Width(), c.width) << c.x << "," << c.y;
        EXPECT_EQ(r.Height(), c.height) << c.x << "," << c.y;
    }
}

TEST(NoteRules, OverlayMonitorIsTheFirstAtLeftZero) {
    const struct {
        const char* name;
        std::vector<NoteRect> displays;
        NoteRect expected;
    } cases[] = {
        {"first with left 0", {R(0, 0, 1920, 1080), R(1920, 0, 3840, 1080)}, R(0, 0, 1920, 1080)},
        {"left 0 not first",
         {R(-1280, 0, 0, 1024), R(0, 0, 1600, 900), R(0, 900, 800, 1500)},
         R(0, 0, 1600, 900)},
        {"none at left 0", {R(-1280, 0, 0, 1024), R(1920, 0, 3840, 1080)}, R(0, 0, 1366, 768)},
        {"zero width skipped", {R(0, 0, 0, 1080), R(0, 0, 1280, 800)}, R(0, 0, 1280, 800)},
        {"only zero width", {R(0, 0, 0, 1080)}, R(0, 0, 1366, 768)},
        {"no displays", {}, R(0, 0, 1366, 768)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(note::ChooseOverlayRect(c.displays, 1366, 768), c.expected) << c.name;
    }
}

TEST(NoteRules, AcceptedColourAndSize) {
    const int64_t colours[] = {1315860, 230, 15073280, 15132390, 59110, 13382630, 58880, 13088539};
    for (int64_t colour : colours) {
        EXPECT_EQ(note::AcceptedColour(colour), static_cast<uint32_t>(colour)) << colour;
    }
    const int64_t refused[] = {12345, 0, -1, -230, 0xFFFFFF, 230 + (int64_t{1} << 32), 231};
    for (int64_t colour : refused) {
        EXPECT_EQ(note::AcceptedColour(colour), 230u) << colour;
    }
    const struct {
        int64_t stored;
        int accepted;
    } sizes[] = {{1, 1}, {2, 2}, {3, 3},  {4, 4},  {0, 2},
                 {7, 2}, {5, 2}, {-1, 2}, {-3, 2}, {(int64_t{1} << 32) + 3, 2}};
    for (const auto& c : sizes) {
        EXPECT_EQ(note::AcceptedSizeType(c.stored), c.accepted) << c.stored;
    }
}

TEST(NoteRules, ColoursMatchTheSettingsPalette) {
    const std::set<uint32_t> settings(std::begin(tavrel::kNoteToolColors),
                                      std::end(tavrel::kNoteToolColors));
    std::set<uint32_t> ours;
    for (const note::NoteColour& c : note::kColours) ours.insert(c.value);
    EXPECT_EQ(ours, settings);
    EXPECT_EQ(note::AcceptedColour(tavrel::kDefaultNoteToolColor), 230u);
}

TEST(NoteRules, ColourAndSizeButtons) {
    const struct {
        uint32_t colour;
        int button;
    } colours[] = {{1315860, 1529}, {230, 1530},      {15073280, 1531},  {15132390, 1532},
                   {59110, 1533},   {13382630, 1534}, {58880, 1535},     {13088539, 1536},
                   {12345, 1529},   {0, 1529},        {0xFFFFFFFF, 1529}};
    for (const auto& c : colours) {
        EXPECT_EQ(note::ColourButton(c.colour), c.button) << c.colour;
    }
    const struct {
        int sizeType, button;
    } sizes[] = {{1, 1525}, {2, 1526}, {3, 1527}, {4, 1528}, {0, 1526}, {5, 1526}, {-2, 1526}};
    for (const auto& c : sizes) {
        EXPECT_EQ(note::SizeButton(c.sizeType), c.button) << c.sizeType;
    }
}

TEST(NoteRules, PaletteButtonTable) {
    const note::PaletteButton expected[] = {
        {1628, false, 39, 34, 132, 0, {625, 625, 625, 625}, 0},
        {1520, true, 46, 46, 8, 57, {616, 618, 616, 617}, 1220},
        {1521, true, 46, 46, 61, 57, {619, 621, 619, 620}, 1221},
        {1540, true, 46, 46, 116, 57, {622, 624, 622, 623}, 1222},
        {1522, true, 39, 38, 11, 122, {650, 652, 650, 651}, 1223},
        {1523, true, 39, 38, 66, 122, {647, 649, 647, 648}, 1224},
        {1524, true, 39, 38, 120, 122, {683, 685, 683, 684}, 1238},
        {1525, true, 77, 30, 8, 170, {653, 655, 653, 654}, 0},
        {1526, true, 77, 30, 8, 206, {656, 658, 656, 657}, 0},
        {1527, true, 77, 30, 88, 170, {659, 661, 659, 660}, 0},
        {1528, true, 77, 30, 88, 206, {662, 664, 662, 663}, 0},
        {1529, true, 39, 39, 8, 251, {629, 631, 629, 630}, 0},
        {1530, true, 39, 39, 48, 251, {635, 637, 635, 636}, 0},
        {1531, true, 39, 39, 89, 251, {632, 634, 632, 633}, 0},
        {1532, true, 39, 39, 129, 251, {638, 640, 638, 639}, 0},
        {1533, true, 39, 39, 8, 302, {680, 682, 680, 681}, 0},
        {1534, true, 39, 39, 48, 302, {677, 679, 677, 678}, 0},
        {1535, true, 39, 39, 89, 302, {674, 676, 674, 675}, 0},
        {1536, true, 39, 39, 129, 302, {671, 673, 671, 672}, 0},
        {1537, true, 40, 40, 30, 360, {626, 628, 626, 627}, 1232},
        {1538, false, 40, 40, 101, 360, {665, 667, 665, 666}, 1233},
    };
    ASSERT_EQ(std::size(note::kPaletteButtons), std::size(expected));
    std::set<int> ids;
    for (size_t i = 0; i < std::size(expected); ++i) {
        const note::PaletteButton& b = note::kPaletteButtons[i];
        const note::PaletteButton& e = expected[i];
        EXPECT_TRUE(ids.insert(b.id).second) << "duplicate " << b.id;
        EXPECT_EQ(b.id, e.id) << "row " << i;
        EXPECT_EQ(b.check, e.check) << b.id;
        EXPECT_EQ(b.width, e.width) << b.id;
        EXPECT_EQ(b.height, e.height) << b.id;
        EXPECT_EQ(b.x, e.x) << b.id;
        EXPECT_EQ(b.y, e.y) << b.id;
        for (int k = 0; k < 4; ++k) EXPECT_EQ(b.images[k], e.images[k]) << b.id << " image " << k;
        EXPECT_EQ(b.tooltip, e.tooltip) << b.id;
        // Every button lies inside the full palette.
        EXPECT_LE(b.x + b.width, 173) << b.id;
        EXPECT_LE(b.y + b.height, 410) << b.id;
    }
    // The colour buttons show the colour they choose: each kColours entry names a button.
    for (const note::NoteColour& c : note::kColours) EXPECT_EQ(ids.count(c.buttonId), 1u);
}

TEST(NoteRules, ScaledLengthDropsTheFraction) {
    const struct {
        int design;
        float scale;
        int scaled;
    } cases[] = {
        {173, 1.0f, 173}, {173, 1.4f, 242}, {173, 1.5f, 259}, {410, 1.4f, 574}, {109, 1.4f, 152},
        {34, 1.4f, 47},   {280, 1.4f, 392}, {109, 1.5f, 163}, {0, 1.4f, 0},     {70, 1.4f, 98},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(note::ScaledLength(c.design, c.scale), c.scaled) << c.design << "x" << c.scale;
    }
}

TEST(NoteRules, PaletteLayout) {
    const struct {
        const char* name;
        float scale;
        int mode;
        bool positioned;
        NoteRect window;
        int screenWidth, screenHeight;
        note::PalettePlace expected;
    } cases[] = {
        {"not positioned, touch",
         1.0f,
         note::kModeTouch,
         false,
         R(10, 10, 183, 119),
         1920,
         1080,
         {1747, 280, 173, 109, true}},
        {"not positioned, board",
         1.0f,
         note::kModeBoard,
         false,
         R(0, 0, 0, 0),
         1920,
         1080,
         {1747, 280, 173, 410, true}},
        {"not positioned, whiteboard",
         1.0f,
         note::kModeWhiteboard,
         false,
         R(0, 0, 0, 0),
         1920,
         1080,
         {1747, 280, 173, 410, true}},
        {"inside keeps x and y",
         1.0f,
         note::kModeBoard,
         true,
         R(100, 50, 273, 159),
         1920,
         1080,
         {100, 50, 173, 410, false}},
        {"default place again",
         1.0f,
         note::kModeTouch,
         true,
         R(1747, 280, 1920, 389),
         1920,
         1080,
         {1747, 280, 173, 109, true}},
        {"corner one left of the edge",
         1.0f,
         note::kModeTouch,
         true,
         R(1746, 280, 1919, 389),
         1920,
         1080,
         {1746, 280, 173, 109, false}},
        {"corner on the bottom edge",
         1.0f,
         note::kModeBoard,
         true,
         R(20, 670, 193, 1080),
         1920,
         1080,
         {1747, 280, 173, 410, true}},
        {"corner beyond the bottom",
         1.0f,
         note::kModeBoard,
         true,
         R(20, 900, 193, 1310),
         1920,
         1080,
         {1747, 280, 173, 410, true}},
        {"corner left of the screen",
         1.0f,
         note::kModeTouch,
         true,
         R(-300, 10, -127, 119),
         1920,
         1080,
         {1747, 280, 173, 109, true}},
        {"corner above the screen",
         1.0f,
         note::kModeTouch,
         true,
         R(10, -200, 183, -91),
         1920,
         1080,
         {1747, 280, 173, 109, true}},
        {"1.4 not positioned, touch",
         1.4f,
         note::kModeTouch,
         false,
         R(0, 0, 0, 0),
         1024,
         768,
         {782, 392, 242, 152, true}},
        {"1.4 not positioned, board",
         1.4f,
         note::kModeBoard,
         false,
         R(0, 0, 0, 0),
         1024,
         768,
         {782, 392, 242, 574, true}},
        {"1.4 inside takes the new size",
         1.4f,
         note::kModeWhiteboard,
         true,
         R(30, 40, 272, 192),
         1024,
         768,
         {30, 40, 242, 574, false}},
        {"1.4 default place again",
         1.4f,
         note::kModeTouch,
         true,
         R(782, 392, 1024, 544),
         1024,
         768,
         {782, 392, 242, 152, true}},
        {"1.4 corner beyond the bottom",
         1.4f,
         note::kModeBoard,
         true,
         R(100, 300, 342, 874),
         1024,
         768,
         {782, 392, 242, 574, true}},
        {"1.4 corner at the last pixel",
         1.4f,
         note::kModeTouch,
         true,
         R(781, 615, 1023, 767),
         1024,
         768,
         {781, 615, 242, 152, false}},
    };
    for (const auto& c : cases) {
        const note::PalettePlace p = note::PaletteLayout(c.scale, c.mode, c.positioned, c.window,
                                                         c.screenWidth, c.screenHeight);
        EXPECT_EQ(p.x, c.expected.x) << c.name;
        EXPECT_EQ(p.y, c.expected.y) << c.name;
        EXPECT_EQ(p.width, c.expected.width) << c.name;
        EXPECT_EQ(p.height, c.expected.height) << c.name;
        EXPECT_EQ(p.moved, c.expected.moved) << c.name;
    }
}

TEST(NoteRules, TitleBand) {
    const struct {
        int y;
        float scale;
        bool inBand;
    } cases[] = {{0, 1.0f, true},    {33, 1.0f, true}, {34, 1.0f, false},
                 {200, 1.0f, false}, {46, 1.4f, true}, {47, 1.4f, true},
                 {48, 1.4f, false},  {50, 1.5f, true}, {51, 1.5f, false}};
    for (const auto& c : cases) {
        EXPECT_EQ(note::InTitleBand(c.y, c.scale), c.inBand) << c.y << " at " << c.scale;
    }
}

TEST(NoteRules, SavePath) {
    const struct {
        const char16_t* desktop;
        note::LocalTime now;
        const char* folder;
        const char* dayFolder;
        const char* file;
    } cases[] = {
        {u"C:\\Users\\t\\Desktop",
         {2026, 12, 9, 23, 59, 59},
         "C:\\Users\\t\\Desktop\\NoteSave",
         "C:\\Users\\t\\Desktop\\NoteSave\\2026-12-09",
         "C:\\Users\\t\\Desktop\\NoteSave\\2026-12-09\\20261209_235959.jpg"},
        {u"C:\\Users\\t\\Desktop",
         {2027, 1, 2, 3, 4, 5},
         "C:\\Users\\t\\Desktop\\NoteSave",
         "C:\\Users\\t\\Desktop\\NoteSave\\2027-01-02",
         "C:\\Users\\t\\Desktop\\NoteSave\\2027-01-02\\20270102_030405.jpg"},
        {u"C:\\Users\\t\\Desktop\\",
         {2026, 10, 31, 0, 0, 0},
         "C:\\Users\\t\\Desktop\\NoteSave",
         "C:\\Users\\t\\Desktop\\NoteSave\\2026-10-31",
         "C:\\Users\\t\\Desktop\\NoteSave\\2026-10-31\\20261031_000000.jpg"},
        {u"D:\\",
         {2026, 3, 15, 12, 30, 7},
         "D:\\NoteSave",
         "D:\\NoteSave\\2026-03-15",
         "D:\\NoteSave\\2026-03-15\\20260315_123007.jpg"},
    };
    for (const auto& c : cases) {
        const note::NoteSavePath p = note::MakeNoteSavePath(c.desktop, c.now);
        EXPECT_TRUE(p.valid) << c.file;
        EXPECT_EQ(Narrow(p.folder), c.folder);
        EXPECT_EQ(Narrow(p.dayFolder), c.dayFolder);
        EXPECT_EQ(Narrow(p.file), c.file);
    }
    const note::NoteSavePath none = note::MakeNoteSavePath(u"", {2026, 12, 9, 23, 59, 59});
    EXPECT_FALSE(none.valid);
    EXPECT_TRUE(none.folder.empty());
    EXPECT_TRUE(none.dayFolder.empty());
    EXPECT_TRUE(none.file.empty());
}

}  // namespace

// The pictures drawn at build time, as the program loads them: from the built-in
// resources linked into this test program as into the real one, and from the English
// language module. Every bitmap must be a plain 24-bit bitmap of its design size that
// LoadBitmapW accepts, the spinner a looping GIF of twelve equal images, the folded
// panel's PNG carry alpha, and the cursors their hot spots. Pictures with text must
// differ between the two modules (the English copy was found first), the others not.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "resources/Pictures.h"

static_assert(sizeof(wchar_t) == 2, "UTF-16 wchar_t expected");

namespace {

struct BitmapCase {
    int id;
    int width;
    int height;
    bool hasText;  // drawn once per language
};

// clang-format off
const BitmapCase kBitmaps[] = {
    {IDB_CLOSE, 39, 34, false}, {IDB_FOLD, 39, 34, false}, {IDB_FOLD_CHECKED, 39, 34, false},
    {IDB_PANEL_BACKDROP, 160, 225, false},
    {IDB_REMOTE, 50, 64, true}, {IDB_REMOTE_HOVER, 50, 64, true},
    {IDB_REMOTE_DISABLED, 50, 64, true}, {IDB_REMOTE_CHECKED, 50, 64, true},
    {IDB_SCREENUP, 50, 64, true}, {IDB_SCREENUP_HOVER, 50, 64, true},
    {IDB_SCREENUP_DISABLED, 50, 64, true}, {IDB_SCREENUP_CHECKED, 50, 64, true},
    {IDB_STUDENT_TOUCH, 50, 64, true}, {IDB_STUDENT_TOUCH_HOVER, 50, 64, true},
    {IDB_STUDENT_TOUCH_DISABLED, 50, 64, true}, {IDB_STUDENT_TOUCH_CHECKED, 50, 64, true},
    {IDB_BROADCAST, 50, 64, true}, {IDB_BROADCAST_HOVER, 50, 64, true},
    {IDB_BROADCAST_DISABLED, 50, 64, true}, {IDB_BROADCAST_CHECKED, 50, 64, true},
    {IDB_KEYBOARD, 56, 28, true}, {IDB_MONITOR, 56, 28, true}, {IDB_MONITOR_HOVER, 56, 28, true},
    {IDB_NOTETOOL, 56, 28, true}, {IDB_SOUND, 56, 28, true}, {IDB_SOUND_CHECKED, 56, 28, true},
    {IDB_LOGIN_OK, 67, 34, true}, {IDB_LOGIN_OK_HOVER, 67, 34, true},
    {IDB_LOGIN_CANCEL, 67, 34, true}, {IDB_LOGIN_CANCEL_HOVER, 67, 34, true},
    {IDB_LOGIN_IDFRAME, 252, 29, false}, {IDB_LOGIN_BANNER, 376, 89, true},
    {IDB_LOGIN_SEPARATOR, 341, 2, false},
    {IDB_MSG_OK, 67, 34, true}, {IDB_MSG_OK_HOVER, 67, 34, true},
    {IDB_MSG_CANCEL, 67, 34, true}, {IDB_MSG_CANCEL_HOVER, 67, 34, true},
    {IDB_MSG_YES, 67, 34, true}, {IDB_MSG_NO, 67, 34, true},
    {IDB_MSG_PANEL, 470, 124, false}, {IDB_MSG_ICON, 55, 50, false},
    {IDB_NOTE_CLOSE, 39, 34, false},
};
// clang-format on

// Note palette buttons: normal, checked (+1) and hover (+2) share one size.
struct NoteCase {
    int id;
    int width;
    int height;
};

const NoteCase kNoteButtons[] = {
    {IDB_NOTE_TOUCHMODE, 46, 46}, {IDB_NOTE_BOARDMODE, 46, 46}, {IDB_NOTE_WHITEBOARD, 46, 46},
    {IDB_NOTE_DRAW, 39, 38},      {IDB_NOTE_ERASE, 39, 38},     {IDB_NOTE_CLEAR, 39, 38},
    {IDB_NOTE_SIZE1, 77, 30},     {IDB_NOTE_SIZE2, 77, 30},     {IDB_NOTE_SIZE3, 77, 30},
    {IDB_NOTE_SIZE4, 77, 30},     {IDB_NOTE_BLACK, 39, 39},     {IDB_NOTE_RED, 39, 39},
    {IDB_NOTE_BLUE, 39, 39},      {IDB_NOTE_WHITE, 39, 39},     {IDB_NOTE_YELLOW, 39, 39},
    {IDB_NOTE_PINK, 39, 39},      {IDB_NOTE_GREEN, 39, 39},     {IDB_NOTE_CYAN, 39, 39},
    {IDB_NOTE_SEMI, 40, 40},      {IDB_NOTE_SAVE, 40, 40},
};

constexpr int kNoteCheckedOffset = 1;
constexpr int kNoteHoverOffset = 2;

std::vector<BitmapCase> AllBitmaps() {
    std::vector<BitmapCase> all(std::begin(kBitmaps), std::end(kBitmaps));
    for (const NoteCase& note : kNoteButtons) {
        for (int offset : {0, kNoteCheckedOffset, kNoteHoverOffset}) {
            all.push_back({note.id + offset, note.width, note.height, false});
        }
    }
    return all;
}

std::wstring EnglishModulePath() {
    wchar_t path[MAX_PATH] = {};
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L'\\') + 1) + L"language\\Vantor TavrelEng.dll";
}

// The raw bytes of a resource, empty when it is missing.
std::vector<uint8_t> ResourceBytes(HMODULE module, int id, const wchar_t* type) {
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), type);
    if (found == nullptr) return {};
    HGLOBAL loaded = LoadResource(module, found);
    auto* data = static_cast<const uint8_t*>(LockResource(loaded));
    if (data == nullptr) return {};
    return std::vector<uint8_t>(data, data + SizeofResource(module, found));
}

uint16_t Le16(const std::vector<uint8_t>& b, size_t at) {
    return static_cast<uint16_t>(b[at] | (b[at + 1] << 8));
}

uint32_t Be32(const std::vector<uint8_t>& b, size_t at) {
    return (uint32_t{b[at]} << 24) | (uint32_t{b[at + 1]} << 16) | (uint32_t{b[at + 2]} << 8) |
           b[at + 3];
}

struct GifImage {
    int width = 0;
    int height = 0;
    int delay = -1;
    int disposal = -1;
};

struct GifSummary {
    bool valid = false;
    int screenWidth = 0;
    int screenHeight = 0;
    bool hasGlobalTable = false;
    bool loops = false;  // NETSCAPE2.0 application extension with loop count 0
    std::vector<GifImage> images;
};

// Skips a chain of data sub-blocks starting at `at`; returns the position after the
// terminator, or 0 when the data ends first.
size_t SkipSubBlocks(const std::vector<uint8_t>& b, size_t at) {
    while (at < b.size()) {
        size_t length = b[at];
        if (length == 0) return at + 1;
        at += 1 + length;
    }
    return 0;
}

// Walks the GIF's blocks far enough to count its images and read their controls.
GifSummary ReadGif(const std::vector<uint8_t>& b) {
    constexpr size_t kHeaderSize = 13;
    GifSummary gif;
    if (b.size() < kHeaderSize || b[0] != 'G' || b[1] != 'I' || b[2] != 'F') return gif;
    gif.screenWidth = Le16(b, 6);
    gif.screenHeight = Le16(b, 8);
    gif.hasGlobalTable = (b[10] & 0x80) != 0;
    size_t at = kHeaderSize;
    if (gif.hasGlobalTable) at += 3u * (1u << ((b[10] & 7) + 1));
    GifImage pending;
    while (at < b.size()) {
        uint8_t kind = b[at];
        if (kind == 0x3B) {  // trailer
            gif.valid = true;
            return gif;
        }
        if (kind == 0x21 && at + 2 < b.size()) {  // extension
            uint8_t label = b[at + 1];
            if (label == 0xF9 && at + 7 < b.size()) {  // graphic control
                pending.disposal = (b[at + 3] >> 2) & 7;
                pending.delay = Le16(b, at + 4);
            }
            if (label == 0xFF && at + 18 < b.size() &&
                std::string(b.begin() + at + 3, b.begin() + at + 14) == "NETSCAPE2.0") {
                gif.loops = Le16(b, at + 16) == 0;
            }
            at = SkipSubBlocks(b, at + 2);
        } else if (kind == 0x2C && at + 10 < b.size()) {  // image descriptor
            pending.width = Le16(b, at + 5);
            pending.height = Le16(b, at + 7);
            uint8_t flags = b[at + 9];
            at += 10;
            if (flags & 0x80) at += 3u * (1u << ((flags & 7) + 1));
            at = SkipSubBlocks(b, at + 1);  // after the LZW minimum code size
            gif.images.push_back(pending);
            pending = GifImage();
        } else {
            return gif;
        }
        if (at == 0) return gif;
    }
    return gif;
}

class PicturesTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_NE(english_, nullptr) << "language module not found"; }

    static void SetUpTestSuite() { english_ = LoadLibraryW(EnglishModulePath().c_str()); }
    static void TearDownTestSuite() {
        if (english_ != nullptr) FreeLibrary(english_);
        english_ = nullptr;
    }

    static std::vector<std::pair<const char*, HMODULE>> Modules() {
        return {{"program", GetModuleHandleW(nullptr)}, {"English module", english_}};
    }

    static HMODULE english_;
};

HMODULE PicturesTest::english_ = nullptr;

TEST_F(PicturesTest, EveryBitmapLoadsAtItsDesignSizeAsPlain24Bit) {
    for (const auto& [name, module] : Modules()) {
        for (const BitmapCase& c : AllBitmaps()) {
            SCOPED_TRACE(std::string(name) + ", bitmap " + std::to_string(c.id));
            HBITMAP bitmap = LoadBitmapW(module, MAKEINTRESOURCEW(c.id));
            ASSERT_NE(bitmap, nullptr);
            BITMAP info = {};
            ASSERT_EQ(GetObjectW(bitmap, sizeof(info), &info), static_cast<int>(sizeof(info)));
            EXPECT_EQ(info.bmWidth, c.width);
            EXPECT_EQ(info.bmHeight, c.height);
            DeleteObject(bitmap);

            // The stored header: 24 bits, uncompressed, no palette, no alpha channel.
            std::vector<uint8_t> raw = ResourceBytes(module, c.id, RT_BITMAP);
            ASSERT_GE(raw.size(), sizeof(BITMAPINFOHEADER));
            EXPECT_EQ(Le16(raw, 14), 24);  // biBitCount
            EXPECT_EQ(raw[16], BI_RGB);    // biCompression (low byte; the rest is 0)
        }
    }
}

TEST_F(PicturesTest, OnlyPicturesWithTextDifferBetweenLanguages) {
    HMODULE program = GetModuleHandleW(nullptr);
    for (const BitmapCase& c : AllBitmaps()) {
        SCOPED_TRACE("bitmap " + std::to_string(c.id));
        std::vector<uint8_t> korean = ResourceBytes(program, c.id, RT_BITMAP);
        std::vector<uint8_t> english = ResourceBytes(english_, c.id, RT_BITMAP);
        ASSERT_FALSE(korean.empty());
        ASSERT_EQ(korean.size(), english.size());
        EXPECT_EQ(korean != english, c.hasText);
    }
}

TEST_F(PicturesTest, SpinnerIsALoopingGifOfTwelveEqualImages) {
    constexpr int kSide = 66;
    constexpr size_t kImages = 12;
    constexpr int kDelay = 10;  // hundredths of a second
    for (const auto& [name, module] : Modules()) {
        SCOPED_TRACE(name);
        GifSummary gif = ReadGif(ResourceBytes(module, IDR_SPINNER_GIF, L"GIF"));
        ASSERT_TRUE(gif.valid);
        EXPECT_EQ(gif.screenWidth, kSide);
        EXPECT_EQ(gif.screenHeight, kSide);
        EXPECT_TRUE(gif.hasGlobalTable);
        EXPECT_TRUE(gif.loops);
        ASSERT_EQ(gif.images.size(), kImages);
        for (const GifImage& image : gif.images) {
            EXPECT_EQ(image.width, kSide);
            EXPECT_EQ(image.height, kSide);
            EXPECT_EQ(image.delay, kDelay);
            EXPECT_EQ(image.disposal, 0);
        }
    }
}

TEST_F(PicturesTest, FoldedPanelPngHasAlpha) {
    const uint8_t kSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    constexpr uint32_t kSide = 70;
    constexpr uint8_t kRgba = 6;
    for (const auto& [name, module] : Modules()) {
        SCOPED_TRACE(name);
        std::vector<uint8_t> png = ResourceBytes(module, IDR_MINI_PNG, L"BIN_PNG");
        ASSERT_GE(png.size(), 33u);
        EXPECT_TRUE(std::equal(std::begin(kSignature), std::end(kSignature), png.begin()));
        EXPECT_EQ(std::string(png.begin() + 12, png.begin() + 16), "IHDR");
        EXPECT_EQ(Be32(png, 16), kSide);
        EXPECT_EQ(Be32(png, 20), kSide);
        EXPECT_EQ(png[24], 8);  // bits per channel
        EXPECT_EQ(png[25], kRgba);
    }
}

TEST_F(PicturesTest, CursorsLoadWithTheirHotSpots) {
    struct CursorCase {
        int id;
        DWORD hotX;
        DWORD hotY;
    };
    const CursorCase kCursors[] = {{IDC_NOTE_PEN, 1, 30}, {IDC_NOTE_ERASER, 16, 16}};
    for (const auto& [name, module] : Modules()) {
        for (const CursorCase& c : kCursors) {
            SCOPED_TRACE(std::string(name) + ", cursor " + std::to_string(c.id));
            HCURSOR cursor = LoadCursorW(module, MAKEINTRESOURCEW(c.id));
            ASSERT_NE(cursor, nullptr);
            ICONINFO info = {};
            ASSERT_TRUE(GetIconInfo(cursor, &info));
            EXPECT_FALSE(info.fIcon);
            EXPECT_EQ(info.xHotspot, c.hotX);
            EXPECT_EQ(info.yHotspot, c.hotY);
            if (info.hbmMask != nullptr) DeleteObject(info.hbmMask);
            if (info.hbmColor != nullptr) DeleteObject(info.hbmColor);
        }
    }
}

}  // namespace

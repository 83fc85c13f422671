// The note tool's overlay on a real Win32 (Wine, a 1024 x 768 desktop): its page, the
// pen's ink live and replayed, the eraser, the cursor, saving and closing, read back
// from the window's pixels and from the off-screen picture.
#include "notetool/NoteToolWnd_win.h"

#include "resources/Pictures.h"

#include <objidl.h>

#include <gdiplus.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr COLORREF kRed = RGB(230, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 230);
constexpr COLORREF kYellow = RGB(230, 230, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kCyan = RGB(0, 255, 255);
constexpr COLORREF kMagenta = RGB(255, 0, 255);

// Dispatches this thread's messages until `done` holds; false when it never did.
template <class Done>
bool PumpUntil(Done done, DWORD timeoutMs = 5000) {
    const DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (done()) return true;
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= timeoutMs) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

COLORREF WindowPixel(HWND hwnd, int x, int y) {
    HDC dc = GetDC(hwnd);
    const COLORREF colour = GetPixel(dc, x, y);
    ReleaseDC(hwnd, dc);
    return colour;
}

// A 32-bpp top-down picture owned by the test, read pixel by pixel.
class Picture {
  public:
    explicit Picture(HBITMAP bitmap) : m_bitmap(bitmap) {
        DIBSECTION section{};
        if (bitmap != nullptr && GetObjectW(bitmap, sizeof(section), &section) == sizeof(section)) {
            m_bits = static_cast<const uint32_t*>(section.dsBm.bmBits);
            width = section.dsBm.bmWidth;
            height = section.dsBm.bmHeight;
        }
    }
    ~Picture() {
        if (m_bitmap != nullptr) DeleteObject(m_bitmap);
    }
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;
    bool Valid() const { return m_bits != nullptr; }
    COLORREF At(int x, int y) const {
        const uint32_t bgr = m_bits[static_cast<size_t>(y) * width + x];
        return RGB((bgr >> 16) & 0xFF, (bgr >> 8) & 0xFF, bgr & 0xFF);
    }
    // Pixels that differ from the other picture's; every pixel when the sizes differ.
    size_t Differences(const Picture& other) const {
        if (width != other.width || height != other.height) return size_t(width) * height + 1;
        size_t count = 0;
        for (size_t i = 0; i < size_t(width) * height; ++i)
            count += ((m_bits[i] ^ other.m_bits[i]) & 0xFFFFFF) != 0;
        return count;
    }
    int width = 0;
    int height = 0;

  private:
    HBITMAP m_bitmap;
    const uint32_t* m_bits = nullptr;
};

HBITMAP TopDownDib(int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    return CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
}

// What the window shows, copied from its device context.
HBITMAP WindowDib(HWND hwnd) {
    RECT client;
    GetClientRect(hwnd, &client);
    HBITMAP dib = TopDownDib(client.right, client.bottom);
    HDC window = GetDC(hwnd);
    HDC memory = CreateCompatibleDC(window);
    HGDIOBJ old = SelectObject(memory, dib);
    BitBlt(memory, 0, 0, client.right, client.bottom, window, 0, 0, SRCCOPY);
    SelectObject(memory, old);
    DeleteDC(memory);
    ReleaseDC(hwnd, window);
    GdiFlush();
    return dib;
}

void Send(CNoteToolWnd* wnd, UINT message, WPARAM keys, int x, int y) {
    SendMessageW(wnd->m_hWnd, message, keys, MAKELPARAM(x, y));
}

// A whole stroke: the pen goes down on the first point, through the others, and up.
void Write(CNoteToolWnd* wnd, const std::vector<POINT>& path) {
    Send(wnd, WM_LBUTTONDOWN, MK_LBUTTON, path[0].x, path[0].y);
    for (size_t i = 1; i < path.size(); ++i)
        Send(wnd, WM_MOUSEMOVE, MK_LBUTTON, path[i].x, path[i].y);
    Send(wnd, WM_LBUTTONUP, 0, path.back().x, path.back().y);
}

void Repaint(CNoteToolWnd* wnd) {
    InvalidateRect(wnd->m_hWnd, nullptr, TRUE);
    UpdateWindow(wnd->m_hWnd);
}

HCURSOR ProgramCursor(WORD id) {
    return LoadCursorW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id));
}

class Whiteboard : public ::testing::Test {
  protected:
    void SetUp() override {
        m_wnd = CNoteToolWnd::CreateOverlay(note::kModeWhiteboard, nullptr);
        ASSERT_NE(m_wnd, nullptr);
        m_hwnd = m_wnd->m_hWnd;
    }
    void TearDown() override {
        if (m_wnd != nullptr && IsWindow(m_hwnd)) m_wnd->CloseOverlay();
    }
    CNoteToolWnd* m_wnd = nullptr;
    HWND m_hwnd = nullptr;
};

TEST(NoteOverlay, OnlyBoardWritingAndWhiteboardMakeAWindow) {
    for (int mode : {note::kModeTouch, 3, -1}) {
        EXPECT_EQ(CNoteToolWnd::CreateOverlay(mode, nullptr), nullptr) << mode;
        EXPECT_EQ(FindWindowW(nullptr, L"Tavrel Notetool Wnd"), nullptr) << mode;
    }
}

TEST_F(Whiteboard, AWhitePageWithACyanFrameCoversTheScreen) {
    RECT rect;
    GetWindowRect(m_hwnd, &rect);
    EXPECT_EQ(rect.left, 0);
    EXPECT_EQ(rect.top, 0);
    EXPECT_EQ(rect.right, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(rect.bottom, GetSystemMetrics(SM_CYSCREEN));
    // No caption and no frame; the system keeps top-level windows clipping their siblings.
    EXPECT_EQ(GetWindowLongW(m_hwnd, GWL_STYLE) & ~(WS_VISIBLE | WS_CLIPSIBLINGS),
              LONG(WS_CLIPCHILDREN));
    EXPECT_TRUE(IsWindowVisible(m_hwnd));
    EXPECT_EQ(GetWindowLongW(m_hwnd, GWL_EXSTYLE), 0) << "not topmost either";
    EXPECT_EQ(FindWindowW(nullptr, L"Tavrel Notetool Wnd"), m_hwnd);
    EXPECT_TRUE(m_wnd->Active());
    EXPECT_FALSE(m_wnd->Modified());
    EXPECT_FALSE(m_wnd->SemiTransparent());
    EXPECT_EQ(m_wnd->Tool(), note::kToolDraw);
    EXPECT_EQ(m_wnd->Width(), note::kWidthBeforeSize);
    EXPECT_EQ(m_wnd->StrokeCount(), 0u);

    Picture picture(m_wnd->RenderPicture());
    ASSERT_TRUE(picture.Valid());
    EXPECT_EQ(picture.width, rect.right);
    EXPECT_EQ(picture.height, rect.bottom);
    const int w = rect.right, h = rect.bottom;
    for (POINT p : {POINT{w / 2, h / 2}, POINT{20, 20}, POINT{w - 20, h - 20}}) {
        EXPECT_EQ(WindowPixel(m_hwnd, p.x, p.y), kWhite) << p.x << "," << p.y;
        EXPECT_EQ(picture.At(p.x, p.y), kWhite) << p.x << "," << p.y;
    }
    for (POINT p : {POINT{3, 3}, POINT{w - 4, h / 2}, POINT{w / 2, h - 4}, POINT{3, h / 2}}) {
        EXPECT_EQ(WindowPixel(m_hwnd, p.x, p.y), kCyan) << p.x << "," << p.y;
        EXPECT_EQ(picture.At(p.x, p.y), kCyan) << p.x << "," << p.y;
    }
}

// A line's thickness across it, for every size: the pen's width from the table, and
// the same thickness again when the window repaints the stroke.
struct SizeCase {
    int sizeType;  // 0: no size chosen yet
    int width;
};

void PrintTo(const SizeCase& c, std::ostream* os) {
    *os << "size type " << c.sizeType << ", width " << c.width;
}

class PenSizes : public Whiteboard, public ::testing::WithParamInterface<SizeCase> {};

TEST_P(PenSizes, LinesAreAsThickAsThePen) {
    const SizeCase& c = GetParam();
    if (c.sizeType != 0) m_wnd->SetPenSize(c.sizeType);
    m_wnd->SetColour(kRed);
    ASSERT_EQ(m_wnd->Width(), c.width);
    Write(m_wnd, {{100, 300}, {300, 300}, {300, 500}});
    EXPECT_TRUE(m_wnd->Modified());
    auto thickness = [&](auto pixel) {
        int inked = 0;
        for (int y = 250; y < 350; ++y) inked += pixel(200, y) == kRed;
        return inked;
    };
    auto window = [&](int x, int y) { return WindowPixel(m_hwnd, x, y); };
    EXPECT_NEAR(thickness(window), c.width, 1) << "live";
    EXPECT_EQ(WindowPixel(m_hwnd, 300, 400), kRed) << "the second segment";
    Repaint(m_wnd);
    EXPECT_NEAR(thickness(window), c.width, 1) << "replayed";
    Picture picture(m_wnd->RenderPicture());
    Picture shown(WindowDib(m_hwnd));
    EXPECT_EQ(picture.Differences(shown), 0u) << "the picture is what the window shows";
    EXPECT_NEAR(thickness([&](int x, int y) { return picture.At(x, y); }), c.width, 1);
}

INSTANTIATE_TEST_SUITE_P(Table, PenSizes,
                         ::testing::Values(SizeCase{0, 30}, SizeCase{1, 2}, SizeCase{2, 5},
                                           SizeCase{3, 8}, SizeCase{4, 11}),
                         [](const auto& info) {
                             return "Size" + std::to_string(info.param.sizeType);
                         });

TEST_F(Whiteboard, EraserSizesAndCursors) {
    struct Step {
        int tool, sizeType, width;  // sizeType 0: none set in this step
        WORD cursor;
    };
    const Step steps[] = {{note::kToolDraw, 0, 30, IDC_NOTE_PEN},
                          {note::kToolErase, 0, 30, IDC_NOTE_ERASER},
                          {note::kToolErase, 3, 32, IDC_NOTE_ERASER},
                          {note::kToolErase, 1, 32, IDC_NOTE_ERASER},
                          {note::kToolDraw, 4, 11, IDC_NOTE_PEN}};
    for (const Step& s : steps) {
        m_wnd->SetTool(s.tool);
        if (s.sizeType != 0) m_wnd->SetPenSize(s.sizeType);
        EXPECT_EQ(m_wnd->Tool(), s.tool);
        EXPECT_EQ(m_wnd->Width(), s.width) << s.tool << "/" << s.sizeType;
        SetCursor(nullptr);
        EXPECT_EQ(
            SendMessageW(m_hwnd, WM_SETCURSOR, WPARAM(m_hwnd), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)),
            TRUE);
        ASSERT_NE(ProgramCursor(s.cursor), nullptr);
        EXPECT_EQ(GetCursor(), ProgramCursor(s.cursor)) << s.tool << "/" << s.sizeType;
    }
    // Outside the client area the system chooses the cursor.
    SendMessageW(m_hwnd, WM_SETCURSOR, WPARAM(m_hwnd), MAKELPARAM(HTCAPTION, WM_MOUSEMOVE));
    EXPECT_NE(GetCursor(), ProgramCursor(IDC_NOTE_PEN));
}

TEST_F(Whiteboard, AStrokeKeepsItsColourWhenTheColourChangesUnderway) {
    m_wnd->SetPenSize(3);
    m_wnd->SetColour(kRed);
    Send(m_wnd, WM_LBUTTONDOWN, MK_LBUTTON, 100, 200);
    Send(m_wnd, WM_MOUSEMOVE, MK_LBUTTON, 200, 200);
    m_wnd->SetColour(kBlue);
    Send(m_wnd, WM_MOUSEMOVE, MK_LBUTTON, 300, 200);
    Send(m_wnd, WM_LBUTTONUP, 0, 300, 200);
    Write(m_wnd, {{100, 300}, {300, 300}});
    EXPECT_EQ(m_wnd->StrokeCount(), 2u);
    Repaint(m_wnd);
    Picture picture(m_wnd->RenderPicture());
    for (int x : {150, 250}) {
        EXPECT_EQ(WindowPixel(m_hwnd, x, 200), kRed) << x;
        EXPECT_EQ(picture.At(x, 200), kRed) << x;
        EXPECT_EQ(WindowPixel(m_hwnd, x, 300), kBlue) << x;
        EXPECT_EQ(picture.At(x, 300), kBlue) << x;
    }
}

TEST_F(Whiteboard, PostedPenMessagesDrawWhenTheyAreServed) {
    m_wnd->SetPenSize(2);
    const std::pair<UINT, POINT> pen[] = {{WM_LBUTTONDOWN, {100, 450}},
                                          {WM_MOUSEMOVE, {200, 450}},
                                          {WM_MOUSEMOVE, {300, 450}},
                                          {WM_LBUTTONUP, {300, 450}}};
    for (const auto& [message, p] : pen)
        PostMessageW(m_hwnd, message, message == WM_LBUTTONUP ? 0 : MK_LBUTTON,
                     MAKELPARAM(p.x, p.y));
    EXPECT_TRUE(PumpUntil([&] { return m_wnd->StrokeCount() == 1 && GetCapture() == nullptr; }));
    for (int x : {150, 250}) {
        EXPECT_EQ(WindowPixel(m_hwnd, x, 450), kRed) << x;
        EXPECT_EQ(WindowPixel(m_hwnd, x, 460), kWhite) << x;
    }
}

TEST_F(Whiteboard, ATapMarksTheNoteModifiedAndDrawsNothing) {
    Picture before(m_wnd->RenderPicture());
    Write(m_wnd, {{400, 400}});
    EXPECT_TRUE(m_wnd->Modified());
    EXPECT_EQ(m_wnd->StrokeCount(), 1u);
    EXPECT_EQ(WindowPixel(m_hwnd, 400, 400), kWhite);
    Picture after(m_wnd->RenderPicture());
    EXPECT_EQ(before.Differences(after), 0u);
}

TEST_F(Whiteboard, AMoveWithoutTheButtonEndsTheStrokeAndFreesTheMouse) {
    m_wnd->SetPenSize(2);
    Send(m_wnd, WM_LBUTTONDOWN, MK_LBUTTON, 100, 500);
    EXPECT_EQ(GetCapture(), m_hwnd);
    Send(m_wnd, WM_MOUSEMOVE, MK_LBUTTON, 200, 500);
    Send(m_wnd, WM_MOUSEMOVE, 0, 250, 500);
    EXPECT_EQ(GetCapture(), nullptr);
    Send(m_wnd, WM_MOUSEMOVE, MK_LBUTTON, 400, 500);
    EXPECT_EQ(WindowPixel(m_hwnd, 150, 500), kRed);
    EXPECT_EQ(WindowPixel(m_hwnd, 300, 500), kWhite) << "no ink after the button came up";
    Repaint(m_wnd);
    EXPECT_EQ(WindowPixel(m_hwnd, 150, 500), kRed);
    EXPECT_EQ(WindowPixel(m_hwnd, 225, 500), kWhite) << "the stroke ended at (200, 500)";

    // Losing the mouse to someone else ends the stroke too.
    Send(m_wnd, WM_LBUTTONDOWN, MK_LBUTTON, 100, 600);
    EXPECT_EQ(GetCapture(), m_hwnd);
    ReleaseCapture();
    Send(m_wnd, WM_MOUSEMOVE, MK_LBUTTON, 300, 600);
    EXPECT_EQ(WindowPixel(m_hwnd, 200, 600), kWhite);
}

TEST_F(Whiteboard, ClearAllRemovesTheInkAndKeepsTheNoteModified) {
    Write(m_wnd, {{100, 100}, {500, 100}});
    ASSERT_EQ(WindowPixel(m_hwnd, 300, 100), kRed);
    m_wnd->ClearAll();
    EXPECT_EQ(m_wnd->StrokeCount(), 0u);
    EXPECT_TRUE(m_wnd->Modified());
    EXPECT_EQ(WindowPixel(m_hwnd, 300, 100), kWhite);
    Picture picture(m_wnd->RenderPicture());
    EXPECT_EQ(picture.At(300, 100), kWhite);
}

TEST_F(Whiteboard, AltF4DoesNotCloseTheOverlay) {
    SendMessageW(m_hwnd, WM_SYSKEYDOWN, VK_F4, LPARAM(1) << 29 | 0x003E0001);
    PumpUntil([] { return true; });  // a default handling would have posted the close
    EXPECT_TRUE(IsWindow(m_hwnd));
}

TEST_F(Whiteboard, CloseOverlayDestroysTheWindow) {
    Write(m_wnd, {{100, 100}, {500, 100}});
    m_wnd->CloseOverlay();
    EXPECT_FALSE(IsWindow(m_hwnd));
    EXPECT_EQ(FindWindowW(nullptr, L"Tavrel Notetool Wnd"), nullptr);
    m_wnd = nullptr;
}

// The eraser restores the page in 32 x 32 squares: live one pixel right and two down of
// the square (clipped at the left and top edges first), replayed exactly on it.
struct EraseCase {
    const char* name;
    POINT pen;
    std::vector<POINT> ink;  // red lines 30 pixels wide, one after the other
    struct Probe {
        int x, y;
        bool liveInk, replayInk;  // false: the page shows again
    };
    std::vector<Probe> probes;
};

void PrintTo(const EraseCase& c, std::ostream* os) {
    *os << c.name << " at " << c.pen.x << "," << c.pen.y;
}

class Eraser : public Whiteboard, public ::testing::WithParamInterface<EraseCase> {};

TEST_P(Eraser, RestoresThePageInSquares) {
    const EraseCase& c = GetParam();
    Picture page(m_wnd->RenderPicture());
    for (size_t i = 0; i + 1 < c.ink.size(); i += 2) Write(m_wnd, {c.ink[i], c.ink[i + 1]});
    m_wnd->SetTool(note::kToolErase);
    Send(m_wnd, WM_LBUTTONDOWN, MK_LBUTTON, c.pen.x, c.pen.y);
    for (const auto& p : c.probes) {
        const COLORREF expected = p.liveInk ? kRed : page.At(p.x, p.y);
        EXPECT_EQ(WindowPixel(m_hwnd, p.x, p.y), expected) << "live " << p.x << "," << p.y;
    }
    Send(m_wnd, WM_LBUTTONUP, 0, c.pen.x, c.pen.y);
    Repaint(m_wnd);
    Picture picture(m_wnd->RenderPicture());
    for (const auto& p : c.probes) {
        const COLORREF expected = p.replayInk ? kRed : page.At(p.x, p.y);
        EXPECT_EQ(WindowPixel(m_hwnd, p.x, p.y), expected) << "replayed " << p.x << "," << p.y;
        EXPECT_EQ(picture.At(p.x, p.y), expected) << "picture " << p.x << "," << p.y;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, Eraser,
    ::testing::Values(
        // Square [484, 516) x [284, 316); live [485, 517) x [286, 318).
        EraseCase{"Middle",
                  {500, 300},
                  {{400, 290}, {600, 290}, {400, 310}, {600, 310}},
                  {{500, 300, false, false},
                   {484, 300, true, false},
                   {516, 300, false, true},
                   {500, 285, true, false},
                   {500, 317, false, true},
                   {450, 300, true, true}}},
        // Clipped to (0, 0, 21, 21); live (1, 2, 22, 23): column 0 and rows 0-1 stay.
        EraseCase{"TopLeftCorner",
                  {5, 5},
                  {{0, 10}, {80, 10}, {0, 20}, {80, 20}},
                  {{0, 10, true, false},
                   {10, 1, true, false},
                   {10, 10, false, false},
                   {21, 10, false, true},
                   {10, 22, false, true},
                   {40, 10, true, true}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Whiteboard, SaveJpegWritesTheNoteAndClearsModified) {
    wchar_t temp[MAX_PATH];
    ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
    const std::wstring folder =
        std::wstring(temp) + L"tavrel-note-" + std::to_wstring(GetCurrentProcessId());
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr) ||
                GetLastError() == ERROR_ALREADY_EXISTS);
    const std::wstring path = folder + L"\\20261210_123456.jpg";
    m_wnd->SetPenSize(4);
    Write(m_wnd, {{100, 400}, {900, 400}});
    ASSERT_TRUE(m_wnd->Modified());
    ASSERT_TRUE(m_wnd->SaveJpeg(path));
    EXPECT_FALSE(m_wnd->Modified());
    EXPECT_EQ(m_wnd->LastSavedPath(), path);
    // A second save replaces the first file.
    Write(m_wnd, {{100, 600}, {900, 600}});
    ASSERT_TRUE(m_wnd->SaveJpeg(path));
    {
        Gdiplus::Bitmap jpeg(path.c_str());
        ASSERT_EQ(jpeg.GetLastStatus(), Gdiplus::Ok);
        EXPECT_EQ(int(jpeg.GetWidth()), GetSystemMetrics(SM_CXSCREEN));
        EXPECT_EQ(int(jpeg.GetHeight()), GetSystemMetrics(SM_CYSCREEN));
        for (int y : {400, 600}) {
            Gdiplus::Color colour;
            jpeg.GetPixel(500, y, &colour);
            EXPECT_NEAR(colour.GetR(), 230, 24) << y;
            EXPECT_LT(colour.GetG(), 40) << y;
            EXPECT_LT(colour.GetB(), 40) << y;
        }
        Gdiplus::Color page;
        jpeg.GetPixel(500, 500, &page);
        EXPECT_GT(page.GetG(), 230) << "white away from the ink";
    }

    // A folder that does not exist: nothing is written and the note stays modified.
    Write(m_wnd, {{100, 200}, {900, 200}});
    const std::wstring missing = folder + L"\\missing\\note.jpg";
    EXPECT_FALSE(m_wnd->SaveJpeg(missing));
    EXPECT_TRUE(m_wnd->Modified());
    EXPECT_EQ(m_wnd->LastSavedPath(), path);
    EXPECT_EQ(GetFileAttributesW(missing.c_str()), INVALID_FILE_ATTRIBUTES);
    DeleteFileW(path.c_str());
    RemoveDirectoryW(folder.c_str());
}

COLORREF ScreenPixel(int x, int y) {
    HDC screen = GetDC(nullptr);
    const COLORREF colour = GetPixel(screen, x, y);
    ReleaseDC(nullptr, screen);
    return colour;
}

// A topmost window of one stock colour; the class's brush paints it.
HWND StockWindow(int stockBrush, int x, int y, int width, int height) {
    const wchar_t* cls =
        AfxRegisterWndClass(0, nullptr, static_cast<HBRUSH>(GetStockObject(stockBrush)));
    return CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, cls, L"", WS_POPUP | WS_VISIBLE, x, y,
                           width, height, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
}

// Board writing over a real screen: a black and a white window with the main panel (a
// window of another thread) over the black one. The panel is hidden for the copy and
// shown again; the see-through pen keeps black black and tints white.
TEST(NoteOverlay, BoardWritingCopiesTheScreenWithoutThePanel) {
    HWND black = StockWindow(BLACK_BRUSH, 200, 200, 200, 200);
    HWND white = StockWindow(WHITE_BRUSH, 400, 200, 200, 200);
    ASSERT_TRUE(black != nullptr && white != nullptr);
    std::atomic<HWND> panel{nullptr};
    std::atomic<DWORD> panelThread{0};
    std::thread owner([&] {
        HWND wnd = StockWindow(DKGRAY_BRUSH, 250, 250, 100, 100);
        panelThread = GetCurrentThreadId();
        panel = wnd;
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
        if (wnd != nullptr) DestroyWindow(wnd);
    });
    const bool shown = PumpUntil([&] {
        return panel.load() != nullptr && ScreenPixel(300, 300) == RGB(64, 64, 64) &&
               ScreenPixel(220, 220) == kBlack && ScreenPixel(500, 300) == kWhite;
    });
    CNoteToolWnd* wnd = shown ? CNoteToolWnd::CreateOverlay(note::kModeBoard, panel) : nullptr;
    const bool panelBack = panel.load() != nullptr && IsWindowVisible(panel) != FALSE;
    DestroyWindow(black);
    DestroyWindow(white);
    while (panelThread == 0) Sleep(1);
    PostThreadMessageW(panelThread, WM_QUIT, 0, 0);
    owner.join();
    ASSERT_TRUE(shown) << "the test windows never showed";
    ASSERT_NE(wnd, nullptr);
    EXPECT_TRUE(panelBack) << "the panel shows again after the copy";
    {
        Picture picture(wnd->RenderPicture());
        ASSERT_TRUE(picture.Valid());
        EXPECT_EQ(picture.At(300, 300), kBlack) << "the panel is not in the snapshot";
        EXPECT_EQ(picture.At(220, 220), kBlack);
        EXPECT_EQ(picture.At(500, 300), kWhite);
    }
    PumpUntil([] { return true; });  // the overlay repaints where the windows were

    wnd->SetColour(kYellow);
    wnd->SetPenSize(3);
    wnd->ToggleSemiTransparent();
    ASSERT_TRUE(wnd->SemiTransparent());
    Write(wnd, {{250, 300}, {550, 300}});
    wnd->ToggleSemiTransparent();
    Write(wnd, {{250, 350}, {550, 350}});
    struct Probe {
        int x, y;
        COLORREF colour;
    };
    const Probe probes[] = {
        {300, 300, kBlack}, {500, 300, kYellow}, {300, 350, kYellow}, {500, 350, kYellow}};
    for (const Probe& p : probes)
        EXPECT_EQ(WindowPixel(wnd->m_hWnd, p.x, p.y), p.colour) << "live " << p.x << "," << p.y;
    Repaint(wnd);
    Picture picture(wnd->RenderPicture());
    for (const Probe& p : probes) {
        EXPECT_EQ(WindowPixel(wnd->m_hWnd, p.x, p.y), p.colour) << "replay " << p.x << "," << p.y;
        EXPECT_EQ(picture.At(p.x, p.y), p.colour) << "picture " << p.x << "," << p.y;
    }
    wnd->CloseOverlay();
}

// Measured, not asserted: how long a repaint takes as strokes pile up.
TEST_F(Whiteboard, RepaintTimeGrowsWithTheStrokes) {
    constexpr int kStrokes = 2000, kPoints = 50;
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    auto repaintMs = [&] {
        double best = 1e9;
        for (int i = 0; i < 3; ++i) {
            LARGE_INTEGER start, end;
            QueryPerformanceCounter(&start);
            Repaint(m_wnd);
            GdiFlush();
            QueryPerformanceCounter(&end);
            best = std::min(
                best, double(end.QuadPart - start.QuadPart) * 1000.0 / double(frequency.QuadPart));
        }
        return best;
    };
    m_wnd->SetPenSize(2);
    int over16At = 0;
    for (int s = 0; s < kStrokes; ++s) {
        // Handwriting-sized strokes: short steps from a place of their own.
        std::vector<POINT> path;
        const int x0 = 30 + (s * 97) % 760, y0 = 30 + (s * 61) % 600;
        for (int i = 0; i < kPoints; ++i) path.push_back({x0 + i * 4, y0 + (i % 7) * 3});
        Write(m_wnd, path);
        if ((s + 1) % 10 == 0 && over16At == 0 && repaintMs() > 16.0) over16At = s + 1;
    }
    ASSERT_EQ(m_wnd->StrokeCount(), size_t(kStrokes));
    const double ms = repaintMs();
    std::printf(
        "[ MEASURE  ] repaint of %d strokes of %d points: %.1f ms; past 16 ms at %d "
        "strokes (0: never)\n",
        kStrokes, kPoints, ms, over16At);
    Picture picture(m_wnd->RenderPicture());
    Picture shown(WindowDib(m_hwnd));
    EXPECT_EQ(picture.Differences(shown), 0u) << "every stroke was replayed";
}

}  // namespace

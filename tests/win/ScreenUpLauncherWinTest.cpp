// The screen-up capture threads under Wine: the real capture of the test desktop, the
// GDI+ encoder and the hand-over to a window of the test, which stands in for the main
// dialog. A window of the test changes colour with every frame it takes, so that the
// screen keeps changing while a test wants frames.
#include "protocol/Packet.h"
#include "remote/FrameBlock.h"
#include "remote/TileGrid.h"
#include "screenup/ScreenUpGeometry.h"
#include "screenup/ScreenUpLauncher_win.h"
#include "shell/ProgramMessages.h"
#include "widgets/GdiPlus_win.h"

#include "TcpTestSupport.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <atomic>
#include <cstring>
#include <vector>

namespace {

using tcptest::PumpOnce;
using tcptest::PumpUntil;

constexpr DWORD kJoinMs = 10000;

struct HandedFrame {
    int32_t number = 0;
    uint32_t generation = 0;
    bool fullRefresh = false;
    int32_t tiles = 0;
};

// The main dialog's stand-in: takes every frame (answering 1, as when it was sent) and
// repaints a visible block of the screen in the next colour.
class CDialogStandIn {
  public:
    CDialogStandIn() {
        WNDCLASSW wc{};
        wc.lpfnWndProc = &CDialogStandIn::WndProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"ScreenUpTestDialog";
        RegisterClassW(&wc);
        m_hWnd = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, wc.lpszClassName, L"",
                                 WS_POPUP | WS_VISIBLE, 100, 100, 200, 150, nullptr, nullptr,
                                 wc.hInstance, nullptr);
        SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~CDialogStandIn() { DestroyWindow(m_hWnd); }

    HWND m_hWnd = nullptr;
    std::vector<HandedFrame> frames;
    CScreenUpLauncher* launcher = nullptr;
    // Frames of a generation that is no longer current.
    int stale = 0;
    bool keepChanging = true;

  private:
    void Take(const CPacket& packet, LPARAM lParam) {
        HandedFrame f;
        f.number = packet.m_nFrameNumber;
        f.generation = CScreenUpLauncher::GenerationOf(lParam);
        f.fullRefresh = CScreenUpLauncher::IsFullRefresh(lParam);
        std::vector<uint8_t> block(static_cast<size_t>(packet.m_nUncompressedLength));
        uLongf size = static_cast<uLongf>(block.size());
        if (uncompress(block.data(), &size, packet.m_vData.data(),
                       static_cast<uLong>(packet.m_vData.size())) == Z_OK &&
            size >= 8) {
            std::memcpy(&f.tiles, block.data() + 4, 4);
        }
        if (launcher != nullptr && !launcher->IsCurrent(f.generation)) ++stale;
        frames.push_back(f);
        if (keepChanging) {
            ++m_nColour;
            InvalidateRect(m_hWnd, nullptr, FALSE);
        }
    }

    void Paint() {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(m_hWnd, &paint);
        RECT client;
        GetClientRect(m_hWnd, &client);
        HBRUSH brush = CreateSolidBrush(RGB((m_nColour * 70) % 256, (m_nColour * 40) % 256, 90));
        FillRect(dc, &client, brush);
        DeleteObject(brush);
        EndPaint(m_hWnd, &paint);
    }

    static LRESULT CALLBACK WndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<CDialogStandIn*>(GetWindowLongPtrW(hWnd, GWLP_USERDATA));
        if (self != nullptr && message == kWmSendFramePacket) {
            self->Take(*reinterpret_cast<const CPacket*>(wParam), lParam);
            return 1;
        }
        if (self != nullptr && message == WM_PAINT) {
            self->Paint();
            return 0;
        }
        return DefWindowProcW(hWnd, message, wParam, lParam);
    }

    int m_nColour = 0;
};

class ScreenUpLauncherTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(m_gdiPlus.Started()); }
    void TearDown() override {
        m_running = false;
        EXPECT_TRUE(m_launcher.EndAndJoin(kJoinMs));
    }

    bool Start(uint32_t firstFrame = 0) {
        m_dialog.launcher = &m_launcher;
        return m_launcher.Start(m_dialog.m_hWnd, m_running, GetSystemMetrics(SM_CXSCREEN),
                                GetSystemMetrics(SM_CYSCREEN), firstFrame);
    }

    CGdiPlusSession m_gdiPlus;
    std::atomic<bool> m_running{true};
    CDialogStandIn m_dialog;
    CScreenUpLauncher m_launcher;
};

TEST(ScreenUpHandOverParam, CarriesTheRefreshFlagAndTheGeneration) {
    const struct {
        bool full;
        uint32_t generation;
    } cases[] = {{false, 0}, {true, 0}, {false, 1}, {true, 12345}, {true, 0x7FFFFFFFu}};
    for (const auto& c : cases) {
        const LPARAM lParam = CScreenUpLauncher::HandOverParam(c.full, c.generation);
        EXPECT_EQ(CScreenUpLauncher::IsFullRefresh(lParam), c.full);
        EXPECT_EQ(CScreenUpLauncher::GenerationOf(lParam), c.generation);
    }
}

TEST_F(ScreenUpLauncherTest, FramesOfTheWholeGridThenOfTheChangesNumberedOnFromTheFirst) {
    ASSERT_TRUE(Start(7));
    ASSERT_TRUE(PumpUntil([&] { return m_dialog.frames.size() >= 5; }));
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    const TileGrid grid = ScreenUpGrid(width, height);
    // The first frame carries every tile (none was sent before); the numbers count on
    // from the given one.
    EXPECT_EQ(m_dialog.frames[0].tiles, grid.Count());
    for (size_t i = 0; i < m_dialog.frames.size(); ++i)
        EXPECT_EQ(m_dialog.frames[i].number, static_cast<int32_t>(7 + i));
    // The window that changes covers a few tiles only.
    EXPECT_LT(m_dialog.frames[2].tiles, grid.Count());
    EXPECT_GT(m_dialog.frames[2].tiles, 0);
    EXPECT_EQ(m_dialog.stale, 0);
    EXPECT_EQ(m_launcher.RunningThreads(), 1);
}

TEST_F(ScreenUpLauncherTest, AQuickOffAndOnLeavesOneThreadAndOnlyItsFramesCount) {
    for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(Start());
        m_launcher.Stop();
    }
    ASSERT_TRUE(Start(100));
    ASSERT_TRUE(PumpUntil([&] { return m_launcher.RunningThreads() == 1; }));
    const size_t before = m_dialog.frames.size();
    const int staleBefore = m_dialog.stale;
    ASSERT_TRUE(PumpUntil([&] { return m_dialog.frames.size() >= before + 5; }));
    EXPECT_EQ(m_dialog.stale, staleBefore) << "a replaced thread still handed frames over";
    // The new thread's numbers start at its own first number.
    bool sawFirst = false;
    for (const HandedFrame& f : m_dialog.frames) sawFirst = sawFirst || f.number == 100;
    EXPECT_TRUE(sawFirst);
}

TEST_F(ScreenUpLauncherTest, EndAndJoinReturnsWhileAThreadWaitsInItsHandOver) {
    ASSERT_TRUE(Start());
    // The thread blocks in its hand-over to this thread, which does not pump: the join
    // must deliver that message itself to end it.
    const DWORD start = GetTickCount();
    while ((HIWORD(GetQueueStatus(QS_SENDMESSAGE)) & QS_SENDMESSAGE) == 0) {
        ASSERT_LT(GetTickCount() - start, tcptest::kGuardMs) << "no frame was handed over";
        Sleep(1);
    }
    EXPECT_TRUE(m_launcher.EndAndJoin(kJoinMs));
    EXPECT_EQ(m_launcher.RunningThreads(), 0);
    const size_t frames = m_dialog.frames.size();
    for (int i = 0; i < 10; ++i) PumpOnce();
    EXPECT_EQ(m_dialog.frames.size(), frames) << "a frame came after the join";
}

TEST_F(ScreenUpLauncherTest, AClearedFlagEndsTheThreadAfterItsCycle) {
    ASSERT_TRUE(Start());
    ASSERT_TRUE(PumpUntil([&] { return !m_dialog.frames.empty(); }));
    m_running = false;
    ASSERT_TRUE(PumpUntil([&] { return m_launcher.RunningThreads() == 0; }));
    EXPECT_TRUE(m_launcher.WaitForThreads(kJoinMs, false));
}

}  // namespace

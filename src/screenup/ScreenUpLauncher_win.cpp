#include "screenup/ScreenUpLauncher_win.h"

#include "protocol/Packet.h"
#include "screenup/GdiPlusImageEncoder_win.h"
#include "screenup/ScreenUpEngine.h"
#include "screenup/ScreenUpGeometry.h"
#include "shell/ProgramMessages.h"

namespace {

// A cycle faster than this is followed by a short pause, so that an idle screen does
// not take a whole core.
constexpr DWORD kBusyCycleMs = 100;
constexpr DWORD kCyclePauseMs = 1;
constexpr uint32_t kGenerationMask = 0x7FFFFFFFu;

}  // namespace

struct CScreenUpLauncher::State {
    std::atomic<uint32_t> generation{0};
    std::atomic<int> running{0};
    std::atomic<uint32_t> frameCounter{0};
};

namespace {

struct CaptureParams {
    std::shared_ptr<CScreenUpLauncher::State> state;
    const std::atomic<bool>* running = nullptr;
    HWND dialog = nullptr;
    uint32_t generation = 0;
    int width = 0;
    int height = 0;
};

bool KeepRunning(const CaptureParams& p) {
    return p.running->load() && p.state->generation.load() == p.generation;
}

// A 32-bpp top-down DIB section selected into a memory device context.
class CCanvas {
  public:
    CCanvas(HDC screen, int width, int height) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        m_hBitmap = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        m_hDC = ::CreateCompatibleDC(screen);
        if (m_hBitmap == nullptr || m_hDC == nullptr || bits == nullptr) return;
        m_hOld = ::SelectObject(m_hDC, m_hBitmap);
        m_view.pixels = static_cast<uint8_t*>(bits);
        m_view.width = width;
        m_view.height = height;
        m_view.stride = static_cast<ptrdiff_t>(width) * PixelView::kBytesPerPixel;
    }
    ~CCanvas() {
        if (m_hDC != nullptr) {
            if (m_hOld != nullptr) ::SelectObject(m_hDC, m_hOld);
            ::DeleteDC(m_hDC);
        }
        if (m_hBitmap != nullptr) ::DeleteObject(m_hBitmap);
    }
    CCanvas(const CCanvas&) = delete;
    CCanvas& operator=(const CCanvas&) = delete;
    bool Valid() const { return !m_view.Empty(); }
    HDC DC() const { return m_hDC; }
    const PixelView& View() const { return m_view; }

  private:
    HBITMAP m_hBitmap = nullptr;
    HDC m_hDC = nullptr;
    HGDIOBJ m_hOld = nullptr;
    PixelView m_view;
};

class CDialogSink : public IFrameSink {
  public:
    explicit CDialogSink(const CaptureParams& params) : m_params(params) {}
    bool HandOver(const CPacket& frame, bool fullRefresh) override {
        // A thread that is no longer wanted hands nothing over, not even the rest of
        // the cycle it is in.
        if (!KeepRunning(m_params)) return false;
        const LRESULT sent =
            ::SendMessageW(m_params.dialog, kWmSendFramePacket, reinterpret_cast<WPARAM>(&frame),
                           CScreenUpLauncher::HandOverParam(fullRefresh, m_params.generation));
        return sent == 1;
    }

  private:
    const CaptureParams& m_params;
};

void Capture(const CaptureParams& p) {
    HWND desktop = ::GetDesktopWindow();
    HDC screen = ::GetDC(desktop);
    if (screen == nullptr) return;
    {
        // The capture is the primary screen and the target its own size, so the fit
        // is the identity and the screen is copied straight into the canvas. A target
        // of another size gets the capture stretched into its fitted place.
        const int captureWidth = p.width;
        const int captureHeight = p.height;
        const FitRect fit = FitCapture(captureWidth, captureHeight, p.width, p.height);
        const bool direct =
            fit.x == 0 && fit.y == 0 && fit.width == captureWidth && fit.height == captureHeight;
        CCanvas canvas(screen, p.width, p.height);
        CCanvas capture(screen, direct ? 1 : captureWidth, direct ? 1 : captureHeight);
        CGdiPlusImageEncoder encoder;
        CScreenUpEngine engine(p.width, p.height, encoder, p.state->frameCounter.load());
        if (canvas.Valid() && capture.Valid() && encoder.Ready() && engine.IsValid()) {
            ::SetStretchBltMode(canvas.DC(), HALFTONE);
            CDialogSink sink(p);
            while (KeepRunning(p)) {
                const DWORD started = ::GetTickCount();
                // A failed copy leaves the last picture, which then shows no change.
                if (direct) {
                    ::BitBlt(canvas.DC(), 0, 0, captureWidth, captureHeight, screen, 0, 0,
                             SRCCOPY | CAPTUREBLT);
                } else if (::BitBlt(capture.DC(), 0, 0, captureWidth, captureHeight, screen, 0, 0,
                                    SRCCOPY | CAPTUREBLT)) {
                    ::StretchBlt(canvas.DC(), fit.x, fit.y, fit.width, fit.height, capture.DC(), 0,
                                 0, captureWidth, captureHeight, SRCCOPY);
                }
                ::GdiFlush();
                engine.RunCycle(canvas.View(), sink);
                p.state->frameCounter.store(engine.FrameCounter());
                if (::GetTickCount() - started < kBusyCycleMs) ::Sleep(kCyclePauseMs);
            }
        }
    }
    ::ReleaseDC(desktop, screen);
}

DWORD WINAPI CaptureThread(LPVOID parameter) {
    std::unique_ptr<CaptureParams> params(static_cast<CaptureParams*>(parameter));
    Capture(*params);
    // Counted by the starter; the thread leaves the count on its way out.
    params->state->running.fetch_sub(1);
    return 0;
}

}  // namespace

CScreenUpLauncher::CScreenUpLauncher() : m_state(std::make_shared<State>()) {}

CScreenUpLauncher::~CScreenUpLauncher() {
    EndAndJoin(3000);
    for (HANDLE thread : m_vThreads) ::CloseHandle(thread);
}

bool CScreenUpLauncher::Start(HWND dialog, const std::atomic<bool>& running, int width, int height,
                              uint32_t firstFrame) {
    CloseEndedThreads();
    auto params = std::make_unique<CaptureParams>();
    params->state = m_state;
    params->running = &running;
    params->dialog = dialog;
    params->generation = (m_state->generation.load() + 1) & kGenerationMask;
    params->width = width;
    params->height = height;
    m_state->generation.store(params->generation);
    m_state->frameCounter.store(firstFrame);
    m_state->running.fetch_add(1);
    HANDLE thread = ::CreateThread(nullptr, 0, &CaptureThread, params.get(), 0, nullptr);
    if (thread == nullptr) {
        m_state->running.fetch_sub(1);
        return false;
    }
    params.release();  // the thread owns it now
    m_vThreads.push_back(thread);
    return true;
}

void CScreenUpLauncher::Stop() {
    m_state->generation.store((m_state->generation.load() + 1) & kGenerationMask);
}

bool CScreenUpLauncher::WaitForThreads(DWORD milliseconds, bool pumpAll) {
    const DWORD started = ::GetTickCount();
    for (;;) {
        // First what is already waiting: a thread may sit in its hand-over since before
        // the wait began, and its message no longer counts as new input.
        MSG message;
        if (pumpAll) {
            while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                if (message.message == WM_QUIT) {
                    // Left for the loop that owns the thread.
                    ::PostQuitMessage(static_cast<int>(message.wParam));
                    break;
                }
                ::TranslateMessage(&message);
                ::DispatchMessageW(&message);
            }
        } else {
            // Looking is enough: it delivers the messages sent from other threads and
            // leaves the posted ones where they are.
            ::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);
        }
        CloseEndedThreads();
        if (m_vThreads.empty()) return true;
        const DWORD elapsed = ::GetTickCount() - started;
        if (elapsed >= milliseconds) return false;
        const DWORD count = static_cast<DWORD>(m_vThreads.size() < MAXIMUM_WAIT_OBJECTS - 1
                                                   ? m_vThreads.size()
                                                   : MAXIMUM_WAIT_OBJECTS - 1);
        ::MsgWaitForMultipleObjectsEx(count, m_vThreads.data(), milliseconds - elapsed,
                                      pumpAll ? QS_ALLINPUT : QS_SENDMESSAGE, MWMO_INPUTAVAILABLE);
    }
}

bool CScreenUpLauncher::EndAndJoin(DWORD milliseconds) {
    Stop();
    return WaitForThreads(milliseconds, false);
}

void CScreenUpLauncher::CloseEndedThreads() {
    for (size_t i = 0; i < m_vThreads.size();) {
        if (::WaitForSingleObject(m_vThreads[i], 0) == WAIT_OBJECT_0) {
            ::CloseHandle(m_vThreads[i]);
            m_vThreads.erase(m_vThreads.begin() + static_cast<ptrdiff_t>(i));
        } else {
            ++i;
        }
    }
}

bool CScreenUpLauncher::IsCurrent(uint32_t generation) const {
    return (generation & kGenerationMask) == m_state->generation.load();
}

int CScreenUpLauncher::RunningThreads() const { return m_state->running.load(); }

uint32_t CScreenUpLauncher::FrameCounter() const { return m_state->frameCounter.load(); }

LPARAM CScreenUpLauncher::HandOverParam(bool fullRefresh, uint32_t generation) {
    return static_cast<LPARAM>(((generation & kGenerationMask) << 1) | (fullRefresh ? 1u : 0u));
}

bool CScreenUpLauncher::IsFullRefresh(LPARAM lParam) {
    return (static_cast<uint32_t>(lParam) & 1u) != 0;
}

uint32_t CScreenUpLauncher::GenerationOf(LPARAM lParam) {
    return (static_cast<uint32_t>(lParam) >> 1) & kGenerationMask;
}

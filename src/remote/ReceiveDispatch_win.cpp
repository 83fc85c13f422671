#include "remote/ReceiveDispatch_win.h"

#include "panel/RHInfo_win.h"
#include "protocol/Packet.h"
#include "remote/CommunicationWnd_win.h"
#include "remote/FrameApplier.h"
#include "remote/GdiPlusImageDecoder_win.h"
#include "remote/RemoteDispatch.h"
#include "remote/RepaintArea.h"
#include "shell/ProgramMessages.h"

#include <objbase.h>
#include <process.h>
#include <shellapi.h>

namespace {

// How long the thread waits for a packet before it looks at the running flag
// again.
constexpr unsigned kIdleWaitMs = 20;
constexpr wchar_t kTouchKeyboard[] = L"tabtip.exe";

struct DispatchContext {
    std::shared_ptr<CCommChannel> channel;
    CRHInfo* info;
    HWND comm;
    HWND mainDialog;
};

class CDispatchHost : public IRemoteDispatchHost {
  public:
    explicit CDispatchHost(const DispatchContext& context) : m_context(context) {}
    void PostMainDialog(unsigned message, uintptr_t wParam, intptr_t lParam) override {
        ::PostMessageW(m_context.mainDialog, message, wParam, lParam);
    }
    void PostViewer(unsigned message, uintptr_t wParam, intptr_t lParam) override {
        if (HWND viewer = m_context.info->m_hViewWnd.load())
            ::PostMessageW(viewer, message, wParam, lParam);
    }
    void RecreateFrame(int width, int height) override {
        m_context.info->RecreateFrame(width, height);
    }
    void OpenTouchKeyboard() override {
        ::ShellExecuteW(nullptr, L"open", kTouchKeyboard, L"", nullptr, SW_SHOWNORMAL);
    }
    long long NowSeconds() override { return CRHInfo::NowSeconds(); }
    PadScreenSize PrimaryScreen() override {
        return PadScreenSize{::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    }

  private:
    const DispatchContext& m_context;
};

// A view of the frame buffer for the portable applier: the bitmap is bottom-up,
// so the view starts at its last row with a negative stride. Call under
// m_csFrame.
PixelView FrameView(CMemBitmap& frame) {
    PixelView view;
    if (frame.m_pBits == nullptr || frame.m_nBitsPerPixel != 32) return view;
    const ptrdiff_t row = static_cast<ptrdiff_t>(frame.m_nWidth) * PixelView::kBytesPerPixel;
    view.width = frame.m_nWidth;
    view.height = frame.m_nHeight;
    view.stride = -row;
    view.pixels = static_cast<uint8_t*>(frame.m_pBits) + row * (frame.m_nHeight - 1);
    return view;
}

// Only where tiles changed is painted again: stretching the whole frame buffer for
// every frame would cost the viewer's thread most of its time, and the teacher's
// input waits behind it.
void InvalidateChanged(HWND viewer, const std::vector<TileRect>& changed, StretchSizes sizes) {
    RECT client{};
    ::GetClientRect(viewer, &client);
    sizes.windowWidth = client.right - client.left;
    sizes.windowHeight = client.bottom - client.top;
    if (!sizes.Valid()) {
        ::InvalidateRect(viewer, nullptr, FALSE);
        return;
    }
    for (const PaintRect& r : WindowRectsForTiles(changed, sizes)) {
        const RECT rect{r.left, r.top, r.right, r.bottom};
        ::InvalidateRect(viewer, &rect, FALSE);
    }
}

void ApplyFrame(const DispatchContext& context, CFrameApplier& applier, IImageDecoder& decoder,
                const CPacket& frame) {
    CRHInfo& info = *context.info;
    const FrameGeometry geometry{info.m_nTileWidth, info.m_nTileHeight,
                                 info.m_rcMonitor.right - info.m_rcMonitor.left};
    if (applier.Prepare(frame, geometry, decoder)) {
        std::vector<TileRect> changed;
        ::EnterCriticalSection(&info.m_csFrame);
        applier.PlaceTiles(FrameView(info.m_bmFrame), &changed);
        StretchSizes sizes{info.m_bmFrame.m_nWidth, info.m_bmFrame.m_nHeight, 0, 0};
        ::LeaveCriticalSection(&info.m_csFrame);
        if (HWND viewer = info.m_hViewWnd.load()) InvalidateChanged(viewer, changed, sizes);
    }
    info.m_dtLastRecv = CRHInfo::NowSeconds();
    // Every frame is acknowledged, placed or not, so the lectern PC keeps
    // streaming.
    ::SendMessageW(context.comm, kWmAcknowledgeFrame, 0, frame.m_nFrameNumber);
}

unsigned __stdcall ReceiveDispatchMain(void* parameter) {
    std::unique_ptr<DispatchContext> context(static_cast<DispatchContext*>(parameter));
    // The touch keyboard is opened through the shell, which may need COM.
    const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    {
        CDispatchHost host(*context);
        CRemoteDispatch dispatch(*context->info, host);
        CFrameApplier applier;
        CGdiPlusImageDecoder decoder;
        while (context->channel->running.load()) {
            std::unique_ptr<CPacket> packet = context->channel->Pop(kIdleWaitMs);
            if (!packet) continue;
            if (packet->m_nType == kPacketText) {
                dispatch.OnText(packet->m_strText);
            } else if (packet->m_nType == kPacketFrame) {
                ApplyFrame(*context, applier, decoder, *packet);
            }
        }
    }
    if (SUCCEEDED(com)) ::CoUninitialize();
    return 0;
}

}  // namespace

HANDLE StartReceiveDispatch(std::shared_ptr<CCommChannel> channel, CRHInfo& info, HWND comm,
                            HWND mainDialog) {
    auto* context = new DispatchContext{std::move(channel), &info, comm, mainDialog};
    HANDLE thread = reinterpret_cast<HANDLE>(
        ::_beginthreadex(nullptr, 0, ReceiveDispatchMain, context, 0, nullptr));
    if (thread == nullptr) delete context;  // not handed over
    return thread;
}

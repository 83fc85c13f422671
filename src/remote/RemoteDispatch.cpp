#include "remote/RemoteDispatch.h"

#include "panel/PanelGeometry.h"
#include "panel/PeerReports.h"
#include "panel/SessionRules.h"
#include "protocol/PeerContract.h"
#include "protocol/TextCommand.h"
#include "remote/MonitorRequest.h"
#include "remote/SystemCodes.h"
#include "shell/ProgramMessages.h"

#include <vector>

namespace {

constexpr unsigned kLowWordBits = 16;
constexpr uint32_t kLowWordMask = 0xFFFF;

// A frame edge from a peer's rectangle: positive and not absurdly large, or 0.
int FrameEdge(int64_t edge) {
    return edge >= 1 && edge <= kLargestRemoteFrameEdge ? static_cast<int>(edge) : 0;
}

}  // namespace

intptr_t SizeLParam(int width, int height) {
    const uint32_t packed = (static_cast<uint32_t>(width) & kLowWordMask) |
                            ((static_cast<uint32_t>(height) & kLowWordMask) << kLowWordBits);
    return static_cast<intptr_t>(packed);
}

bool CRemoteDispatch::OnText(const std::u16string& text) {
    std::u16string code, arguments;
    if (!SplitCommand(text, code, arguments)) return false;
    if (code == kCmdHeartbeat) {
        m_screen.m_dtLastRecv = m_host.NowSeconds();
    } else if (code == kCmdScreenSize) {
        OnScreenSize(arguments);
    } else if (code == kCmdTouchState) {
        OnStateReport(kWmTouchStateNotice, arguments);
    } else if (code == kCmdBroadcastState) {
        OnStateReport(kWmBroadcastStateNotice, arguments);
    } else if (code == kCmdIgnoredRH5) {
        // Known and deliberately without effect.
    } else if (code == kCmdTileSize) {
        OnTileSize(arguments);
    } else if (code == kCmdMonitors) {
        OnMonitors(arguments);
    } else if (code == kCmdScreenOrigin) {
        OnOrigin(arguments);
    } else if (code == kCmdOpenKeyboard) {
        m_host.OpenTouchKeyboard();
    } else {
        return false;
    }
    return true;
}

void CRemoteDispatch::OnScreenSize(const std::u16string& arguments) {
    const ScreenSizeReport report = ParseScreenSize(arguments);
    if (report.valid) {
        m_screen.m_nScreenWidth = report.width;
        m_screen.m_nScreenHeight = report.height;
        m_screen.m_nBitsPerPixel = CRemoteScreen::kFrameBitsPerPixel;
    }
    // The viewer recomputes its scale even from a malformed report: it is the lectern
    // PC's sign that its screen changed.
    const PadScreenSize pad = m_host.PrimaryScreen();
    m_host.PostViewer(kWmSize, 0, SizeLParam(pad.width, pad.height));
}

void CRemoteDispatch::OnStateReport(unsigned notice, const std::u16string& arguments) {
    const std::vector<std::u16string> values = TokenizeArguments(arguments);
    if (values.empty()) return;
    m_host.PostMainDialog(notice, kNoticeMarker, DecimalPrefix(values[0]));
}

void CRemoteDispatch::OnTileSize(const std::u16string& arguments) {
    const TileSizeReport report = ParseTileSize(arguments);
    if (!report.valid) return;
    m_screen.m_nTileWidth = report.width;
    m_screen.m_nTileHeight = report.height;
    RecreateMonitorFrame();
}

void CRemoteDispatch::OnMonitors(const std::u16string& arguments) {
    const MonitorsReport report = ParseMonitors(arguments);
    if (!report.valid) return;
    m_screen.m_nMonitorCount = report.count;
    const MonitorButtonDecision button =
        DecideMonitorButton(m_screen.m_strPeerVersion, report.count, report.selected);
    m_screen.m_nMonitor = button.monitor;
    m_host.PostMainDialog(kWmMonitorButtonNotice, kNoticeMarker, button.show ? kSwShow : kSwHide);
    m_screen.m_rcMonitor = ScreenRect{report.left, report.top, report.right, report.bottom};
    RecreateMonitorFrame();
    m_host.PostViewer(kWmApplyMonitorView, kNoticeMarker, m_screen.m_nMonitor);
}

void CRemoteDispatch::OnOrigin(const std::u16string& arguments) {
    const OriginReport report = ParseOrigin(arguments);
    if (!report.valid) return;
    m_screen.m_nOriginX = report.x;
    m_screen.m_nOriginY = report.y;
}

void CRemoteDispatch::RecreateMonitorFrame() {
    const ScreenRect& rc = m_screen.m_rcMonitor;
    const int width = FrameEdge(int64_t{rc.right} - rc.left);
    const int height = FrameEdge(int64_t{rc.bottom} - rc.top);
    // A monitor without area leaves no frame to draw into; the buffer stays as it was.
    if (width > 0 && height > 0) m_host.RecreateFrame(width, height);
}

std::u16string DisplayChangeCommand(int width, int height) {
    return MakeCommand(kCmdPadScreenSize, {DecimalText(width), DecimalText(height)});
}

bool DisplayChangeGeometry::RecreateFor(int currentWidth, int currentHeight) const {
    return recreateFrame && (currentWidth != frameWidth || currentHeight != frameHeight);
}

DisplayChangeGeometry GeometryAfterDisplayChange(const CRemoteScreen& screen, int width,
                                                 int height) {
    DisplayChangeGeometry geometry;
    if (PeerHasMonitorSelection(screen.m_strPeerVersion)) return geometry;
    geometry.changeTiles = true;
    geometry.tileWidth = tavrel::HalvedTileEdge(width);
    geometry.tileHeight = tavrel::HalvedTileEdge(height);
    geometry.recreateFrame = width >= 1 && height >= 1;
    geometry.frameWidth = width;
    geometry.frameHeight = height;
    return geometry;
}

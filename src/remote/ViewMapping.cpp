#include "remote/ViewMapping.h"

#include <cmath>
#include <cstdlib>
#include <limits>

namespace {

constexpr double kInt32Min = std::numeric_limits<int32_t>::min();
constexpr double kInt32Max = std::numeric_limits<int32_t>::max();

int32_t ClampToInt32(double value) {
    if (value <= kInt32Min) return std::numeric_limits<int32_t>::min();
    if (value >= kInt32Max) return std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(value);
}

// A monitor's place on the virtual screen: its edge plus the distance of the virtual
// screen's origin from (0, 0). Widened first: an origin of INT32_MIN has no int32
// magnitude.
int32_t MonitorOffset(int32_t edge, int32_t origin) {
    const int64_t magnitude = std::llabs(static_cast<int64_t>(origin));
    return ClampToInt32(static_cast<double>(edge + magnitude));
}

int32_t MapAxis(int32_t coordinate, double scale, int32_t offset) {
    const double scaled = std::trunc(static_cast<double>(coordinate) * scale);
    return ClampToInt32(scaled + static_cast<double>(offset));
}

}  // namespace

void CViewMapping::ApplyView(const CRemoteScreen& screen, int monitor, int width, int height) {
    m_nView = monitor;
    if (width < 1 || height < 1) return;
    if (monitor == CRemoteScreen::kWholeScreen) {
        m_dScaleX = static_cast<double>(screen.m_nScreenWidth) / width;
        m_dScaleY = static_cast<double>(screen.m_nScreenHeight) / height;
        m_nOffsetX = 0;
        m_nOffsetY = 0;
        return;
    }
    const ScreenRect& rc = screen.m_rcMonitor;
    m_dScaleX = (static_cast<double>(rc.right) - rc.left) / width;
    m_dScaleY = (static_cast<double>(rc.bottom) - rc.top) / height;
    m_nOffsetX = MonitorOffset(rc.left, screen.m_nOriginX);
    m_nOffsetY = MonitorOffset(rc.top, screen.m_nOriginY);
}

void CViewMapping::Resize(const CRemoteScreen& screen, int width, int height) {
    ApplyView(screen, m_nView, width, height);
}

RemotePoint CViewMapping::Map(int32_t x, int32_t y) const {
    if (!m_bScaleInput) return RemotePoint{x, y};
    return RemotePoint{MapAxis(x, m_dScaleX, m_nOffsetX), MapAxis(y, m_dScaleY, m_nOffsetY)};
}

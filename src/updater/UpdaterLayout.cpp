#include "updater/UpdaterLayout.h"

#include <cmath>

namespace tavrel {

namespace {
constexpr int kLargeScreen = 3000;
constexpr int kMediumScreen = 2000;
constexpr float kLargeScale = 2.0f;
constexpr float kMediumScale = 1.4f;
constexpr uint32_t kLongestPeriodMs = 3600000;

UpdaterRect ScaledRect(int x, int y, int width, int height, float scale) {
    return UpdaterRect{UpdaterScaled(x, scale), UpdaterScaled(y, scale),
                       UpdaterScaled(width, scale), UpdaterScaled(height, scale)};
}

// One decimal number from `pos` up to the next comma or the end.
bool ReadPeriod(const std::u16string& text, size_t& pos, uint32_t& value) {
    uint64_t number = 0;
    size_t digits = 0;
    while (pos < text.size() && text[pos] != u',') {
        const char16_t c = text[pos];
        if (c < u'0' || c > u'9') return false;
        number = number * 10 + static_cast<uint64_t>(c - u'0');
        if (number > kLongestPeriodMs) return false;
        ++digits;
        ++pos;
    }
    if (digits == 0 || number == 0) return false;
    value = static_cast<uint32_t>(number);
    return true;
}
}  // namespace

float UpdaterScaleFactor(int screenWidth, int screenHeight) {
    if (screenWidth > kLargeScreen || screenHeight > kLargeScreen) return kLargeScale;
    if (screenWidth > kMediumScreen || screenHeight > kMediumScreen) return kMediumScale;
    return 1.0f;
}

int UpdaterScaled(int design, float scale) {
    // The product is held as a 32-bit float before it is rounded down, so that
    // 354 × 1.4 gives 495 as on the platform's own float arithmetic.
    const float product = static_cast<float>(design) * scale;
    return static_cast<int>(std::floor(product));
}

UpdaterLayout ComputeUpdaterLayout(float scale, bool english) {
    UpdaterLayout layout;
    layout.dialogWidth = UpdaterScaled(kUpdaterDialogWidth, scale);
    layout.dialogHeight = UpdaterScaled(kUpdaterDialogHeight, scale);
    layout.title = ScaledRect(6, 12, 121, 22, scale);
    layout.list = ScaledRect(18, 57, 531, 237, scale);
    layout.runNow = ScaledRect(444, 311, 111, 34, scale);
    // The frame follows the list at every scale, so it is scaled like the controls.
    layout.backdrop = ScaledRect(kUpdaterBackdropX, kUpdaterBackdropY, kUpdaterBackdropWidth,
                                 kUpdaterBackdropHeight, scale);
    layout.headerHeight = UpdaterScaled(kUpdaterHeaderHeight, scale);
    layout.titleFontHeight = UpdaterScaled(kUpdaterTitleFontHeight + (english ? 1 : 0), scale);
    return layout;
}

bool InUpdaterHeader(int x, int y, int clientWidth, float scale) {
    return x >= 0 && x < clientWidth && y >= 0 && y < UpdaterScaled(kUpdaterHeaderHeight, scale);
}

bool ParseUpdaterPeriods(const std::u16string& text, UpdaterPeriods& periods) {
    UpdaterPeriods parsed;
    uint32_t* fields[] = {&parsed.firstAttemptMs, &parsed.retryMs, &parsed.downloadMs};
    size_t pos = 0;
    for (size_t i = 0; i < 3; ++i) {
        if (i > 0) {
            if (pos >= text.size() || text[pos] != u',') return false;
            ++pos;
        }
        if (!ReadPeriod(text, pos, *fields[i])) return false;
    }
    if (pos != text.size()) return false;
    periods = parsed;
    return true;
}

}  // namespace tavrel

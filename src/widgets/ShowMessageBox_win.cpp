#include "widgets/ShowMessageBox_win.h"

#include <atomic>

namespace {
// Only one box may be open in the whole process: a second request while one is shown
// is refused rather than stacking boxes in front of the class.
std::atomic<bool> g_bBoxOpen{false};
}  // namespace

int ShowMessageBox(const wchar_t* text, const wchar_t* caption, UINT type) {
    bool expected = false;
    if (!g_bBoxOpen.compare_exchange_strong(expected, true)) return -1;
    // The system box stands in until the skinned box of the widgets replaces its look;
    // the rules (one at a time, -1 for a second request, the button as result) are
    // already those of the program.
    int result = MessageBoxW(nullptr, text, caption, type | MB_TOPMOST | MB_SETFOREGROUND);
    g_bBoxOpen.store(false);
    return result;
}

#include "widgets/ShowMessageBox_win.h"

#include "widgets/CustomMsgDlg_win.h"

#include <atomic>

namespace {
// Only one box may be open in the whole process: a second request while one is shown
// is refused rather than stacking boxes in front of the class. Test and set are one
// step, as boxes can be asked for from the main and the note thread.
std::atomic<bool> g_bBoxOpen{false};
constexpr wchar_t kDefaultCaption[] = L"Vantor Tavrel";
}  // namespace

bool IsMessageBoxOpen() { return g_bBoxOpen.load(); }

int ShowMessageBox(const wchar_t* text, const wchar_t* caption, UINT type) {
    bool expected = false;
    if (!g_bBoxOpen.compare_exchange_strong(expected, true)) return -1;
    int result;
    {
        CCustomMsgDlg box;
        box.messageText = text != nullptr ? text : L"";
        box.captionText = (caption != nullptr && caption[0] != L'\0') ? caption : kDefaultCaption;
        box.boxType = static_cast<int>(type);
        box.DoModal();
        result = box.pressedButton;
    }
    g_bBoxOpen.store(false);
    return result;
}

#include "shell/PumpMessages_win.h"

void PumpMessages(DWORD milliseconds) {
    const DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                // A request to end must outlive the wait: put it back for the loop
                // that owns the thread and stop waiting.
                PostQuitMessage(static_cast<int>(msg.wParam));
                return;
            }
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
            // Checked after every message: a queue that never empties (a timer whose
            // handler outlasts its period) must not hold the caller past its time.
            if (GetTickCount() - start > milliseconds) return;
        }
        // Unsigned difference: correct across the 49-day wrap of the tick count.
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed > milliseconds) break;
        // Sleep until a message arrives or the time is up instead of spinning: a busy
        // wait would take a whole core from the capture threads of a two-core pad.
        MsgWaitForMultipleObjectsEx(0, nullptr, milliseconds - elapsed + 1, QS_ALLINPUT,
                                    MWMO_INPUTAVAILABLE);
    }
}

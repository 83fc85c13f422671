// Shared by the updater's Windows tests: the built updater VTUpdaterT.exe beside the
// test program, mapped as data, so that its own resources (whose ids overlap the main
// program's, which this test program carries) can be loaded; and a message pump that
// waits for a condition instead of a fixed time.
#pragma once

#include "framework/Afx_win.h"

#include <functional>
#include <string>

namespace updater_test {

inline std::wstring ProgramFolder() {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

inline std::wstring UpdaterPath() { return ProgramFolder() + L"VTUpdaterT.exe"; }
// The newer release built beside the shipped one.
inline std::wstring NextUpdaterPath() {
    return ProgramFolder() + L"..\\release-next\\VTUpdaterT.exe";
}

inline HMODULE LoadAsData(const std::wstring& path) {
    return LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
}

// Dispatches this thread's messages until `done` holds or `timeoutMs` has passed;
// returns whether it held.
inline bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > timeoutMs) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return true;
}

}  // namespace updater_test

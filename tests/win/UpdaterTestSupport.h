// Shared by the updater's Windows tests: the built updater VTUpdaterT.exe beside the
// test program, mapped as data, so that its own resources (whose ids overlap the main
// program's, which this test program carries) can be loaded; and a way to run what a
// command posted.
#pragma once

#include "framework/Afx_win.h"

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

// Dispatches every message already queued for this thread (what a sent command
// posted in turn has then run).
inline void DrainMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

}  // namespace updater_test

// Test-only build: lets the end-to-end tests force a crash, to see the crash handler
// write its dump and show its message. Never linked into the shipped program.
#include "shell/TestHooks_win.h"

namespace {
DWORD WINAPI CrashingThread(LPVOID) {
    volatile int* nowhere = nullptr;
    *nowhere = 1;
    return 0;
}
}  // namespace

void TestHookMainDialogShown(HWND) {
    wchar_t value[16] = {};
    if (GetEnvironmentVariableW(L"TAVREL_TEST_CRASH", value, 16) == 0) return;
    // Fault on a worker thread: the handler must work from whichever thread faulted.
    HANDLE thread = CreateThread(nullptr, 0, &CrashingThread, nullptr, 0, nullptr);
    if (thread != nullptr) CloseHandle(thread);
}

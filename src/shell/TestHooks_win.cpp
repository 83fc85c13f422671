// Test-only build: lets the end-to-end tests force a crash, to see the crash handler
// write its dump and show its message. Never linked into the shipped program.
#include "shell/TestHooks_win.h"

#include "soundup/ToneSource.h"

#include <cwchar>

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

std::unique_ptr<IAudioSource> TestHookSoundSource() {
    wchar_t value[32] = {};
    const DWORD length = GetEnvironmentVariableW(L"TAVREL_TEST_TONE", value, 32);
    if (length == 0 || length >= 32) return nullptr;
    wchar_t* end = nullptr;
    const double hz = std::wcstod(value, &end);
    // A frequency below the 48 kHz stream's limit; anything else means no tone.
    if (end == value || *end != L'\0' || !(hz > 0.0) || hz >= 24000.0) return nullptr;
    return std::make_unique<CToneSource>(hz);
}

// Stands in for the system's touch keyboard in the end-to-end tests: a Wine prefix has
// none. Each start appends its command line to C:\tabtip-started.txt and ends, so a
// test can see that, and how often, the pad asked for the keyboard.
#include <windows.h>

#include <cstdio>
#include <cwchar>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int) {
    FILE* marker = _wfopen(L"C:\\tabtip-started.txt", L"a");
    if (marker == nullptr) return 1;
    fwprintf(marker, L"started %ls\n", commandLine != nullptr ? commandLine : L"");
    std::fclose(marker);
    return 0;
}

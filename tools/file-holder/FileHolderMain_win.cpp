// Holds a file open the way another program would, for the end-to-end tests: a locked
// installed file must never cost the installation a file.
//
//   file-holder PATH [SECONDS]   opens PATH for reading, shared for reading only,
//                                prints "held" and keeps it open until it is ended, or
//                                for SECONDS (120 by default) so that it never outlives
//                                a test that forgot it
#include <windows.h>

#include <cstdio>
#include <cwchar>

int wmain(int argc, wchar_t** argv) {
    if (argc != 2 && argc != 3) {
        std::fputs("usage: file-holder PATH [SECONDS]\n", stderr);
        return 2;
    }
    const DWORD seconds = argc == 3 ? std::wcstoul(argv[2], nullptr, 10) : 120;
    const HANDLE file = CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "file-holder: cannot open (error %lu)\n", GetLastError());
        return 1;
    }
    std::puts("held");
    std::fflush(stdout);
    Sleep(seconds * 1000);
    CloseHandle(file);
    return 0;
}

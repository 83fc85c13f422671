#include "shell/CrashHandler_win.h"

#include "shell/Language_win.h"
#include "shell/StartupRules.h"
#include "widgets/ShowMessageBox_win.h"

#include <dbghelp.h>

namespace {

constexpr DWORD kCrashExitCode = 0;

using MiniDumpWriteDumpFn = BOOL(WINAPI*)(HANDLE, DWORD, HANDLE, MINIDUMP_TYPE,
                                          PMINIDUMP_EXCEPTION_INFORMATION,
                                          PMINIDUMP_USER_STREAM_INFORMATION,
                                          PMINIDUMP_CALLBACK_INFORMATION);

// Folder of the executable with its trailing backslash, plus the dump file name.
std::wstring DumpFilePath() {
    wchar_t path[MAX_PATH] = {};
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length < MAX_PATH ? length : 0);
    size_t slash = folder.find_last_of(L'\\');
    folder.erase(slash == std::wstring::npos ? 0 : slash + 1);
    return folder + AfxToWide(tavrel::kDumpFileName);
}

void WriteDump(EXCEPTION_POINTERS* exception) {
    HANDLE file = CreateFileW(DumpFilePath().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    // DbgHelp is loaded by name only now: a missing or old copy must not keep the
    // program from starting.
    HMODULE dbghelp = LoadLibraryW(L"DbgHelp.dll");
    MiniDumpWriteDumpFn writeDump = nullptr;
    if (dbghelp != nullptr) {
        writeDump = reinterpret_cast<MiniDumpWriteDumpFn>(
            reinterpret_cast<void*>(GetProcAddress(dbghelp, "MiniDumpWriteDump")));
    }
    if (file != INVALID_HANDLE_VALUE && writeDump != nullptr) {
        MINIDUMP_EXCEPTION_INFORMATION info{};
        info.ThreadId = GetCurrentThreadId();
        info.ExceptionPointers = exception;
        info.ClientPointers = TRUE;
        writeDump(GetCurrentProcess(), GetCurrentProcessId(), file, MiniDumpNormal, &info, nullptr,
                  nullptr);
    }
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
}

}  // namespace

LONG WINAPI TavrelUnhandledExceptionFilter(EXCEPTION_POINTERS* exception) {
    WriteDump(exception);
    const std::wstring text = AfxToWide(tavrel::CrashMessageText(AfxToU16(g_strLanguage)));
    ShowMessageBox(text.c_str(), AfxToWide(tavrel::kProgramName).c_str(), MB_OK);
    TerminateProcess(GetCurrentProcess(), kCrashExitCode);
    return EXCEPTION_EXECUTE_HANDLER;
}

void InstallCrashHandler() { SetUnhandledExceptionFilter(&TavrelUnhandledExceptionFilter); }

#include "shell/ProgramPath_win.h"

#include "shell/ProgramPath.h"

namespace {

// Characters the module name may take, its terminating zero included.
constexpr DWORD kModulePathCapacity = 1024;

}  // namespace

std::wstring ModulePath() {
    wchar_t buffer[kModulePathCapacity] = {};
    const DWORD capacity = kModulePathCapacity - 1;
    const DWORD length = GetModuleFileNameW(nullptr, buffer, capacity);
    // A name that filled the whole buffer may have been cut short: a partial path would
    // point somewhere else, so it counts as a failure.
    if (length == 0 || length >= capacity) return std::wstring();
    return std::wstring(buffer, length);
}

std::wstring ProgramDirectory() { return AfxToWide(tavrel::FolderOfPath(AfxToU16(ModulePath()))); }

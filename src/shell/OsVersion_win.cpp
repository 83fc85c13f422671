#include "shell/OsVersion_win.h"

#include "framework/Afx_win.h"

#include <lm.h>

OsVersion DetectOsVersion() {
    OsVersion result;
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof(info);
#if defined(_MSC_VER)
#pragma warning(suppress : 4996)
#endif
    if (GetVersionExW(&info)) {
        result.major = static_cast<int>(info.dwMajorVersion);
        result.minor = static_cast<int>(info.dwMinorVersion);
        result.platformId = static_cast<int>(info.dwPlatformId);
    }
    LPBYTE buffer = nullptr;
    if (NetWkstaGetInfo(nullptr, 100, &buffer) == NERR_Success && buffer != nullptr) {
        const auto* workstation = reinterpret_cast<const WKSTA_INFO_100*>(buffer);
        result.major = static_cast<int>(workstation->wki100_ver_major);
        result.minor = static_cast<int>(workstation->wki100_ver_minor);
    }
    if (buffer != nullptr) NetApiBufferFree(buffer);
    return result;
}

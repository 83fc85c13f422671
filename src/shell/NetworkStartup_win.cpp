#include <winsock2.h>

#include "shell/NetworkStartup_win.h"

#include <mmsystem.h>

namespace {
constexpr WORD kWinSockVersion = MAKEWORD(1, 1);
constexpr UINT kTimerResolutionMs = 1;
}  // namespace

int InitNetworkLibrary(WORD* grantedVersion) {
    WSADATA data{};
    if (WSAStartup(kWinSockVersion, &data) != 0) return -1;
    if (grantedVersion != nullptr) *grantedVersion = data.wVersion;
    if (data.wVersion != kWinSockVersion) {
        WSACleanup();
        return -1;
    }
    timeBeginPeriod(kTimerResolutionMs);
    return 0;
}

void DeinitNetworkLibrary() {
    timeEndPeriod(kTimerResolutionMs);
    WSACleanup();
}

// Start-up and clean-up of the network library. The Windows builds have no ENet to
// link, so this is our own with the same behaviour: WinSock 1.1 exactly and a 1 ms
// system timer while the program runs.
#pragma once

#include "framework/Afx_win.h"

// 0 on success, -1 on failure (the convention of enet_initialize). The version WinSock
// granted is stored in grantedVersion when one is given, so that it can be checked.
int InitNetworkLibrary(WORD* grantedVersion = nullptr);
void DeinitNetworkLibrary();

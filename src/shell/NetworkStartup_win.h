// Start-up and clean-up of the network library. The Windows builds have no ENet to
// link, so this is our own with the same behaviour: WinSock 1.1 exactly and a 1 ms
// system timer while the program runs.
#pragma once

// 0 on success, -1 on failure (the convention of enet_initialize).
int InitNetworkLibrary();
void DeinitNetworkLibrary();

#include "shell/InstanceGuard_win.h"

// The counter lives in a data section that the loader maps shared between every
// process of this image, so it needs no named object (which a second user on the
// same computer might not be allowed to open).
#if defined(_MSC_VER)
#pragma data_seg(".tavsh")
volatile LONG g_nInstanceCount = 0;
#pragma data_seg()
#pragma comment(linker, "/SECTION:.tavsh,RWS")
#else
volatile LONG g_nInstanceCount __attribute__((section(".tavsh"), shared)) = 0;
#endif

LONG IncrementInstanceCount() { return InterlockedIncrement(&g_nInstanceCount); }

void DecrementInstanceCount() { InterlockedDecrement(&g_nInstanceCount); }

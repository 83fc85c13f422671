#pragma once

#include "framework/Afx_win.h"

// Dispatches the calling thread's window messages until more than the given time has
// passed: the program's way to wait while its windows stay responsive.
void PumpMessages(DWORD milliseconds);

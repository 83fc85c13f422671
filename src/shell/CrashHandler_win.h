// Last resort for a fault on any thread: a minidump next to the executable, a message
// in the chosen language, and an immediate end.
#pragma once

#include "framework/Afx_win.h"

void InstallCrashHandler();
LONG WINAPI TavrelUnhandledExceptionFilter(EXCEPTION_POINTERS* exception);

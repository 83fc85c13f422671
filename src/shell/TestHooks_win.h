// Points where the crash-test build of the program can break in. The shipped program
// links TestHooksNone_win.cpp, in which they do nothing.
#pragma once

#include "framework/Afx_win.h"

void TestHookMainDialogShown(HWND dialog);

#include "shell/TestHooks_win.h"

void TestHookMainDialogShown(HWND) {}

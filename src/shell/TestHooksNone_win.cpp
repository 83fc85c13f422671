#include "shell/TestHooks_win.h"

void TestHookMainDialogShown(HWND) {}

std::unique_ptr<IAudioSource> TestHookSoundSource() { return nullptr; }

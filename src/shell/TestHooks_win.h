// Points where the crash-test build of the program can break in. The shipped program
// links TestHooksNone_win.cpp, in which they do nothing.
#pragma once

#include "framework/Afx_win.h"
#include "soundup/AudioSource.h"

#include <memory>

void TestHookMainDialogShown(HWND dialog);
// The sound-up capture source to use instead of the default device's loopback, or null
// for the device. The test build gives a test tone (CToneSource) when the environment
// variable TAVREL_TEST_TONE holds its frequency in Hz, e.g. "440".
std::unique_ptr<IAudioSource> TestHookSoundSource();

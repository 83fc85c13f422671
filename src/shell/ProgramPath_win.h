// Where the running executable lives.
#pragma once

#include "framework/Afx_win.h"

#include <string>

// Full file name of the running executable; empty when it cannot be had in full.
std::wstring ModulePath();
// Folder of the running executable without a trailing backslash; empty on failure.
std::wstring ProgramDirectory();

// One running instance per computer: a counter shared by every process started from
// the same executable file.
#pragma once

#include "framework/Afx_win.h"

// Returns the count after the increment; above 1 means another instance runs.
LONG IncrementInstanceCount();
void DecrementInstanceCount();

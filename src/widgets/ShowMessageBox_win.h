// The one way the program shows a message to the teacher: modal, one at a time.
#pragma once

#include "framework/Afx_win.h"

// Returns the button pressed (IDOK, IDYES, ...), or -1 while another box is open.
int ShowMessageBox(const wchar_t* text, const wchar_t* caption, UINT type);

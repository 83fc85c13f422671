// The user at the console: the program may run in another session (started by a
// service or the updater), so "the current user" is not necessarily the person at the
// pad.
#pragma once

#include "framework/Afx_win.h"

#include <string>

// The user name of the program's own session, or else the window-station name of the
// first active session; empty when no session is active.
std::wstring ConsoleUserName();
// Security identifier (S-1-5-...) of the owner of the console session's explorer.exe;
// empty when there is none or it cannot be read.
std::wstring ConsoleUserSid();
// The console user's desktop folder; `defaultFolder` when it cannot be found.
std::wstring DesktopFolder(HWND window, const std::wstring& defaultFolder);

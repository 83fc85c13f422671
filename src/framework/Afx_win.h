// Common ground of our small application framework over raw Win32: the process-wide
// accessors that the rest of the program uses instead of globals of its own.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>

static_assert(sizeof(wchar_t) == 2, "the Windows build needs 16-bit wchar_t");

class CWinApp;
class CWnd;

// The single application object of the process (null before it is constructed).
CWinApp* AfxGetApp();
HINSTANCE AfxGetInstanceHandle();
// Module from which dialogs, string-table texts and pictures are loaded: the chosen
// language module, or the executable itself.
HINSTANCE AfxGetResourceHandle();
void AfxSetResourceHandle(HINSTANCE module);

// A string-table text from the resource module ("" when missing).
std::wstring AfxLoadString(UINT id);

// The framework's plain message box (the caption is the application name).
int AfxMessageBox(const wchar_t* text, UINT type = MB_OK);
int AfxMessageBox(UINT stringId, UINT type = MB_OK);

BOOL AfxRegisterClass(WNDCLASSW* wndClass);
// Windows Sockets 2.2 support for the asynchronous socket class.
BOOL AfxSocketInit();
void AfxEnableControlContainer();

// Portable code keeps text as std::u16string; on Windows wchar_t is the same 16-bit unit.
inline std::wstring AfxToWide(const std::u16string& text) {
    return std::wstring(text.begin(), text.end());
}
inline std::u16string AfxToU16(const std::wstring& text) {
    return std::u16string(text.begin(), text.end());
}

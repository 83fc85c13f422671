// The settings routines of both programs: the application profile (the framework's,
// or a registry key the updater installs), the two INI files next to the executable
// and the per-user compatibility-layer list. Names and defaults: SettingsValues.h.
#pragma once

#include "framework/Afx_win.h"

#include <string>

class CRegistry;

// Profile key installed by the updater; the main program never installs one and uses
// the framework's application profile. Not owned.
void SetSettingsRegistry(CRegistry* registry, int keyOpen);

std::wstring ReadSettingText(const wchar_t* section, const wchar_t* name,
                             const wchar_t* defaultValue);
// Non-zero on success.
int WriteSettingText(const wchar_t* section, const wchar_t* name, const wchar_t* value);
int ReadSettingInt(const wchar_t* section, const wchar_t* name, int defaultValue);
// A status: 0 (ERROR_SUCCESS) when the value was stored, non-zero when it was not.
int WriteSettingInt(const wchar_t* section, const wchar_t* name, int value);

// Full paths of setting.ini and config.ini once PrepareIniFile has run for them.
extern std::wstring g_strSettingIniPath;
extern std::wstring g_strConfigIniPath;

// Makes sure `fileName` exists in the executable's folder as UTF-16LE text with a
// byte-order mark, converting an ANSI, UTF-8 or mark-less UTF-16 file after keeping a
// dated backup of it, and stores its full path in `rememberedPath`. The executable's
// folder becomes the current directory.
void PrepareIniFile(const wchar_t* fileName, std::wstring& rememberedPath);
// The same in any folder (which becomes the current directory).
void PrepareIniFileIn(const std::wstring& folder, const wchar_t* fileName,
                      std::wstring& rememberedPath);

// setting.ini has always been started as a plain ANSI "[default]" line before it is
// prepared; callers that prepare it call this first.
void EnsureSettingIni();
void EnsureSettingIniIn(const std::wstring& folder);

// The value, or the default (also for an empty section or a file never prepared).
std::wstring ReadIniText(const wchar_t* section, const wchar_t* name, const wchar_t* defaultValue,
                         const std::wstring& path);
// Writes into setting.ini; an empty section writes nothing. Non-zero on success.
int WriteIniText(const wchar_t* section, const wchar_t* name, const wchar_t* value);

// Adds `flag` to the compatibility layers of `exePath` unless it is already there.
void RegisterHighDpiLayer(const wchar_t* exePath, const wchar_t* flag);

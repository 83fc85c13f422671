// The user-interface language: its code and the module every text and picture comes
// from.
#pragma once

#include "framework/Afx_win.h"

#include <string>

// "Kor" until start-up reads the profile.
extern std::wstring g_strLanguage;

// Loads .\language\Vantor Tavrel<code>.dll (relative to the current directory) and
// makes it the resource module; with "Kor" or a module that cannot be loaded the
// executable's own Korean resources stay and the code becomes "Kor".
void ChooseResourceModule(std::wstring& languageCode);

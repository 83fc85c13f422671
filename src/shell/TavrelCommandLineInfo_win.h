#pragma once

#include "framework/CommandLineInfo_win.h"

#include <string>

// The program accepts the switch "autostart" (any letter case) and keeps the plain
// tokens that follow it; nothing acts on them.
class CTavrelCommandLineInfo : public CCommandLineInfo {
  public:
    void ParseParam(const wchar_t* param, BOOL isFlag, BOOL isLast) override;

    std::wstring m_strAutostartArgument;
};

// Set to 1 once the switch "autostart" was seen.
extern int g_nAutostart;

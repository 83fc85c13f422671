#include "shell/TavrelCommandLineInfo_win.h"

#include "shell/StartupRules.h"

int g_nAutostart = 0;

void CTavrelCommandLineInfo::ParseParam(const wchar_t* param, BOOL isFlag, BOOL isLast) {
    if (isFlag) {
        CCommandLineInfo::ParseParam(param, isFlag, isLast);
        if (tavrel::IsAutostartSwitch(AfxToU16(param))) g_nAutostart = 1;
        return;
    }
    if (g_nAutostart == 0) {
        CCommandLineInfo::ParseParam(param, isFlag, isLast);
    } else {
        m_strAutostartArgument = param;
    }
}

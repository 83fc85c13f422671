#include "framework/CommandLineInfo_win.h"

void CCommandLineInfo::ParseParam(const wchar_t* param, BOOL isFlag, BOOL /*isLast*/) {
    if (!isFlag && m_strFileName.empty()) m_strFileName = param;
}

// Test-only build of the updater: shorter timer periods from the environment. Never
// linked into the shipped VTUpdaterT.exe.
#include "updater/UpdaterTestHooks_win.h"

#include "framework/Afx_win.h"

tavrel::UpdaterPeriods UpdaterTestPeriods() {
    tavrel::UpdaterPeriods periods;
    wchar_t value[64] = {};
    const DWORD length = ::GetEnvironmentVariableW(L"TAVREL_UPDATER_PERIODS_MS", value, 64);
    // Missing, too long or malformed: the shipped periods.
    if (length == 0 || length >= 64) return periods;
    tavrel::ParseUpdaterPeriods(AfxToU16(std::wstring(value, length)), periods);
    return periods;
}

#include "updater/UpdaterTestHooks_win.h"

tavrel::UpdaterPeriods UpdaterTestPeriods() { return tavrel::UpdaterPeriods{}; }

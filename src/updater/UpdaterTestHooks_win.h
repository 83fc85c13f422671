// Where the updater's test build can change its behaviour. The shipped updater links
// UpdaterTestHooksNone_win.cpp, whose answers are the shipped values.
#pragma once

#include "updater/UpdaterLayout.h"

// The timer periods: the shipped 500 ms, 10 s and 10 s. The test build reads
// TAVREL_UPDATER_PERIODS_MS ("first,retry,download" in milliseconds, e.g.
// "100,1000,300") so that the end-to-end tests need not wait ten seconds per step.
tavrel::UpdaterPeriods UpdaterTestPeriods();

// Which of the lectern PC's monitors the pad asks for, and whether the panel offers
// the monitor button at all.
#pragma once

#include <cstdint>
#include <string>

// wParam of a monitor-change request that names the monitor in lParam; the notice
// marker (kNoticeMarker) in wParam asks for the next one instead.
inline constexpr uint32_t kMonitorByNumber = 74566;

// The monitor a change request asks for, 1-based. False when there is nothing to ask
// (a single monitor). A number beyond the count, 0 or -1 (the whole screen, whose
// "next" is 0) starts again at the first monitor.
bool NextMonitorRequest(int monitorCount, int monitor, uint32_t wParam, int lParam, int& requested);

// "[RC00023]" with the monitor number.
std::u16string MonitorCommand(int monitor);

// The monitor button after a monitor report: shown only for a lectern program with
// monitor selection that reports more than one monitor. A recent program with a
// single monitor shows monitor 1.
struct MonitorButtonDecision {
    bool show = false;
    int monitor = 0;  // the monitor shown from now on
};
MonitorButtonDecision DecideMonitorButton(const std::u16string& peerVersion, int monitorCount,
                                          int selected);

#include "remote/MonitorRequest.h"

#include "panel/SessionRules.h"
#include "protocol/PeerContract.h"
#include "protocol/TextCommand.h"
#include "shell/ProgramMessages.h"

namespace {
constexpr int kFirstMonitor = 1;
constexpr int kNoMonitor = 0;
constexpr int kWholeScreen = -1;
}  // namespace

bool NextMonitorRequest(int monitorCount, int monitor, uint32_t wParam, int lParam,
                        int& requested) {
    if (monitorCount == 1) return false;
    int n = monitor;
    if (wParam == kNoticeMarker) {
        // Widened: a lectern PC may report any selected number, INT32_MAX included.
        const int64_t next = int64_t{n} + 1;
        n = next > monitorCount ? kFirstMonitor : static_cast<int>(next);
    } else if (wParam == kMonitorByNumber) {
        n = lParam;
    }
    if (n > monitorCount || n == kWholeScreen || n == kNoMonitor) n = kFirstMonitor;
    requested = n;
    return true;
}

std::u16string MonitorCommand(int monitor) {
    return MakeCommand(kCmdSelectMonitor, {DecimalText(monitor)});
}

MonitorButtonDecision DecideMonitorButton(const std::u16string& peerVersion, int monitorCount,
                                          int selected) {
    MonitorButtonDecision decision;
    decision.monitor = selected;
    if (!PeerHasMonitorSelection(peerVersion)) return decision;
    if (monitorCount > 1) {
        decision.show = true;
        return decision;
    }
    decision.monitor = kFirstMonitor;
    return decision;
}

#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "protocol/PeerContract.h"
#include "remote/MonitorRequest.h"
#include "shell/ProgramMessages.h"

TEST(MonitorRequestTest, NextMonitorRequest) {
    const uint32_t next = static_cast<uint32_t>(kNoticeMarker);
    const struct {
        const char* name;
        int count, monitor;
        uint32_t wParam;
        int lParam;
        bool sent;
        int requested;
    } cases[] = {
        {"single monitor: nothing", 1, 1, next, 0, false, 0},
        {"next", 3, 1, next, 0, true, 2},
        {"next after the last wraps", 3, 3, next, 0, true, 1},
        {"next after the whole screen", 3, -1, next, 0, true, 1},
        {"next after the largest number", 3, INT_MAX, next, 0, true, 1},
        {"by number", 3, 1, kMonitorByNumber, 3, true, 3},
        {"by number beyond the count", 3, 1, kMonitorByNumber, 4, true, 1},
        {"by number -1", 3, 2, kMonitorByNumber, -1, true, 1},
        {"by number 0", 3, 2, kMonitorByNumber, 0, true, 1},
        {"other wParam keeps the monitor", 3, 2, 7, 3, true, 2},
        {"no report yet", 0, -1, next, 0, true, 1},
    };
    for (const auto& c : cases) {
        int requested = 0;
        EXPECT_EQ(NextMonitorRequest(c.count, c.monitor, c.wParam, c.lParam, requested), c.sent)
            << c.name;
        EXPECT_EQ(requested, c.requested) << c.name;
    }
}

TEST(MonitorRequestTest, MonitorCommand) {
    EXPECT_EQ(MonitorCommand(2), std::u16string(kCmdSelectMonitor) + u"2");
}

TEST(MonitorRequestTest, MonitorButtonDecision) {
    const struct {
        const char16_t* version;
        int count, selected;
        bool show;
        int monitor;
    } cases[] = {
        {kUnknownPeerVersion, 3, 2, false, 2},
        {kVersionBeforeMonitorSelection, 3, 2, false, 2},
        {kVersionMonitorSelection, 3, 2, true, 2},
        {u"3.0.0.1", 2, 1, true, 1},
        {kVersionMonitorSelection, 1, 2, false, 1},
        {kVersionMonitorSelection, 0, -1, false, 1},
    };
    for (const auto& c : cases) {
        const MonitorButtonDecision d = DecideMonitorButton(c.version, c.count, c.selected);
        EXPECT_EQ(d.show, c.show) << "case " << &c - cases;
        EXPECT_EQ(d.monitor, c.monitor) << "case " << &c - cases;
    }
}

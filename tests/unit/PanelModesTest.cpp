// The panel's control modes: which command runs when, and what refuses it.
#include "panel/PanelModes.h"

#include "resources/resource.h"

#include <gtest/gtest.h>

namespace {

using tavrel::ModeAction;
using tavrel::ModeDecision;
using tavrel::ModeState;

ModeState State(bool remote, bool screenUp, bool linked = true, bool socketOpen = true,
                bool viewerWindow = true) {
    ModeState state;
    state.remoteRuns = remote;
    state.screenUpRuns = screenUp;
    state.teacherLinked = linked;
    state.teacherSocketOpen = socketOpen;
    state.viewerWindowExists = viewerWindow;
    return state;
}

struct ModeCase {
    const char* name;
    ModeDecision (*decide)(const ModeState&);
    ModeState state;
    ModeAction action;
    unsigned text, secondText;
};

class ModeTable : public ::testing::TestWithParam<ModeCase> {};

TEST_P(ModeTable, DecidesAndRefuses) {
    const ModeCase& c = GetParam();
    const ModeDecision decision = c.decide(c.state);
    EXPECT_EQ(decision.action, c.action);
    EXPECT_EQ(decision.text, c.text);
    EXPECT_EQ(decision.secondText, c.secondText);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, ModeTable,
    ::testing::Values(
        ModeCase{"RemoteDuringScreenUp", tavrel::DecideRemoteControl, State(false, true),
                 ModeAction::Refuse, IDS_REMOTE_DENIED_SCREENUP, IDS_STOP_SCREENUP_FIRST},
        // Screen up is checked before a running session is stopped.
        ModeCase{"RemoteRunningAndScreenUp", tavrel::DecideRemoteControl, State(true, true),
                 ModeAction::Refuse, IDS_REMOTE_DENIED_SCREENUP, IDS_STOP_SCREENUP_FIRST},
        ModeCase{"RemoteStops", tavrel::DecideRemoteControl, State(true, false, true, false),
                 ModeAction::Stop, 0, 0},
        ModeCase{"RemoteLinkGone", tavrel::DecideRemoteControl, State(false, false, true, false),
                 ModeAction::Refuse, IDS_TEACHER_DISCONNECTED, 0},
        ModeCase{"RemoteStarts", tavrel::DecideRemoteControl, State(false, false),
                 ModeAction::Start, 0, 0},
        ModeCase{"RemoteNeverLinked", tavrel::DecideRemoteControl,
                 State(false, false, false, false), ModeAction::Start, 0, 0},
        ModeCase{"KeyboardWithoutRemote", tavrel::DecideTouchKeyboard, State(false, true),
                 ModeAction::Refuse, IDS_REMOTE_ONLY_FEATURE, 0},
        ModeCase{"KeyboardDuringRemote", tavrel::DecideTouchKeyboard, State(true, false),
                 ModeAction::Run, 0, 0},
        ModeCase{"ScreenUpDuringRemote", tavrel::DecideScreenUp, State(true, false),
                 ModeAction::Refuse, IDS_SCREENUP_DENIED_REMOTE, IDS_STOP_REMOTE_FIRST},
        ModeCase{"ScreenUpStops", tavrel::DecideScreenUp, State(false, true), ModeAction::Stop, 0,
                 0},
        ModeCase{"ScreenUpStarts", tavrel::DecideScreenUp, State(false, false), ModeAction::Start,
                 0, 0},
        ModeCase{"MonitorWithoutRemote", tavrel::DecideMonitorChange, State(false, false),
                 ModeAction::Refuse, IDS_REMOTE_ONLY_FEATURE, 0},
        ModeCase{"MonitorToViewer", tavrel::DecideMonitorChange, State(true, false),
                 ModeAction::Run, 0, 0},
        ModeCase{"MonitorNoViewerWindow", tavrel::DecideMonitorChange,
                 State(true, false, true, true, false), ModeAction::Nothing, 0, 0}),
    [](const ::testing::TestParamInfo<ModeCase>& info) { return std::string(info.param.name); });

TEST(PadSwitches, TextAndVersionGate) {
    struct {
        tavrel::PadSwitch which;
        bool checked;
        const char16_t* version;
        const char16_t* text;
        bool setNow;
    } cases[] = {
        {tavrel::PadSwitch::StudentTouch, false, u"2.0.1.1027", u"[RC00013]on", true},
        {tavrel::PadSwitch::StudentTouch, true, u"2.0.1.1027", u"[RC00013]off", true},
        {tavrel::PadSwitch::StudentTouch, false, u"3.0.1.1004", u"[RC00013]on", false},
        {tavrel::PadSwitch::Broadcast, true, u"3.0.1.1004", u"[RC00012]off", false},
        {tavrel::PadSwitch::Broadcast, false, u"0", u"[RC00012]on", true},  // before [MV00094]
        {tavrel::PadSwitch::Broadcast, false, u"2.0.1.1028", u"[RC00012]on", false},
        // Compared as text: "10.0" sorts before "2.0".
        {tavrel::PadSwitch::Broadcast, false, u"10.0.0.0", u"[RC00012]on", true},
        {tavrel::PadSwitch::StudentTouch, false, u"2.0.1.102", u"[RC00013]on", true},
    };
    for (const auto& c : cases) {
        const tavrel::SwitchPlan plan = tavrel::PlanSwitch(c.which, c.checked, c.version);
        EXPECT_EQ(plan.text, c.text);
        EXPECT_EQ(plan.setCheckNow, c.setNow);
        EXPECT_EQ(plan.newCheck, !c.checked);
    }
}

TEST(TouchKeyboard, PathWithoutX86) {
    EXPECT_EQ(tavrel::TabTipPath(u"C:\\Program Files (x86)"),
              u"C:\\Program Files\\Common Files\\microsoft shared\\ink\\TabTip.exe");
    EXPECT_EQ(tavrel::TabTipPath(u"C:\\Program Files"),
              u"C:\\Program Files\\Common Files\\microsoft shared\\ink\\TabTip.exe");
    EXPECT_EQ(tavrel::TabTipPath(u"D:\\A (x86) (x86)"),
              u"D:\\A\\Common Files\\microsoft shared\\ink\\TabTip.exe");
}

}  // namespace

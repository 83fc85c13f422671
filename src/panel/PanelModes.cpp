#include "panel/PanelModes.h"

#include "panel/SessionRules.h"
#include "protocol/PeerContract.h"
#include "resources/resource.h"

namespace tavrel {

namespace {
constexpr char16_t kTabTipTail[] = u"\\Common Files\\microsoft shared\\ink\\TabTip.exe";
constexpr char16_t kX86Marker[] = u" (x86)";

ModeDecision Refuse(unsigned text, unsigned secondText = 0) {
    return ModeDecision{ModeAction::Refuse, text, secondText};
}
ModeDecision Act(ModeAction action) { return ModeDecision{action, 0, 0}; }
}  // namespace

ModeDecision DecideRemoteControl(const ModeState& state) {
    if (state.screenUpRuns) return Refuse(IDS_REMOTE_DENIED_SCREENUP, IDS_STOP_SCREENUP_FIRST);
    if (state.remoteRuns) return Act(ModeAction::Stop);
    if (state.teacherLinked && !state.teacherSocketOpen) return Refuse(IDS_TEACHER_DISCONNECTED);
    return Act(ModeAction::Start);
}

ModeDecision DecideTouchKeyboard(const ModeState& state) {
    return state.remoteRuns ? Act(ModeAction::Run) : Refuse(IDS_REMOTE_ONLY_FEATURE);
}

ModeDecision DecideScreenUp(const ModeState& state) {
    if (state.remoteRuns) return Refuse(IDS_SCREENUP_DENIED_REMOTE, IDS_STOP_REMOTE_FIRST);
    return Act(state.screenUpRuns ? ModeAction::Stop : ModeAction::Start);
}

ModeDecision DecideMonitorChange(const ModeState& state) {
    if (!state.remoteRuns) return Refuse(IDS_REMOTE_ONLY_FEATURE);
    return Act(state.viewerWindowExists ? ModeAction::Run : ModeAction::Nothing);
}

SwitchPlan PlanSwitch(PadSwitch which, bool checked, const std::u16string& peerVersion) {
    SwitchPlan plan;
    plan.text = which == PadSwitch::StudentTouch ? kCmdStudentTouch : kCmdBroadcast;
    plan.text += checked ? kArgOff : kArgOn;
    plan.setCheckNow = !PeerReportsStates(peerVersion);
    plan.newCheck = !checked;
    return plan;
}

unsigned SwitchPauseMs(PadSwitch which) {
    return which == PadSwitch::StudentTouch ? kStudentTouchPauseMs : kBroadcastPauseMs;
}

std::u16string TabTipPath(const std::u16string& programFiles) {
    std::u16string path = programFiles + kTabTipTail;
    const std::u16string marker(kX86Marker);
    for (size_t at = path.find(marker); at != std::u16string::npos; at = path.find(marker, at)) {
        path.erase(at, marker.size());
    }
    return path;
}

}  // namespace tavrel

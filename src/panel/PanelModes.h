// The control modes of the panel: which feature command may run in which state, the
// texts that refuse it, and the on/off switches of the student pads. Pure decisions;
// the main dialog carries them out.
#pragma once

#include <string>

namespace tavrel {

// What the panel knows when a feature command arrives.
struct ModeState {
    bool remoteRuns = false;          // a remote viewer runs
    bool screenUpRuns = false;        // screen up runs
    bool teacherLinked = false;       // the lectern PC has sent something
    bool teacherSocketOpen = false;   // the lectern PC connection is held by the panel
    bool viewerWindowExists = false;  // the running viewer has its window
};

enum class ModeAction {
    Refuse,   // show the refusal texts, nothing else
    Start,    // start the feature
    Stop,     // stop the feature
    Run,      // do the command's one thing (touch keyboard, monitor change)
    Nothing,  // accepted, no effect
};

// String ids of a refusal; a second text is shown on its own line.
struct ModeDecision {
    ModeAction action = ModeAction::Nothing;
    unsigned text = 0;
    unsigned secondText = 0;
};

ModeDecision DecideRemoteControl(const ModeState& state);  // command 1001
ModeDecision DecideTouchKeyboard(const ModeState& state);  // command 1003
ModeDecision DecideScreenUp(const ModeState& state);       // command 1004
ModeDecision DecideMonitorChange(const ModeState& state);  // command 1630

// The two switches of the student pads.
enum class PadSwitch { StudentTouch, Broadcast };

inline constexpr unsigned kStudentTouchPauseMs = 5000;
inline constexpr unsigned kBroadcastPauseMs = 1000;

struct SwitchPlan {
    std::u16string text;       // the command to send
    bool setCheckNow = false;  // flip the button at once (the lectern PC will not report)
    bool newCheck = false;     // the button's state after the flip
};

// A checked button asks for "off", an unchecked one for "on". A lectern program that
// does not report the switch states back (PeerReportsStates) leaves the flip to the pad.
SwitchPlan PlanSwitch(PadSwitch which, bool checked, const std::u16string& peerVersion);
unsigned SwitchPauseMs(PadSwitch which);

// The on-screen keyboard under the given Program Files folder, with every " (x86)"
// removed so that a 32-bit program on 64-bit Windows finds the native keyboard.
std::u16string TabTipPath(const std::u16string& programFiles);

}  // namespace tavrel

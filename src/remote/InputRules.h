// What the viewer window forwards of the teacher's keys and pointer, and how. The
// window feeds each message in; these rules say which event records go to the
// communication window's input lists and whether the window handles the message
// itself. `linked` is whether the communication window still exists: without it
// nothing is forwarded and the event is only processed locally.
#pragma once

#include "protocol/Packet.h"
#include "remote/ViewMapping.h"

#include <cstdint>
#include <string>
#include <vector>

// ---------------------------------------------------------------- keys

// Flags a key record carries: the high word of the message's lParam.
uint32_t KeyFlags(uint32_t lParam);
// The same, sign-extended, as system keys are forwarded.
uint32_t SysKeyFlags(uint32_t lParam);
// The repeat count: the low word of the message's lParam.
uint32_t KeyRepeat(uint32_t lParam);

enum class KeyAction {
    kPassOn,        // ordinary translation and dispatch
    kHandled,       // neither translated nor dispatched; the records go out
    kInputModeKey,  // handled: send "[RC00015]" when linked and take the keyboard focus
};

struct KeyVerdict {
    KeyAction action = KeyAction::kPassOn;
    std::vector<KeyEventRecord> records;  // to append, in order
};

// The viewer's key bookkeeping: the number of keys held down, so that characters made
// by held keys are not sent a second time as characters.
class CKeyForwarder {
  public:
    // Before translation. System keys never open the pad's window menu: F10 and Alt
    // alone travel as ordinary key transitions, Alt+F4 is swallowed on the way down.
    KeyVerdict PreTranslate(unsigned message, uint32_t vk, uint32_t lParam, bool shiftDown,
                            bool ctrlDown, uint32_t imeVirtualKey, bool linked);
    // A key-down as dispatched to the window (flags = KeyFlags of its lParam).
    std::vector<KeyEventRecord> KeyDown(uint32_t vk, uint32_t repeat, uint32_t flags, bool linked);
    // A key-up as dispatched to the window; the window's default processing follows.
    std::vector<KeyEventRecord> KeyUp(uint32_t vk, uint32_t repeat, uint32_t flags, bool linked);
    // Whether a character goes out as "[RC00014]": only while no key is held, since
    // the keys that made it have already been forwarded.
    bool ForwardChar(bool linked) const { return linked && m_nKeyDepth == 0; }
    // Key-ups that happen elsewhere never arrive, so losing the focus starts afresh.
    void FocusLost() { m_nKeyDepth = 0; }
    int KeyDepth() const { return m_nKeyDepth; }

  private:
    KeyVerdict SysKeyDown(uint32_t vk, uint32_t lParam, bool plain, bool linked);
    KeyVerdict SysKeyUp(uint32_t vk, uint32_t lParam, bool plain, bool linked);

    int m_nKeyDepth = 0;
};

// The text commands the viewer's keys lead to.
std::u16string TypedCharCommand(uint32_t characterCode);
std::u16string InputModeCommand();

// ---------------------------------------------------------------- pointer

// The button messages forwarded as they come (no double clicks: the window's class
// has no double-click style).
bool IsForwardedButton(unsigned message);

MouseEventRecord MouseRecord(unsigned message, uint32_t flags, RemotePoint at, int16_t wheel = 0);

// Drops moves to the remote point forwarded last. Only moves change the point; it
// starts at (0, 0), so a first move there is dropped too.
class CMoveFilter {
  public:
    // Whether a move to `at` goes out; `at` becomes the last point either way.
    bool Forward(RemotePoint at);
    RemotePoint Last() const { return m_last; }

  private:
    RemotePoint m_last;
};

// The process's one filter; used on the viewer thread only.
CMoveFilter& ProcessMoveFilter();

// ---------------------------------------------------------------- pan gesture

struct GesturePoint {
    int32_t x = 0;
    int32_t y = 0;
    bool operator==(const GesturePoint& o) const { return x == o.x && y == o.y; }
};

// A vertical pan of more than this many pixels makes one wheel step.
inline constexpr int32_t kPanThreshold = 10;
inline constexpr int16_t kPanWheelDelta = 60;

struct PanStepResult {
    bool wheel = false;
    int16_t delta = 0;
    GesturePoint wheelAt;  // screen point of the step: the anchor before it
    GesturePoint anchor;   // the anchor from now on
};

// One pan update against the anchor. Downward steps move the whole anchor, upward
// ones only its height, as the lectern PC's scrolling expects.
PanStepResult PanStep(GesturePoint anchor, GesturePoint location);

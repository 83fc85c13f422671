#include "remote/InputRules.h"

#include "protocol/PeerContract.h"
#include "protocol/TextCommand.h"
#include "remote/SystemCodes.h"

#include <cstdlib>

namespace {

constexpr unsigned kHighWordShift = 16;
constexpr uint32_t kLowWordMask = 0xFFFF;
// Flags of the key records made up for F10 and Alt pressed alone.
constexpr uint32_t kF10DownFlags = 0x44;
constexpr uint32_t kF10UpFlags = 0xC044;
constexpr uint32_t kAltDownFlags = 0x26;
constexpr uint32_t kAltUpFlags = 0xC026;
constexpr uint32_t kMadeUpRepeat = 1;
// The input method's echo of a key it already handled.
constexpr uint32_t kImeEchoFlags = 0x41F2;
// Previous-state bit within the flags: set on auto-repeated key-downs.
constexpr uint32_t kFlagsRepeatBit = kKeyPreviousStateBit >> kHighWordShift;

KeyEventRecord KeyRecord(unsigned message, uint32_t vk, uint32_t repeat, uint32_t flags) {
    KeyEventRecord record;
    record.message = static_cast<uint16_t>(message);
    record.key = vk;
    record.repeat = repeat;
    record.flags = flags;
    return record;
}

KeyVerdict Handled(std::vector<KeyEventRecord> records) {
    KeyVerdict verdict;
    verdict.action = KeyAction::kHandled;
    verdict.records = std::move(records);
    return verdict;
}

}  // namespace

uint32_t KeyFlags(uint32_t lParam) { return lParam >> kHighWordShift; }

uint32_t SysKeyFlags(uint32_t lParam) {
    return static_cast<uint32_t>(static_cast<int32_t>(static_cast<int16_t>(KeyFlags(lParam))));
}

uint32_t KeyRepeat(uint32_t lParam) { return lParam & kLowWordMask; }

KeyVerdict CKeyForwarder::PreTranslate(unsigned message, uint32_t vk, uint32_t lParam,
                                       bool shiftDown, bool ctrlDown, uint32_t imeVirtualKey,
                                       bool linked) {
    const bool plain = !shiftDown && !ctrlDown;
    if (message == kWmSysKeyDown) return SysKeyDown(vk, lParam, plain, linked);
    if (message == kWmSysKeyUp) return SysKeyUp(vk, lParam, plain, linked);
    if (message == kWmKeyDown && vk == kVkProcessKey && imeVirtualKey == kVkHangul) {
        KeyVerdict verdict;
        verdict.action = KeyAction::kInputModeKey;
        return verdict;
    }
    return KeyVerdict{};
}

KeyVerdict CKeyForwarder::SysKeyDown(uint32_t vk, uint32_t lParam, bool plain, bool linked) {
    const bool withAlt = (lParam & kKeyContextBit) != 0;
    if (vk == kVkF10 && plain && !withAlt)
        return Handled(KeyDown(vk, kMadeUpRepeat, kF10DownFlags, linked));
    if (vk == kVkMenu && plain) return Handled(KeyDown(vk, kMadeUpRepeat, kAltDownFlags, linked));
    // Alt+F4 would close the viewer and, forwarded, the lectern PC's window.
    if (vk == kVkF4 && withAlt) return Handled({});
    return Handled(KeyDown(vk, kMadeUpRepeat, SysKeyFlags(lParam), linked));
}

KeyVerdict CKeyForwarder::SysKeyUp(uint32_t vk, uint32_t lParam, bool plain, bool linked) {
    const bool withAlt = (lParam & kKeyContextBit) != 0;
    if (vk == kVkF10 && plain && !withAlt)
        return Handled(KeyUp(vk, kMadeUpRepeat, kF10UpFlags, linked));
    if (vk == kVkMenu && plain) return Handled(KeyUp(vk, kMadeUpRepeat, kAltUpFlags, linked));
    if (vk == kVkF4 && withAlt) return KeyVerdict{};
    return Handled(KeyUp(vk, kMadeUpRepeat, SysKeyFlags(lParam), linked));
}

std::vector<KeyEventRecord> CKeyForwarder::KeyDown(uint32_t vk, uint32_t repeat, uint32_t flags,
                                                   bool linked) {
    if (!linked) return {};
    if (vk == kVkProcessKey && flags == kImeEchoFlags) return {};
    // An auto-repeated key-down has no key-up of its own: counting it would leave the
    // depth above 0 after the key is released and silence every later character.
    if ((flags & kFlagsRepeatBit) == 0) ++m_nKeyDepth;
    if (vk >= kVirtualKeyLimit) return {};
    return {KeyRecord(kWmKeyDown, vk, repeat, flags)};
}

std::vector<KeyEventRecord> CKeyForwarder::KeyUp(uint32_t vk, uint32_t repeat, uint32_t flags,
                                                 bool linked) {
    if (!linked) return {};
    if (m_nKeyDepth > 0) --m_nKeyDepth;
    if (vk >= kVirtualKeyLimit) return {};
    std::vector<KeyEventRecord> records;
    // The system reports only the release of Print Screen; the lectern PC needs both.
    if (vk == kVkSnapshot) records.push_back(KeyRecord(kWmKeyDown, vk, repeat, flags));
    records.push_back(KeyRecord(kWmKeyUp, vk, repeat, flags));
    return records;
}

std::u16string TypedCharCommand(uint32_t characterCode) {
    return MakeCommand(kCmdTypedChar, {DecimalText(characterCode)});
}

std::u16string InputModeCommand() { return MakeCommand(kCmdInputModeToggle); }

bool IsForwardedButton(unsigned message) {
    switch (message) {
        case kWmLButtonDown:
        case kWmLButtonUp:
        case kWmRButtonDown:
        case kWmRButtonUp:
        case kWmMButtonDown:
        case kWmMButtonUp:
            return true;
        default:
            return false;
    }
}

MouseEventRecord MouseRecord(unsigned message, uint32_t flags, RemotePoint at, int16_t wheel) {
    MouseEventRecord record;
    record.message = static_cast<uint16_t>(message);
    record.flags = flags;
    record.x = at.x;
    record.y = at.y;
    record.wheel = wheel;
    return record;
}

bool CMoveFilter::Forward(RemotePoint at) {
    const bool moved = at != m_last;
    m_last = at;
    return moved;
}

CMoveFilter& ProcessMoveFilter() {
    static CMoveFilter filter;
    return filter;
}

PanStepResult PanStep(GesturePoint anchor, GesturePoint location) {
    PanStepResult result;
    result.anchor = anchor;
    result.wheelAt = anchor;
    const int64_t dy = int64_t{location.y} - anchor.y;
    if (std::llabs(dy) <= kPanThreshold) return result;
    result.wheel = true;
    if (dy > 0) {
        result.delta = kPanWheelDelta;
        result.anchor = location;
    } else {
        result.delta = -kPanWheelDelta;
        result.anchor.y = location.y;
    }
    return result;
}

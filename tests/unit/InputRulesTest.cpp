#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocol/PeerContract.h"
#include "remote/InputQueue.h"
#include "remote/InputRules.h"
#include "remote/SystemCodes.h"

namespace {

using Keys = std::vector<KeyEventRecord>;

KeyEventRecord Down(uint32_t vk, uint32_t flags, uint32_t repeat = 1) {
    return KeyEventRecord{256, vk, repeat, flags};
}
KeyEventRecord Up(uint32_t vk, uint32_t flags, uint32_t repeat = 1) {
    return KeyEventRecord{257, vk, repeat, flags};
}

// A forwarder with this many keys already held.
CKeyForwarder Holding(int depth) {
    CKeyForwarder keys;
    for (int i = 0; i < depth; ++i) keys.KeyDown(65, 1, 0x1E, true);
    return keys;
}

}  // namespace

TEST(InputRulesTest, LParamFields) {
    EXPECT_EQ(KeyFlags(0xC0440001u), 0xC044u);
    EXPECT_EQ(SysKeyFlags(0xC0440001u), 0xFFFFC044u);
    EXPECT_EQ(SysKeyFlags(0x20380001u), 0x2038u);
    EXPECT_EQ(KeyRepeat(0xC0440003u), 3u);
}

TEST(InputRulesTest, PreTranslation) {
    const struct {
        const char* name;
        int depthBefore;
        unsigned message;
        uint32_t vk, lParam;
        bool shift, ctrl;
        uint32_t imeKey;
        bool linked;
        KeyAction action;
        Keys records;
        int depthAfter;
    } cases[] = {
        {"F10 down alone",
         0,
         kWmSysKeyDown,
         kVkF10,
         0x00440001,
         false,
         false,
         0,
         true,
         KeyAction::kHandled,
         {Down(121, 0x44)},
         1},
        {"F10 up alone",
         1,
         kWmSysKeyUp,
         kVkF10,
         0xC0440001,
         false,
         false,
         0,
         true,
         KeyAction::kHandled,
         {Up(121, 0xC044)},
         0},
        {"Alt down alone",
         0,
         kWmSysKeyDown,
         kVkMenu,
         0x20380001,
         false,
         false,
         0,
         true,
         KeyAction::kHandled,
         {Down(18, 0x26)},
         1},
        {"Alt up alone",
         1,
         kWmSysKeyUp,
         kVkMenu,
         0xC0380001,
         false,
         false,
         0,
         true,
         KeyAction::kHandled,
         {Up(18, 0xC026)},
         0},
        {"Alt+F4 down swallowed",
         1,
         kWmSysKeyDown,
         kVkF4,
         0x203E0001,
         false,
         false,
         0,
         true,
         KeyAction::kHandled,
         {},
         1},
        {"Alt+F4 up ordinary",
         1,
         kWmSysKeyUp,
         kVkF4,
         0xE03E0001,
         false,
         false,
         0,
         true,
         KeyAction::kPassOn,
         {},
         1},
        {"F4 without Alt is another key",
         0,
         kWmSysKeyDown,
         kVkF4,
         0x003E0001,
         false,
         false,
         0,
         true,
         KeyAction::kHandled,
         {Down(115, 0x3E)},
         1},
        {"Alt+F10 is another key",
         0,
         kWmSysKeyDown,
         kVkF10,
         0x20440001,
         false,
         false,
         0,
         true,
         KeyAction::kHandled,
         {Down(121, 0x2044)},
         1},
        {"Shift+F10 is another key",
         0,
         kWmSysKeyDown,
         kVkF10,
         0x00440001,
         true,
         false,
         0,
         true,
         KeyAction::kHandled,
         {Down(121, 0x44)},
         1},
        {"Ctrl+Alt keeps its own flags",
         0,
         kWmSysKeyDown,
         kVkMenu,
         0x20380001,
         false,
         true,
         0,
         true,
         KeyAction::kHandled,
         {Down(18, 0x2038)},
         1},
        {"Alt+X down",
         1,
         kWmSysKeyDown,
         88,
         0x202D0001,
         false,
         false,
         0,
         true,
         KeyAction::kHandled,
         {Down(88, 0x202D)},
         2},
        {"Alt+X auto-repeat is not counted",
         1,
         kWmSysKeyDown,
         88,
         0x602D0001,
         false,
         false,
         0,
         true,
         KeyAction::kHandled,
         {Down(88, 0x602D)},
         1},
        {"Alt+X up sign-extends",
         2,
         kWmSysKeyUp,
         88,
         0xE02D0001,
         false,
         false,
         0,
         true,
         KeyAction::kHandled,
         {Up(88, 0xFFFFE02D)},
         1},
        {"F10 unlinked is still handled",
         0,
         kWmSysKeyDown,
         kVkF10,
         0x00440001,
         false,
         false,
         0,
         false,
         KeyAction::kHandled,
         {},
         0},
        {"Hangul key",
         0,
         kWmKeyDown,
         kVkProcessKey,
         0x00F20001,
         false,
         false,
         kVkHangul,
         true,
         KeyAction::kInputModeKey,
         {},
         0},
        {"other input-method key",
         0,
         kWmKeyDown,
         kVkProcessKey,
         0x00F20001,
         false,
         false,
         65,
         true,
         KeyAction::kPassOn,
         {},
         0},
        {"ordinary key",
         0,
         kWmKeyDown,
         65,
         0x001E0001,
         false,
         false,
         0,
         true,
         KeyAction::kPassOn,
         {},
         0},
        {"character", 0, kWmChar, 97, 0x001E0001, false, false, 0, true, KeyAction::kPassOn, {}, 0},
    };
    for (const auto& c : cases) {
        CKeyForwarder keys = Holding(c.depthBefore);
        const KeyVerdict verdict =
            keys.PreTranslate(c.message, c.vk, c.lParam, c.shift, c.ctrl, c.imeKey, c.linked);
        EXPECT_EQ(verdict.action, c.action) << c.name;
        EXPECT_EQ(verdict.records, c.records) << c.name;
        EXPECT_EQ(keys.KeyDepth(), c.depthAfter) << c.name;
    }
}

TEST(InputRulesTest, KeyDownAndUp) {
    const struct {
        const char* name;
        int depthBefore;
        bool down;
        uint32_t vk, repeat, flags;
        bool linked;
        Keys records;
        int depthAfter;
    } cases[] = {
        {"down", 0, true, 65, 1, 0x1E, true, {Down(65, 0x1E)}, 1},
        {"down with repeat count", 1, true, 66, 3, 0x30, true, {Down(66, 0x30, 3)}, 2},
        {"auto-repeat recorded, not counted", 1, true, 65, 1, 0x401E, true, {Down(65, 0x401E)}, 1},
        {"input-method echo ignored", 0, true, kVkProcessKey, 1, 0x41F2, true, {}, 0},
        {"other input-method key", 0, true, kVkProcessKey, 1, 0x1E, true, {Down(229, 0x1E)}, 1},
        {"code beyond 255 counted, not recorded", 0, true, 256, 1, 0, true, {}, 1},
        {"down unlinked", 0, true, 65, 1, 0x1E, false, {}, 0},
        {"up", 1, false, 65, 1, 0xC01E, true, {Up(65, 0xC01E)}, 0},
        {"up never below 0", 0, false, 65, 1, 0xC01E, true, {Up(65, 0xC01E)}, 0},
        {"Print Screen up gives down and up",
         0,
         false,
         kVkSnapshot,
         1,
         0xC137,
         true,
         {Down(44, 0xC137), Up(44, 0xC137)},
         0},
        {"code beyond 255 up", 2, false, 300, 1, 0, true, {}, 1},
        {"up unlinked", 1, false, 65, 1, 0xC01E, false, {}, 1},
    };
    for (const auto& c : cases) {
        CKeyForwarder keys = Holding(c.depthBefore);
        const Keys records = c.down ? keys.KeyDown(c.vk, c.repeat, c.flags, c.linked)
                                    : keys.KeyUp(c.vk, c.repeat, c.flags, c.linked);
        EXPECT_EQ(records, c.records) << c.name;
        EXPECT_EQ(keys.KeyDepth(), c.depthAfter) << c.name;
    }
}

TEST(InputRulesTest, CharactersOnlyWhileNoKeyIsHeld) {
    CKeyForwarder keys;
    EXPECT_TRUE(keys.ForwardChar(true));
    EXPECT_FALSE(keys.ForwardChar(false));
    keys.KeyDown(65, 1, 0x1E, true);
    keys.KeyDown(65, 1, 0x401E, true);  // held long enough to repeat
    EXPECT_FALSE(keys.ForwardChar(true));
    keys.KeyUp(65, 1, 0xC01E, true);
    EXPECT_TRUE(keys.ForwardChar(true));
    keys.KeyDown(16, 1, 0x2A, true);
    keys.FocusLost();
    EXPECT_EQ(keys.KeyDepth(), 0);
    EXPECT_TRUE(keys.ForwardChar(true));
    EXPECT_EQ(TypedCharCommand(97), std::u16string(kCmdTypedChar) + u"97");
    EXPECT_EQ(InputModeCommand(), std::u16string(kCmdInputModeToggle));
}

TEST(InputRulesTest, ForwardedButtons) {
    const struct {
        unsigned message;
        bool forwarded;
    } cases[] = {{513, true},  {514, true},  {516, true},  {517, true},
                 {519, true},  {520, true},  {512, false}, {515, false},
                 {518, false}, {521, false}, {522, false}, {256, false}};
    for (const auto& c : cases) EXPECT_EQ(IsForwardedButton(c.message), c.forwarded) << c.message;
}

TEST(InputRulesTest, MoveFilterDropsRepeatedPoints) {
    const struct {
        RemotePoint at;
        bool forwarded;
    } moves[] = {{{0, 0}, false}, {{5, 5}, true}, {{5, 5}, false}, {{5, 6}, true}, {{0, 0}, true}};
    CMoveFilter filter;
    for (const auto& m : moves) {
        EXPECT_EQ(filter.Forward(m.at), m.forwarded) << m.at.x << "," << m.at.y;
        EXPECT_EQ(filter.Last(), m.at);
    }
    EXPECT_EQ(&ProcessMoveFilter(), &ProcessMoveFilter());
}

TEST(InputRulesTest, TapAndMovesOnAShiftedMonitor) {
    CRemoteScreen screen;
    screen.m_rcMonitor = ScreenRect{1920, 0, 3840, 1080};
    CViewMapping mapping;
    mapping.ApplyView(screen, 2, 960, 540);
    CMoveFilter filter;
    CInputQueue queue;
    // Two window points that land on the same remote point make one move.
    for (int32_t x : {100, 100}) {
        const RemotePoint at = mapping.Map(x, 100);
        if (filter.Forward(at)) queue.AppendMouse(MouseRecord(kWmMouseMove, 0, at));
    }
    for (unsigned button : {kWmLButtonDown, kWmLButtonUp})
        queue.AppendMouse(
            MouseRecord(button, button == kWmLButtonDown ? 1 : 0, mapping.Map(100, 100)));
    ASSERT_EQ(queue.Drain(false), 1u);
    const std::vector<MouseEventRecord> expected = {
        {512, 0, 2120, 200, 0}, {513, 1, 2120, 200, 0}, {514, 0, 2120, 200, 0}};
    EXPECT_EQ(queue.TakeNextPacket()->m_vMouse, expected);
    EXPECT_EQ(filter.Last(), (RemotePoint{2120, 200}));
}

TEST(InputRulesTest, PanSteps) {
    const GesturePoint anchor{100, 100};
    const struct {
        GesturePoint location;
        bool wheel;
        int16_t delta;
        GesturePoint newAnchor;
    } cases[] = {
        {{100, 125}, true, 60, {100, 125}}, {{130, 111}, true, 60, {130, 111}},
        {{130, 110}, false, 0, {100, 100}}, {{130, 90}, false, 0, {100, 100}},
        {{130, 75}, true, -60, {100, 75}},  {{0, 89}, true, -60, {100, 89}},
    };
    for (const auto& c : cases) {
        const PanStepResult step = PanStep(anchor, c.location);
        EXPECT_EQ(step.wheel, c.wheel) << c.location.y;
        EXPECT_EQ(step.delta, c.delta) << c.location.y;
        EXPECT_EQ(step.anchor, c.newAnchor) << c.location.y;
        EXPECT_EQ(step.wheelAt, anchor) << c.location.y;
    }
}

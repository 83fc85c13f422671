// The teacher's input during remote control, from the real program under Wine to the
// simulated lectern PC: pointer, wheel and keys injected as real X input with xdotool
// (Wine turns them into window messages as on a pad), repeated moves posted to the
// viewer with ui-driver (X drops a move to where the pointer already is), and the
// monitor button that switches the view and with it the mapping.
#if !defined(TAVREL_HAVE_CLASSROOM_SIM)
#error "the end-to-end tests need tools/classroom-sim"
#endif

#include "RemoteFixture.h"

using namespace remotetest;

namespace {

constexpr int kWmMouseWheel = 0x020A;
constexpr int kWmKeyDown = 0x0100;
constexpr int kWmKeyUp = 0x0101;
constexpr int kWmChar = 0x0102;
constexpr int kVkF4 = 0x73;
constexpr int kVkF10 = 0x79;
constexpr int kVkA = 0x41;

// One full-HD monitor, given explicitly so that the expected points below follow
// from it: window point (x, y) on the 1024 x 768 pad is lectern point
// (trunc(x * 1920 / 1024), trunc(y * 1080 / 768)).
ClassroomOptions OneMonitor() {
    ClassroomOptions options;
    options.lectern.monitors = {MonitorRect{0, 0, 1920, 1080}};
    return options;
}

bool HasKey(const LecternRecord& r, int message, int key) {
    return std::any_of(r.keys.begin(), r.keys.end(), [=](const KeyEventRecord& k) {
        return k.message == message && int(k.key) == key;
    });
}

bool HasKeyRecord(const LecternRecord& r, const KeyEventRecord& want) {
    return std::find(r.keys.begin(), r.keys.end(), want) != r.keys.end();
}

size_t CountMouse(const LecternRecord& r, int message, int x, int y) {
    return size_t(std::count_if(r.mouse.begin(), r.mouse.end(), [=](const MouseEventRecord& m) {
        return m.message == message && m.x == x && m.y == y;
    }));
}

TEST_F(RemoteTest, PenAndWheelReachTheLecternAtTheMappedPoint) {
    const std::string panel = LogInWithStreamingLectern(OneMonitor());
    ASSERT_FALSE(panel.empty());
    const std::string viewer = StartRemote(panel);
    ASSERT_FALSE(viewer.empty());
    ASSERT_TRUE(WaitFrameAcks(3));

    // A tap: 300 * 1.875 = 562.5 and 400 * 1.40625 = 562.5, both truncated.
    Xdo({"mousemove", "300", "400"});
    Xdo({"click", "1"});
    EXPECT_TRUE(WaitMouse(kWmLButtonDown, 562, 562)) << "no button-down at the mapped point";
    EXPECT_TRUE(WaitMouse(kWmLButtonUp, 562, 562)) << "no button-up at the mapped point";

    // The wheel, one notch each way.
    Xdo({"click", "4"});
    EXPECT_TRUE(WaitRecord([](const LecternRecord& r) {
        return std::any_of(r.mouse.begin(), r.mouse.end(), [](const MouseEventRecord& m) {
            return m.message == kWmMouseWheel && m.wheel > 0;
        });
    })) << "no wheel-up record";
    Xdo({"click", "5"});
    EXPECT_TRUE(WaitRecord([](const LecternRecord& r) {
        return std::any_of(r.mouse.begin(), r.mouse.end(), [](const MouseEventRecord& m) {
            return m.message == kWmMouseWheel && m.wheel < 0;
        });
    })) << "no wheel-down record";

    // Two moves to one point give one record. Posted, because X drops a move to where
    // the pointer already is; the click after them marks that both were handled.
    const std::string at = PointParam(100, 100);  // lectern (187, 140)
    for (int i = 0; i < 2; ++i)
        ASSERT_EQ(UiDriver({"post", viewer, std::to_string(kWmMouseMove), "0", at}).exitCode, 0);
    const std::string marker = PointParam(500, 500);  // lectern (937, 703)
    ASSERT_EQ(UiDriver({"post", viewer, std::to_string(kWmLButtonDown), std::to_string(kMkLButton),
                        marker})
                  .exitCode,
              0);
    ASSERT_EQ(UiDriver({"post", viewer, std::to_string(kWmLButtonUp), "0", marker}).exitCode, 0);
    ASSERT_TRUE(WaitMouse(kWmLButtonUp, 937, 703)) << "the posted click did not arrive";
    EXPECT_EQ(CountMouse(m_classroom->Recorded(), kWmMouseMove, 187, 140), 1u);
}

TEST_F(RemoteTest, KeysAreForwardedAsRecordsAndSystemKeysStayOnThePad) {
    const std::string panel = LogInWithStreamingLectern(OneMonitor());
    ASSERT_FALSE(panel.empty());
    const std::string viewer = StartRemote(panel);
    ASSERT_FALSE(viewer.empty());
    ASSERT_TRUE(WaitFrameAcks(3));
    Xdo({"mousemove", "300", "400"});
    Xdo({"click", "1"});  // the viewer takes the keyboard
    ASSERT_TRUE(WaitMouse(kWmLButtonUp, 562, 562));
    // X gives the keys to the window with the X input focus. Without a window
    // manager neither the start nor the tap reliably moves it off the panel under
    // Wine, so the test puts it on the viewer's X window as a pad's shell would.
    RunResult xid =
        e2e::RunTool({"sh", "-c",
                      "xwininfo -root -tree | grep -i 'vantor tavrel.exe' | grep '1024x768+0+0' | "
                      "awk '{print $1}' | head -1"});
    ASSERT_FALSE(xid.out.empty()) << "no X window of the viewer";
    Xdo({"windowfocus", "--sync", xid.out});

    // F10 alone would open the pad's own menu mode; it goes to the lectern PC as a
    // plain key press with its scan code and transition bits.
    Xdo({"key", "F10"});
    EXPECT_TRUE(WaitRecord([](const LecternRecord& r) {
        return HasKeyRecord(r, KeyEventRecord{kWmKeyDown, kVkF10, 1, 0x44}) &&
               HasKeyRecord(r, KeyEventRecord{kWmKeyUp, kVkF10, 1, 0xC044});
    })) << "F10 did not reach the lectern PC as key records\n"
        << InputSeen();

    // Alt+F4 neither closes the viewer nor reaches the lectern PC; the letter after
    // it marks that it was handled.
    Xdo({"key", "alt+F4"});
    Xdo({"key", "a"});
    EXPECT_TRUE(WaitRecord([](const LecternRecord& r) {
        return HasKey(r, kWmKeyDown, kVkA) && HasKey(r, kWmKeyUp, kVkA);
    })) << "a typed key did not reach the lectern PC";
    const LecternRecord r = m_classroom->Recorded();
    EXPECT_FALSE(HasKey(r, kWmKeyDown, kVkF4)) << "F4 of Alt+F4 was forwarded";
    EXPECT_TRUE(r.typedChars.empty()) << "a typed key was also sent as a character";
    EXPECT_TRUE(Info(viewer).visible) << "Alt+F4 closed the viewer";
    EXPECT_EQ(CountReceived("[RC00005]"), 0u);

    // A character with no key held, as the input method or the touch keyboard gives
    // one (posted: Xvfb has no input method), goes as a character command.
    static constexpr int kHangulGa = 0xAC00;
    ASSERT_EQ(UiDriver({"post", viewer, std::to_string(kWmChar), std::to_string(kHangulGa), "1"})
                  .exitCode,
              0);
    EXPECT_TRUE(WaitRecord([](const LecternRecord& rec) {
        return std::find(rec.typedChars.begin(), rec.typedChars.end(), kHangulGa) !=
               rec.typedChars.end();
    })) << "the character did not reach the lectern PC";
}

TEST_F(RemoteTest, MonitorButtonSwitchesTheViewAndTheMapping) {
    // The second monitor lies to the left, so the virtual screen starts at x = -1024
    // and the first monitor's points are shifted by 1024.
    ClassroomOptions options;
    options.lectern.monitors = {MonitorRect{0, 0, 1920, 1080}, MonitorRect{-1024, 0, 0, 768}};
    const std::string panel = LogInWithStreamingLectern(options);
    ASSERT_FALSE(panel.empty());
    ASSERT_FALSE(StartRemote(panel).empty());
    ASSERT_TRUE(WaitFrameAcks(3));
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (UiDriver({"visible", panel, std::to_string(kMonitorButton)}).out != "1" &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
    ASSERT_EQ(UiDriver({"visible", panel, std::to_string(kMonitorButton)}).out, "1")
        << "no monitor button with two monitors";

    Xdo({"mousemove", "300", "400"});
    Xdo({"click", "1"});
    EXPECT_TRUE(WaitMouse(kWmLButtonUp, 562 + 1024, 562)) << "first monitor: wrong place";

    const uint64_t before = Log().LastSeq();
    Press(panel, kMonitorButton);
    auto request = Log().WaitFor(Received("lectern", "[RC00023]"), kHandshakeTime, before);
    ASSERT_TRUE(request) << "no monitor request";
    EXPECT_EQ(request->Text("args"), "2");
    // The lectern PC describes the new monitor; the acknowledgement of a frame sent
    // after that description shows that the pad has taken it (the description and
    // the frame travel in order on one connection and are handled on one thread).
    auto described = Log().WaitFor(
        [](const SimEvent& e) {
            return e.kind == "send" && e.Text("role") == "lectern" && e.Text("code") == "[RH00009]";
        },
        kHandshakeTime, request->seq);
    ASSERT_TRUE(described);
    auto frame = Log().WaitFor(
        [](const SimEvent& e) {
            return e.kind == "send" && e.Text("role") == "lectern" && e.Has("frame");
        },
        kHandshakeTime, described->seq);
    ASSERT_TRUE(frame) << "no frame after the new description";
    const std::string number = std::to_string(frame->Int("frame"));
    ASSERT_TRUE(Log().WaitFor(
        [&](const SimEvent& e) {
            return Received("lectern", "[RC00006]")(e) && e.Text("args") == number;
        },
        kHandshakeTime, frame->seq));

    // The second monitor is 1024 x 768 at the virtual screen's origin: one to one.
    Xdo({"mousemove", "310", "410"});
    Xdo({"click", "1"});
    EXPECT_TRUE(WaitMouse(kWmLButtonUp, 310, 410)) << "second monitor: wrong place\n"
                                                   << InputSeen();
}

}  // namespace

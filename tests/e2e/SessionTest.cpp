// The session of the real program under Wine against the simulated classroom: log-in,
// the relay server's identification, the lectern PC's greeting and keep-alive, the
// panel's switches and monitor button, and the panel at two scales.
#if !defined(TAVREL_HAVE_CLASSROOM_SIM)
#error "the end-to-end tests need tools/classroom-sim"
#endif

#include "SessionFixture.h"

using namespace sessiontest;

namespace {

TEST_F(SessionTest, HandshakeIdentifiesThePadGreetsTheLecternAndKeepsItAlive) {
    StartClassroom();
    StartProgram();
    LogIn();

    auto identity = Log().WaitFor(CEventLog::KindWith("identity", "role", "relay"), kHandshakeTime);
    ASSERT_TRUE(identity) << "the relay server got no identification";
    EXPECT_EQ(identity->Int("ok"), 1) << identity->Text("problems");
    EXPECT_EQ(identity->Text("teacher"), kTeacherId);
    auto us = Log().WaitFor(Received("relay", "[US00001]"), kHandshakeTime);
    ASSERT_TRUE(us);
    const std::vector<std::string> fields = SplitFields(us->Text("args"), ',');
    ASSERT_EQ(fields.size(), 8u) << us->Text("args");
    EXPECT_EQ(fields[0], "3");
    EXPECT_EQ(fields[1], kTeacherId);
    EXPECT_EQ(fields[2], identity->Text("address"));
    EXPECT_EQ(fields[3], identity->Text("port"));
    EXPECT_EQ(fields[4], OwnVersion());
    EXPECT_EQ(fields[5], "1");
    EXPECT_EQ(fields[6], "Reserved");
    EXPECT_EQ(fields[7], "Reserved");

    const std::string panel = WaitSessionUp();
    auto greeting = Log().WaitFor(Received("lectern", "[RC00022]"), kHandshakeTime);
    auto version = Log().WaitFor(Received("lectern", "[RC00001]"), kHandshakeTime);
    ASSERT_TRUE(greeting && version);
    EXPECT_EQ(greeting->Text("args"), "1,Reserved,Reserved");
    EXPECT_EQ(version->Text("args"), OwnVersion());
    EXPECT_LT(greeting->seq, version->seq);

    // The lectern PC describes its screen after the version: the pad answers with its
    // own size and, for a lectern program with monitor selection, monitor 1.
    auto size = Log().WaitFor(Received("lectern", "[RC00010]"), kHandshakeTime);
    ASSERT_TRUE(size) << "no screen size after the screen report";
    auto monitor = Log().WaitFor(Received("lectern", "[RC00023]"), kHandshakeTime, size->seq);
    ASSERT_TRUE(monitor) << "no monitor choice after the screen size";
    EXPECT_EQ(monitor->Text("args"), "1");
    EXPECT_EQ(SplitFields(size->Text("args"), ',').size(), 2u);

    // Keep-alives every 10 s from the greeting on.
    auto first = Log().WaitFor(Received("lectern", "[RC00003]"), kHandshakeTime);
    ASSERT_TRUE(first) << "no keep-alive";
    auto second = Log().WaitFor(Received("lectern", "[RC00003]"), kHandshakeTime, first->seq);
    ASSERT_TRUE(second) << "only one keep-alive";
    EXPECT_GE(second->timeMs - first->timeMs, 8000);
    e2e::Screenshot("session-panel-up");

    AnswerExitQuestion(panel, kYesButton);
    EXPECT_TRUE(m_program.Wait(kProgramEndsMs)) << "Yes did not end the program";
}

// Without remote control the touch keyboard and the monitor choice are refused in
// words, nothing reaches the lectern PC, and the session goes on.
TEST_F(SessionTest, KeyboardAndMonitorAreRefusedWithoutRemoteControl) {
    ClassroomOptions options;
    options.lectern.monitorCount = 2;  // so that the monitor button is offered
    StartClassroom(options);
    StartProgram();
    LogIn();
    const std::string panel = WaitSessionUp();
    ASSERT_FALSE(panel.empty());
    ASSERT_TRUE(Log().WaitFor(Received("lectern", "[RC00023]"), kHandshakeTime))
        << "no monitor choice";
    const uint64_t before = Log().LastSeq();
    for (int button : {kKeyboardButton, kMonitorButton}) {
        SCOPED_TRACE(testing::Message() << "button " << button);
        Press(panel, button);
        const std::string box = WaitBox();
        ASSERT_FALSE(box.empty()) << "the refusal showed nothing";
        EXPECT_EQ(BoxText(box), kTextRemoteOnly);
        if (button == kKeyboardButton) e2e::Screenshot("session-refused-keyboard");
        Press(box, kOkButton);
        ASSERT_EQ(UiDriver({"wait-gone", "--class", kDialogClass, "--title", kBoxTitle, "--timeout",
                            "10000"},
                           20000)
                      .exitCode,
                  0)
            << "the refusal did not close";
    }
    EXPECT_TRUE(m_program.Running()) << "a refusal ended the program";
    const auto sent = [](const SimEvent& e) {
        return e.kind == "recv" && e.Text("role") == "lectern" && e.Text("code") != "[RC00003]";
    };
    EXPECT_FALSE(Log().WaitFor(sent, 2s, before)) << "a refused button reached the lectern PC";
    AnswerExitQuestion(panel, kYesButton);
    EXPECT_TRUE(m_program.Wait(kProgramEndsMs));
}

// A display change tells the lectern PC the new picture size for screen up (even with
// screen up off) and then the pad's new screen size, in that order.
TEST_F(SessionTest, DisplayChangeSendsTheScreenUpParametersThenTheScreenSize) {
    StartClassroom();
    StartProgram();
    LogIn();
    const std::string panel = WaitSessionUp();
    ASSERT_FALSE(panel.empty());
    ASSERT_TRUE(Log().WaitFor(Received("lectern", "[RC00023]"), kHandshakeTime))
        << "no monitor choice";
    const uint64_t before = Log().LastSeq();
    // WM_DISPLAYCHANGE with 32 bits per pixel and the Xvfb screen's 1024 x 768.
    ASSERT_EQ(UiDriver({"post", panel, "0x7E", "32", std::to_string(1024 | (768 << 16))}).exitCode,
              0);
    auto parameters = Log().WaitFor(Received("lectern", "[RC00008]"), kHandshakeTime, before);
    ASSERT_TRUE(parameters) << "no screen-up parameters after the display change";
    EXPECT_EQ(parameters->Text("args"), "1024,768,full,resize");
    auto size = Log().WaitFor(Received("lectern", "[RC00010]"), kHandshakeTime, before);
    ASSERT_TRUE(size) << "no screen size after the display change";
    EXPECT_EQ(size->Text("args"), "1024,768");
    EXPECT_LT(parameters->seq, size->seq);
    EXPECT_FALSE(Log().WaitFor(Received("lectern", "[RC00009]"), 1s, before))
        << "screen up was started by a display change";
    AnswerExitQuestion(panel, kYesButton);
    EXPECT_TRUE(m_program.Wait(kProgramEndsMs));
}

// The monitor button is offered only by a lectern program with monitor selection that
// reports more than one monitor.
struct MonitorCase {
    const char* name;
    const char16_t* version;
    int monitors;
    const char* visible;
};

class MonitorButtonTest : public SessionTest, public ::testing::WithParamInterface<MonitorCase> {};

TEST_P(MonitorButtonTest, FollowsTheLecternMonitors) {
    const MonitorCase& c = GetParam();
    ClassroomOptions options;
    options.lectern.version = c.version;
    options.lectern.monitorCount = c.monitors;
    StartClassroom(options);
    StartProgram();
    LogIn();
    const std::string panel = WaitSessionUp();
    ASSERT_FALSE(panel.empty());
    // The screen report comes after the greeting; its answer tells it was handled.
    ASSERT_TRUE(Log().WaitFor(Received("lectern", "[RC00010]"), kHandshakeTime))
        << "no screen report handled";
    std::string visible;
    for (int i = 0; i < 40; ++i) {
        visible = UiDriver({"visible", panel, std::to_string(kMonitorButton)}).out;
        if (visible == c.visible) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
    }
    EXPECT_EQ(visible, c.visible);
    std::this_thread::sleep_for(1s);  // let the panel paint before the picture
    e2e::Screenshot(std::string("session-monitors-") + c.name);
    AnswerExitQuestion(panel, kYesButton);
    EXPECT_TRUE(m_program.Wait(kProgramEndsMs));
}

INSTANTIATE_TEST_SUITE_P(Lecterns, MonitorButtonTest,
                         ::testing::Values(MonitorCase{"RecentTwo", u"3.0.1.1004", 2, "1"},
                                           MonitorCase{"RecentOne", u"3.0.1.1004", 1, "0"},
                                           MonitorCase{"OlderTwo", u"2.0.1.1067", 2, "0"}),
                         [](const ::testing::TestParamInfo<MonitorCase>& info) {
                             return std::string(info.param.name);
                         });

// The panel at two scale factors, expanded and folded: sizes, and pictures to look at.
struct ScaleCase {
    const char* name;
    const char* scaleFactor;
    int width, height, folded;
};

class PanelScaleTest : public SessionTest, public ::testing::WithParamInterface<ScaleCase> {};

TEST_P(PanelScaleTest, ExpandedAndFolded) {
    const ScaleCase& c = GetParam();
    m_extraConfig = std::string("scalefactor=") + c.scaleFactor + "\r\n";
    StartClassroom();
    StartProgram();
    LogIn();
    const std::string panel = WaitSessionUp();
    ASSERT_FALSE(panel.empty());
    auto windowSize = [&] {
        // "list" prints handle, class, title, process and the rectangle l,t,r,b.
        for (const std::string& line :
             SplitFields(UiDriver({"list", "--class", kMainClass}).out, '\n')) {
            const std::vector<std::string> f = SplitFields(line, '\t');
            if (f.size() < 5 || f[0] != panel) continue;
            const std::vector<std::string> r = SplitFields(f[4], ',');
            return std::make_pair(std::stoi(r[2]) - std::stoi(r[0]),
                                  std::stoi(r[3]) - std::stoi(r[1]));
        }
        return std::make_pair(0, 0);
    };
    EXPECT_EQ(windowSize(), std::make_pair(c.width, c.height));
    std::this_thread::sleep_for(1s);
    e2e::Screenshot(std::string("panel-expanded-") + c.name);

    ASSERT_EQ(UiDriver({"click", panel, std::to_string(kFoldButton)}).exitCode, 0);
    std::pair<int, int> folded;
    for (int i = 0; i < 40 && folded.first != c.folded; ++i) {
        folded = windowSize();
        std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
    }
    EXPECT_EQ(folded, std::make_pair(c.folded, c.folded));
    std::this_thread::sleep_for(1s);
    e2e::Screenshot(std::string("panel-folded-") + c.name);
    AnswerExitQuestion(panel, kYesButton);
    EXPECT_TRUE(m_program.Wait(kProgramEndsMs));
}

INSTANTIATE_TEST_SUITE_P(Scales, PanelScaleTest,
                         ::testing::Values(ScaleCase{"Scale10", "1.0", 173, 279, 70},
                                           ScaleCase{"Scale14", "1.4", 242, 390, 98}),
                         [](const ::testing::TestParamInfo<ScaleCase>& info) {
                             return std::string(info.param.name);
                         });

// A lectern program that reports the switches: the buttons show what it reports.
TEST_F(SessionTest, RecentLecternDecidesTheSwitchButtons) {
    StartClassroom();
    StartProgram();
    LogIn();
    const std::string panel = WaitSessionUp();
    ASSERT_FALSE(panel.empty());

    const struct {
        const char16_t* report;
        int button;
        bool checked;
    } reports[] = {
        {u"[RH00003]1", kStudentTouchButton, true},
        {u"[RH00003]2", kStudentTouchButton, false},
        {u"[RH00004]1", kBroadcastButton, true},
        {u"[RH00004]0", kBroadcastButton, false},
    };
    for (const auto& r : reports) {
        ASSERT_EQ(m_classroom->Lectern().SendToAll(r.report), 1);
        EXPECT_TRUE(WaitChecked(panel, r.button, r.checked))
            << "button " << r.button << " after a report";
    }

    // Pressing touch asks for "on"; the button follows the lectern PC's answer.
    const uint64_t before = Log().LastSeq();
    ASSERT_EQ(UiDriver({"click", panel, std::to_string(kStudentTouchButton)}).exitCode, 0);
    auto touch = Log().WaitFor(Received("lectern", "[RC00013]"), kHandshakeTime, before);
    ASSERT_TRUE(touch) << "the touch switch did not reach the lectern PC";
    EXPECT_EQ(touch->Text("args"), "on");
    EXPECT_TRUE(WaitChecked(panel, kStudentTouchButton, true));
    AnswerExitQuestion(panel, kYesButton);
    EXPECT_TRUE(m_program.Wait(kProgramEndsMs));
}

// An older lectern program reports nothing: the pad flips its buttons itself, and it
// has no monitor selection.
TEST_F(SessionTest, OlderLecternLeavesTheSwitchButtonsToThePad) {
    ClassroomOptions options;
    options.lectern.version = u"2.0.1.1027";
    StartClassroom(options);
    StartProgram();
    LogIn();
    const std::string panel = WaitSessionUp();
    ASSERT_FALSE(panel.empty());
    auto size = Log().WaitFor(Received("lectern", "[RC00010]"), kHandshakeTime);
    ASSERT_TRUE(size);
    auto monitor = Log().WaitFor(Received("lectern", "[RC00023]"), kHandshakeTime, size->seq);
    ASSERT_TRUE(monitor);
    EXPECT_EQ(monitor->Text("args"), "-1") << "no monitor is chosen for an older lectern program";

    const struct {
        int button;
        const char* code;
    } switches[] = {{kStudentTouchButton, "[RC00013]"}, {kBroadcastButton, "[RC00012]"}};
    for (const auto& s : switches) {
        const uint64_t before = Log().LastSeq();
        ASSERT_EQ(UiDriver({"click", panel, std::to_string(s.button)}).exitCode, 0);
        EXPECT_TRUE(WaitChecked(panel, s.button, true)) << "button " << s.button;
        auto sent = Log().WaitFor(Received("lectern", s.code), kHandshakeTime, before);
        ASSERT_TRUE(sent) << s.code << " did not reach the lectern PC";
        EXPECT_EQ(sent->Text("args"), "on");
    }
    AnswerExitQuestion(panel, kYesButton);
    EXPECT_TRUE(m_program.Wait(kProgramEndsMs));
}

}  // namespace

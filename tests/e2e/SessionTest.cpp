// The session of the real program under Wine against the simulated classroom: log-in,
// the relay server's identification, the lectern PC's greeting and keep-alive, and
// every way the session ends, each with the message the teacher sees.
#if defined(TAVREL_HAVE_CLASSROOM_SIM)

#include "Classroom.h"
#include "Harness.h"
#include "ProgramIds.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using e2e::Process;
using e2e::RunResult;
using e2e::UiDriver;
using namespace e2e;  // the program's names
using namespace std::chrono_literals;

constexpr char kExitCaption[] = "Vantor Tavrel 종료 확인";
constexpr char kOwnVersion[] = "3.0.1.1004";

// Controls.
constexpr int kCancelButton = 2;
constexpr int kYesButton = 1246;
constexpr int kNoButton = 1247;
constexpr int kPanelCloseButton = 1628;
constexpr int kStudentTouchButton = 1006;
constexpr int kMonitorButton = 1630;
constexpr int kFoldButton = 1629;
constexpr int kBroadcastButton = 1008;

// Texts of the string table.
constexpr char kTextTeacherLost[] = "Vantor Teacher와 연결이 끊어져 프로그램이 종료됩니다";
constexpr char kTextRelayUnreachable[] =
    "로그인 서버와 접속이 되지 않습니다.\nWi-Fi에 정상연결되어 있는지 확인해 주세요.";
constexpr char kTextTeacherUnreachable[] =
    "Vantor Teacher와 접속이 되지 않습니다.\nWi-Fi에 정상연결되어 있는지 확인해 주세요.";
constexpr char kTextCheckWifi[] = "WiFi에 정상 연결되었는지 확인 후 다시 실행해주세요.";
constexpr char kTextInvalidData[] = "잘못된 정보가 수신되었습니다.";
constexpr char kTextConfirmExit[] = "Vantor Tavrel을 종료하시겠습니까?";

// Bounds of every wait. Wine starts a program in a few seconds; the relay's pause
// with the loading text is 3 s and the lectern PC's 2 s.
constexpr int kLoginAppearsMs = 40000;
constexpr int kBoxAppearsMs = 30000;
constexpr auto kHandshakeTime = 30s;
constexpr int kProgramEndsMs = 15000;
constexpr int kPollMs = 300;

// The program under test: the shipped build, or another build given by the
// environment (for trying a build folder of one's own).
std::string ProgramSourceDir() {
    const char* own = std::getenv("TAVREL_E2E_PROGRAM_DIR");
    return own != nullptr && *own != '\0' ? own : e2e::WinBinDir();
}

std::vector<std::string> SplitFields(const std::string& text, char separator) {
    std::vector<std::string> fields;
    std::stringstream in(text);
    std::string field;
    while (std::getline(in, field, separator)) fields.push_back(field);
    return fields;
}

CEventLog::Predicate Received(const std::string& role, const std::string& code) {
    return [role, code](const SimEvent& e) {
        return e.kind == "recv" && e.Text("role") == role && e.Text("code") == code;
    };
}

class SessionTest : public ::testing::Test {
  protected:
    void TearDown() override {
        if (HasFailure())
            e2e::Screenshot(std::string("failed-session-") +
                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        if (m_program.Running()) m_program.Kill();
        if (m_classroom) m_classroom->Stop();
    }

    // The simulated classroom with its login web server (HTTP only).
    void StartClassroom(ClassroomOptions options = {}) {
        options.withWeb = true;
        options.web.https = false;
        options.withMedia = false;
        m_classroom = std::make_unique<CClassroom>(options);
        ASSERT_TRUE(m_classroom->Start()) << "the classroom did not start";
    }

    CEventLog& Log() { return m_classroom->Log(); }

    // A folder of its own for each test with a copy of the program (its INI files and
    // its one-instance guard stay apart from other runs) and a config.ini that points
    // the log-in at the classroom.
    void StartProgram() {
        namespace fs = std::filesystem;
        const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        m_folder = e2e::OutDir() + "/session/" + name;
        std::error_code ignored;
        fs::remove_all(m_folder, ignored);
        fs::create_directories(m_folder);
        fs::copy_file(ProgramSourceDir() + "/" + kProgramName, m_folder + "/" + kProgramName);
        std::ofstream config(m_folder + "/config.ini", std::ios::binary);
        // HTTPS goes to a port where nothing listens, so the log-in falls back to HTTP.
        config << "[default]\r\nloginhttps=https://127.0.0.1:1\r\nloginhttp=http://127.0.0.1:"
               << m_classroom->HttpPort() << "\r\n"
               << m_extraConfig;
        config.close();
        e2e::DeleteProfileValue("language");
        ASSERT_TRUE(e2e::StartWine(m_program, {m_folder + "/" + kProgramName}, m_folder));
    }

    // The log-in dialog has no caption: it is the dialog with the teacher-ID edit.
    std::string WaitLoginDialog() {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(kLoginAppearsMs);
        while (std::chrono::steady_clock::now() < deadline) {
            RunResult list = UiDriver({"list", "--class", kDialogClass});
            for (const std::string& line : SplitFields(list.out, '\n')) {
                const std::string hwnd = SplitFields(line, '\t').front();
                if (!hwnd.empty() &&
                    UiDriver({"text", hwnd, std::to_string(kTeacherIdEdit)}).exitCode == 0)
                    return hwnd;
            }
            if (!m_program.Running()) return "";
            std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
        }
        return "";
    }

    void LogIn() {
        const std::string login = WaitLoginDialog();
        ASSERT_FALSE(login.empty()) << "no log-in dialog";
        ASSERT_EQ(
            UiDriver({"set-text", login, std::to_string(kTeacherIdEdit), kTeacherId}).exitCode, 0);
        ASSERT_EQ(UiDriver({"click", login, std::to_string(kOkButton)}).exitCode, 0);
    }

    // A message box with the caption; its handle, or "" when none came in time.
    std::string WaitBox(const std::string& caption = kBoxTitle, int timeoutMs = kBoxAppearsMs) {
        RunResult found = UiDriver({"wait", "--class", kDialogClass, "--title", caption,
                                    "--timeout", std::to_string(timeoutMs)},
                                   timeoutMs + 10000);
        return found.exitCode == 0 ? found.out : "";
    }

    std::string BoxText(const std::string& box) {
        return UiDriver({"text", box, std::to_string(kBoxTextLabel)}).out;
    }

    void Press(const std::string& hwnd, int id) {
        ASSERT_EQ(UiDriver({"click", hwnd, std::to_string(id)}).exitCode, 0);
    }

    // Shows the box's text, presses OK and expects the program to end.
    void ExpectFatalMessage(const std::string& text) {
        const std::string box = WaitBox();
        if (box.empty()) {
            // What the classroom saw and which windows are up, to tell why in CI.
            for (const SimEvent& e : Log().Events()) std::cerr << e.Json() << "\n";
            std::cerr << UiDriver({"list"}).out << "\n";
            e2e::Screenshot("session-no-box");
        }
        ASSERT_FALSE(box.empty()) << "no message box; expected: " << text;
        EXPECT_EQ(BoxText(box), text);
        e2e::Screenshot(std::string("session-") +
                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
        Press(box, kOkButton);
        EXPECT_TRUE(m_program.Wait(kProgramEndsMs)) << "the program did not end after the message";
    }

    // Waits for the panel after the lectern PC's greeting; its handle.
    std::string WaitSessionUp() {
        EXPECT_TRUE(Log().WaitFor(Received("lectern", "[RC00001]"), kHandshakeTime))
            << "the lectern PC was not answered";
        RunResult panel = UiDriver({"wait", "--class", kMainClass, "--timeout", "15000"}, 30000);
        EXPECT_EQ(panel.exitCode, 0) << "the panel did not show";
        return panel.out;
    }

    // Polls a panel button's check state until it is the expected one.
    bool WaitChecked(const std::string& panel, int id, bool expected, int timeoutMs = 8000) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        const std::string want = expected ? "1" : "0";
        do {
            if (UiDriver({"checked", panel, std::to_string(id)}).out == want) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
        } while (std::chrono::steady_clock::now() < deadline);
        return false;
    }

    // Asks to close the panel and answers the exit question.
    void AnswerExitQuestion(const std::string& panel, int button) {
        ASSERT_EQ(UiDriver({"close", panel}).exitCode, 0);
        const std::string box = WaitBox(kExitCaption);
        ASSERT_FALSE(box.empty()) << "no exit question";
        EXPECT_EQ(BoxText(box), kTextConfirmExit);
        Press(box, button);
    }

    std::unique_ptr<CClassroom> m_classroom;
    Process m_program;
    std::string m_folder;
    std::string m_extraConfig;  // more config.ini lines, e.g. "scalefactor=1.4\r\n"
};

TEST_F(SessionTest, HandshakeIdentifiesThePadGreetsTheLecternAndKeepsItAlive) {
    StartClassroom();
    StartProgram();
    LogIn();

    auto identity = Log().WaitFor(CEventLog::KindWith("identity", "role", "relay"), kHandshakeTime);
    ASSERT_TRUE(identity) << "the relay server got no identification";
    EXPECT_EQ(identity->Int("ok"), 1) << identity->Text("problems");
    EXPECT_EQ(identity->Text("teacher"), kTeacherId);
    auto us = Log().WaitFor(Received("relay", "[US00001]"), 1s);
    ASSERT_TRUE(us);
    const std::vector<std::string> fields = SplitFields(us->Text("args"), ',');
    ASSERT_EQ(fields.size(), 8u) << us->Text("args");
    EXPECT_EQ(fields[0], "3");
    EXPECT_EQ(fields[1], kTeacherId);
    EXPECT_EQ(fields[2], identity->Text("address"));
    EXPECT_EQ(fields[3], identity->Text("port"));
    EXPECT_EQ(fields[4], kOwnVersion);
    EXPECT_EQ(fields[5], "1");
    EXPECT_EQ(fields[6], "Reserved");
    EXPECT_EQ(fields[7], "Reserved");

    const std::string panel = WaitSessionUp();
    auto greeting = Log().WaitFor(Received("lectern", "[RC00022]"), 1s);
    auto version = Log().WaitFor(Received("lectern", "[RC00001]"), 1s);
    ASSERT_TRUE(greeting && version);
    EXPECT_EQ(greeting->Text("args"), "1,Reserved,Reserved");
    EXPECT_EQ(version->Text("args"), kOwnVersion);
    EXPECT_LT(greeting->seq, version->seq);

    // The lectern PC describes its screen after the version: the pad answers with its
    // own size and, for a lectern program with monitor selection, monitor 1.
    auto size = Log().WaitFor(Received("lectern", "[RC00010]"), 10s);
    ASSERT_TRUE(size) << "no screen size after the screen report";
    auto monitor = Log().WaitFor(Received("lectern", "[RC00023]"), 5s, size->seq);
    ASSERT_TRUE(monitor) << "no monitor choice after the screen size";
    EXPECT_EQ(monitor->Text("args"), "1");
    EXPECT_EQ(SplitFields(size->Text("args"), ',').size(), 2u);

    // Keep-alives every 10 s from the greeting on.
    auto first = Log().WaitFor(Received("lectern", "[RC00003]"), 15s);
    ASSERT_TRUE(first) << "no keep-alive";
    auto second = Log().WaitFor(Received("lectern", "[RC00003]"), 15s, first->seq);
    ASSERT_TRUE(second) << "only one keep-alive";
    EXPECT_GE(second->timeMs - first->timeMs, 8000);
    e2e::Screenshot("session-panel-up");

    AnswerExitQuestion(panel, kYesButton);
    EXPECT_TRUE(m_program.Wait(kProgramEndsMs)) << "Yes did not end the program";
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
    ASSERT_TRUE(Log().WaitFor(Received("lectern", "[RC00010]"), 10s)) << "no screen report handled";
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
    auto touch = Log().WaitFor(Received("lectern", "[RC00013]"), 10s, before);
    ASSERT_TRUE(touch) << "the touch switch did not reach the lectern PC";
    EXPECT_EQ(touch->Text("args"), "on");
    EXPECT_TRUE(WaitChecked(panel, kStudentTouchButton, true));
    AnswerExitQuestion(panel, kYesButton);
    EXPECT_TRUE(m_program.Wait(kProgramEndsMs));
}

// A lectern PC that greets and then says nothing: a press of the touch button leaves
// the button as it is (a recent lectern program reports the state itself), and the
// keep-alive gives up after 40 s of silence, at the first tick after that.
TEST_F(SessionTest, SilentLecternEndsTheSessionAfterFortySeconds) {
    ClassroomOptions options;
    options.lectern.misbehaviour = LecternMisbehaviour::kSilentAfterGreeting;
    StartClassroom(options);
    StartProgram();
    LogIn();
    const std::string panel = WaitSessionUp();
    ASSERT_FALSE(panel.empty());
    auto greeted = Log().WaitFor(Received("lectern", "[RC00022]"), 1s);
    ASSERT_TRUE(greeted);

    const uint64_t before = Log().LastSeq();
    ASSERT_EQ(UiDriver({"click", panel, std::to_string(kStudentTouchButton)}).exitCode, 0);
    ASSERT_TRUE(Log().WaitFor(Received("lectern", "[RC00013]"), 10s, before));
    EXPECT_FALSE(WaitChecked(panel, kStudentTouchButton, true, 2000))
        << "the pad flipped the button without the lectern PC's report";

    const std::string box = WaitBox(kBoxTitle, 70000);
    ASSERT_FALSE(box.empty()) << "the silence was not noticed";
    const int64_t silentMs = Log().Events().back().timeMs - greeted->timeMs;
    EXPECT_EQ(BoxText(box), kTextTeacherLost);
    EXPECT_GE(Log().Count(Received("lectern", "[RC00003]")), 4u) << "keep-alives stopped early";
    EXPECT_GE(silentMs, 40000);
    Press(box, kOkButton);
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
    auto size = Log().WaitFor(Received("lectern", "[RC00010]"), 10s);
    ASSERT_TRUE(size);
    auto monitor = Log().WaitFor(Received("lectern", "[RC00023]"), 5s, size->seq);
    ASSERT_TRUE(monitor);
    EXPECT_EQ(monitor->Text("args"), "-1") << "no monitor is chosen for an older lectern program";

    const struct {
        int button;
        const char* code;
    } switches[] = {{kStudentTouchButton, "[RC00013]"}, {kBroadcastButton, "[RC00012]"}};
    for (const auto& s : switches) {
        const uint64_t before = Log().LastSeq();
        ASSERT_EQ(UiDriver({"click", panel, std::to_string(s.button)}).exitCode, 0);
        EXPECT_TRUE(WaitChecked(panel, s.button, true, 3000)) << "button " << s.button;
        auto sent = Log().WaitFor(Received("lectern", s.code), 10s, before);
        ASSERT_TRUE(sent) << s.code << " did not reach the lectern PC";
        EXPECT_EQ(sent->Text("args"), "on");
    }
    AnswerExitQuestion(panel, kYesButton);
    EXPECT_TRUE(m_program.Wait(kProgramEndsMs));
}

TEST_F(SessionTest, ExitQuestionAnsweredNoKeepsTheProgram) {
    StartClassroom();
    StartProgram();
    LogIn();
    const std::string panel = WaitSessionUp();
    ASSERT_FALSE(panel.empty());

    AnswerExitQuestion(panel, kNoButton);
    EXPECT_EQ(UiDriver({"wait-gone", "--class", kDialogClass, "--title", kExitCaption, "--timeout",
                        "10000"})
                  .exitCode,
              0);
    EXPECT_FALSE(m_program.Wait(2000)) << "No ended the program";
    EXPECT_EQ(UiDriver({"wait", "--class", kMainClass, "--timeout", "5000"}).exitCode, 0);

    // The close button asks the same question.
    ASSERT_EQ(UiDriver({"click", panel, std::to_string(kPanelCloseButton)}).exitCode, 0);
    const std::string box = WaitBox(kExitCaption);
    ASSERT_FALSE(box.empty()) << "the close button asked nothing";
    Press(box, kYesButton);
    EXPECT_TRUE(m_program.Wait(kProgramEndsMs));
}

TEST_F(SessionTest, SilentRelayEndsTheProgramWithItsMessage) {
    ClassroomOptions options;
    options.relay.mode = RelayMode::kSilent;
    StartClassroom(options);
    StartProgram();
    LogIn();
    ASSERT_TRUE(Log().WaitFor(CEventLog::KindWith("conn_open", "role", "relay"), kHandshakeTime));
    ExpectFatalMessage(kTextRelayUnreachable);
}

TEST_F(SessionTest, LecternThatNeverGreetsEndsTheProgramNamingItsAddress) {
    ClassroomOptions options;
    options.lectern.misbehaviour = LecternMisbehaviour::kNoGreeting;
    StartClassroom(options);
    StartProgram();
    LogIn();
    ASSERT_TRUE(Log().WaitFor(CEventLog::KindWith("conn_open", "role", "lectern"), kHandshakeTime));
    ExpectFatalMessage(std::string(kTextTeacherUnreachable) +
                       "(127.0.0.1:" + std::to_string(m_classroom->LecternPort()) + ")");
}

TEST_F(SessionTest, LecternClosingTheConnectionEndsTheProgram) {
    StartClassroom();
    StartProgram();
    LogIn();
    ASSERT_FALSE(WaitSessionUp().empty());
    m_classroom->Lectern().CloseSessions();
    ExpectFatalMessage(kTextTeacherLost);
}

// The lectern PC hangs up while the pad still answers its display description: the
// answer fails to send, and that must end the session as loudly as a reported close.
TEST_F(SessionTest, LecternHangingUpBeforeTheDisplayAnswerEndsTheProgram) {
    ClassroomOptions options;
    options.lectern.misbehaviour = LecternMisbehaviour::kHangUpAfterDescribing;
    StartClassroom(options);
    StartProgram();
    LogIn();
    EXPECT_TRUE(Log().WaitFor(CEventLog::KindWith("misbehave", "what", "hang_up_after_describing"),
                              kHandshakeTime));
    ExpectFatalMessage(kTextTeacherLost);
}

TEST_F(SessionTest, LecternEndingTheSessionShowsItsMessage) {
    StartClassroom();
    StartProgram();
    LogIn();
    ASSERT_FALSE(WaitSessionUp().empty());
    ASSERT_EQ(m_classroom->Lectern().EndSessions(u"수업이 끝났습니다.", 2), 1);
    ExpectFatalMessage("수업이 끝났습니다.");
}

// A malformed end notice is no reason to go: the teacher is told and asked.
TEST_F(SessionTest, MalformedEndNoticeAsksBeforeEnding) {
    StartClassroom();
    StartProgram();
    LogIn();
    ASSERT_FALSE(WaitSessionUp().empty());
    ASSERT_EQ(m_classroom->Lectern().EndSessions(u"수업이 끝났습니다.", 3), 1);
    const std::string box = WaitBox();
    ASSERT_FALSE(box.empty());
    EXPECT_EQ(BoxText(box), kTextInvalidData);
    Press(box, kOkButton);
    const std::string question = WaitBox(kExitCaption);
    ASSERT_FALSE(question.empty()) << "no exit question after the malformed notice";
    Press(question, kYesButton);
    EXPECT_TRUE(m_program.Wait(kProgramEndsMs));
}

TEST_F(SessionTest, RelayEndingTheSessionEndsTheProgram) {
    ClassroomOptions options;
    options.relay.mode = RelayMode::kEndSession;
    StartClassroom(options);
    StartProgram();
    LogIn();
    ExpectFatalMessage(kTextTeacherLost);
}

// Nothing listens at the relay's address: the panel shows (so the message is not left
// alone on an empty screen) and the program ends with the Wi-Fi message.
TEST_F(SessionTest, RefusedRelayConnectionShowsThePanelAndEnds) {
    StartClassroom();
    m_classroom->Relay()->Stop();
    StartProgram();
    LogIn();
    const std::string box = WaitBox();
    ASSERT_FALSE(box.empty()) << "the refused connection showed nothing";
    EXPECT_EQ(BoxText(box), kTextCheckWifi);
    EXPECT_EQ(UiDriver({"wait", "--class", kMainClass, "--timeout", "1000"}).exitCode, 0)
        << "the panel is not shown with the message";
    Press(box, kOkButton);
    EXPECT_TRUE(m_program.Wait(kProgramEndsMs));
}

TEST_F(SessionTest, MalformedLecternAddressEndsTheProgram) {
    ClassroomOptions options;
    options.relay.addressFieldCount = 6;
    StartClassroom(options);
    StartProgram();
    LogIn();
    ExpectFatalMessage(kTextInvalidData);
}

TEST_F(SessionTest, RelayRefusalShowsItsMessageAndAsksForTheIdAgain) {
    ClassroomOptions options;
    options.relay.mode = RelayMode::kRefuse;
    options.relay.refusalMessage = u"일치하는 선생님 정보를 찾을 수 없습니다.";
    StartClassroom(options);
    StartProgram();
    LogIn();

    // Korean installation: the relay's text is shown as it came.
    std::string box = WaitBox();
    ASSERT_FALSE(box.empty()) << "the refusal showed nothing";
    EXPECT_EQ(BoxText(box), "일치하는 선생님 정보를 찾을 수 없습니다.");
    Press(box, kOkButton);

    // The log-in dialog again; a second try reaches the relay server again.
    LogIn();
    ASSERT_TRUE(
        Log().WaitForCount(CEventLog::KindWith("conn_open", "role", "relay"), 2, kHandshakeTime))
        << "no second relay connection after the re-login";
    box = WaitBox();
    ASSERT_FALSE(box.empty()) << "the second refusal showed nothing";
    Press(box, kOkButton);

    // Cancel on the log-in dialog ends the program.
    const std::string login = WaitLoginDialog();
    ASSERT_FALSE(login.empty());
    Press(login, kCancelButton);
    EXPECT_TRUE(m_program.Wait(kProgramEndsMs))
        << "cancelling the re-login did not end the program";
}

}  // namespace

#endif  // TAVREL_HAVE_CLASSROOM_SIM

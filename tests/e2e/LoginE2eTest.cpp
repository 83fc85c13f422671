// The log-in of the real program under Wine against the simulated classroom: what the
// login web server sees, what the teacher sees on a refusal or a bad ID, the fall-back
// to the stored relay endpoint, and the dialog, message box and loading window at two
// scale factors (screenshots in out/e2e/).
#if !defined(TAVREL_HAVE_CLASSROOM_SIM)
#error "the end-to-end tests need tools/classroom-sim"
#endif

#include "Classroom.h"
#include "Harness.h"
#include "ProgramIds.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
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

constexpr char kLoopback[] = "127.0.0.1";
constexpr char kKoreanLocale[] = "ko_KR.UTF-8";

// A refusal text the program does not know, shown as the server sent it.
constexpr char kUnknownServerMessage[] = "수업 준비 중입니다.";

// Design sizes of the windows, multiplied by the scale factor.
constexpr int kLoginWidth = 378;
constexpr int kLoginHeight = 304;
constexpr int kLoadingWidth = 320;
constexpr int kLoadingHeight = 210;

// Bounds of every wait: Wine is slow on a shared machine, and a lookup may try two
// schemes.
constexpr int kLoginAppearsMs = 60000;
constexpr int kBoxAppearsMs = 30000;
constexpr auto kRequestTime = 60s;
constexpr auto kRelayTime = 90s;
constexpr int kStatusShownMs = 30000;
constexpr int kPollMs = 300;
// How long a refused ID is watched for a request that must not come.
constexpr auto kNoRequestWatch = 3s;

struct WindowInfo {
    std::string hwnd;
    int width = 0;
    int height = 0;
};

std::vector<std::string> SplitFields(const std::string& text, char separator) {
    std::vector<std::string> fields;
    std::stringstream in(text);
    std::string field;
    while (std::getline(in, field, separator)) fields.push_back(field);
    return fields;
}

// The visible dialogs, with their sizes, from ui-driver's list.
std::vector<WindowInfo> Dialogs() {
    std::vector<WindowInfo> windows;
    for (const std::string& line :
         SplitFields(UiDriver({"list", "--class", kDialogClass}).out, '\n')) {
        const std::vector<std::string> fields = SplitFields(line, '\t');
        if (fields.size() < 5) continue;
        const std::vector<std::string> rect = SplitFields(fields[4], ',');
        if (rect.size() != 4) continue;
        windows.push_back({fields[0], std::stoi(rect[2]) - std::stoi(rect[0]),
                           std::stoi(rect[3]) - std::stoi(rect[1])});
    }
    return windows;
}

// The first visible dialog that has the control, polled until the deadline.
WindowInfo WaitDialogWith(int controlId, int timeoutMs, Process& program) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline && program.Running()) {
        for (const WindowInfo& w : Dialogs()) {
            if (UiDriver({"text", w.hwnd, std::to_string(controlId)}).exitCode == 0) return w;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
    }
    return {};
}

int Scaled(int design, float scale) { return static_cast<int>(static_cast<float>(design) * scale); }

// INI files as the program keeps them: UTF-16LE with a byte-order mark, CR LF. Our
// texts are ASCII.
void WriteIni(const std::string& path, const std::vector<std::string>& lines) {
    std::string bytes = "\xFF\xFE";
    for (const std::string& line : lines) {
        for (char c : line + "\r\n") {
            bytes += c;
            bytes += '\0';
        }
    }
    std::ofstream(path, std::ios::binary) << bytes;
}

// The ASCII text of a UTF-16LE file, or of a plain one.
std::string ReadIni(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() < 2 || bytes[0] != '\xFF' || bytes[1] != '\xFE') return bytes;
    std::string text;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) text += bytes[i];
    return text;
}

// A port on the loopback where nothing listens: bound once by us, then released.
int ClosedPort() {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof(address);
    int port = 0;
    if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
        getsockname(s, reinterpret_cast<sockaddr*>(&address), &size) == 0)
        port = ntohs(address.sin_port);
    close(s);
    return port;
}

CEventLog::Predicate LoginRequest() { return CEventLog::Kind("login_request"); }
CEventLog::Predicate RelayConnection() { return CEventLog::KindWith("conn_open", "role", "relay"); }

class LoginE2eTest : public ::testing::Test {
  protected:
    void TearDown() override {
        if (HasFailure()) e2e::Screenshot("failed-login-" + TestName());
        if (m_program.Running()) m_program.Kill();
        if (m_classroom) m_classroom->Stop();
        std::remove(ConfigIni().c_str());
        std::remove(SettingIni().c_str());
    }

    static std::string TestName() {
        std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        for (char& c : name) {
            if (c == '/') c = '-';
        }
        return name;
    }

    // The classroom, by default with both web listeners of the login web server.
    void StartClassroom(ClassroomOptions options = {}, bool withWeb = true) {
        ASSERT_EQ(std::system((e2e::SourceDir() + "/scripts/make-sim-cert >/dev/null").c_str()), 0);
        options.withWeb = withWeb;
        options.withMedia = false;
        options.web.https = true;
        options.web.certFile = e2e::SourceDir() + "/build/sim-cert/cert.pem";
        options.web.keyFile = e2e::SourceDir() + "/build/sim-cert/key.pem";
        m_classroom = std::make_unique<CClassroom>(options);
        ASSERT_TRUE(m_classroom->Start()) << "the classroom did not start";
    }

    CEventLog& Log() { return m_classroom->Log(); }

    std::string ConfigIni() const { return m_folder + "/config.ini"; }
    std::string SettingIni() const { return m_folder + "/setting.ini"; }

    // config.ini lines pointing the log-in at the classroom's login web server.
    std::vector<std::string> WebConfig() {
        return {"[default]",
                "loginhttps=https://127.0.0.1:" + std::to_string(m_classroom->HttpsPort()),
                "loginhttp=http://127.0.0.1:" + std::to_string(m_classroom->HttpPort())};
    }

    // A copy of the program in a folder of this test's own, beside its config.ini (and
    // setting.ini when given), started under Wine.
    void StartProgram(const std::vector<std::string>& config,
                      const std::vector<std::string>& setting = {}) {
        namespace fs = std::filesystem;
        m_folder = e2e::OutDir() + "/login/" + TestName();
        std::error_code ignored;
        fs::remove_all(m_folder, ignored);
        fs::create_directories(m_folder);
        fs::copy_file(e2e::WinBinDir() + "/" + kProgramName, m_folder + "/" + kProgramName);
        WriteIni(ConfigIni(), config);
        if (!setting.empty()) WriteIni(SettingIni(), setting);
        e2e::DeleteProfileValue("language");
        e2e::DeleteProfileValue("teacherid");
        // A Korean installation: replies are decoded with code page 949.
        ASSERT_TRUE(e2e::StartWine(m_program, {m_folder + "/" + kProgramName}, m_folder,
                                   {{"LANG", kKoreanLocale}, {"LC_ALL", kKoreanLocale}}));
    }

    // The log-in dialog has no caption: it is the dialog with the teacher-ID edit.
    WindowInfo WaitLoginDialog() {
        return WaitDialogWith(kTeacherIdEdit, kLoginAppearsMs, m_program);
    }

    void EnterId(const std::string& login, const std::string& id) {
        ASSERT_EQ(UiDriver({"set-text", login, std::to_string(kTeacherIdEdit), id}).exitCode, 0);
        ASSERT_EQ(UiDriver({"click", login, std::to_string(kOkButton)}).exitCode, 0);
    }

    // A message box of the program; its handle, or "" when none came in time.
    std::string WaitBox() { return e2e::WaitBox(kBoxTitle, kBoxAppearsMs); }

    // Polls the status line until it shows the text; the last text seen.
    std::string WaitStatus(const std::string& login, const std::string& expected) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(kStatusShownMs);
        std::string seen;
        do {
            seen = UiDriver({"text", login, std::to_string(kStatusLine)}).out;
            if (seen == expected) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
        } while (std::chrono::steady_clock::now() < deadline);
        return seen;
    }

    std::unique_ptr<CClassroom> m_classroom;
    Process m_program;
    std::string m_folder;
};

TEST_F(LoginE2eTest, AcceptedIdIsDigestedStoredAndLeadsToTheRelay) {
    ClassroomOptions options;
    options.relay.mode = RelayMode::kSilent;  // the loading window stays up meanwhile
    StartClassroom(options);
    StartProgram(WebConfig());
    const WindowInfo login = WaitLoginDialog();
    ASSERT_FALSE(login.hwnd.empty()) << "no log-in dialog";
    EnterId(login.hwnd, kTeacherId);

    // HTTPS first: the self-signed certificate is accepted on the retry, so the one
    // request that arrives came over HTTPS, with a digest the server can check.
    auto request = Log().WaitFor(LoginRequest(), kRequestTime);
    ASSERT_TRUE(request) << "the login web server got no request";
    EXPECT_EQ(request->Text("scheme"), "https");
    EXPECT_EQ(request->Text("val3"), kTeacherId);
    EXPECT_EQ(request->Text("valid"), "true") << "val2 " << request->Text("val2");
    EXPECT_EQ(request->Text("val2").size(), 32u);

    ASSERT_TRUE(Log().WaitFor(RelayConnection(), kRelayTime)) << "no connection to the relay";
    EXPECT_EQ(Log().Count(LoginRequest()), 1u) << "a second scheme was tried after a success";
    const WindowInfo loading = WaitDialogWith(kLoadingText, kBoxAppearsMs, m_program);
    ASSERT_FALSE(loading.hwnd.empty()) << "no loading window while the relay is asked";
    EXPECT_EQ(UiDriver({"text", loading.hwnd, std::to_string(kLoadingText)}).out,
              kTextLoadingRelay);

    // The endpoint of the answer is kept for the day the web server is down.
    const std::string stored = ReadIni(SettingIni());
    EXPECT_NE(stored.find("rsip=127.0.0.1"), std::string::npos) << stored;
    EXPECT_NE(stored.find("rsport=" + std::to_string(m_classroom->RelayPort())), std::string::npos)
        << stored;
}

// One dialog, several refusals in a row: each shows its text and leaves the dialog open.
TEST_F(LoginE2eTest, RefusalShowsTheMappedMessageAndKeepsTheDialog) {
    StartClassroom();
    StartProgram(WebConfig());
    const WindowInfo login = WaitLoginDialog();
    ASSERT_FALSE(login.hwnd.empty()) << "no log-in dialog";

    const struct {
        LoginAnswer answer;
        const char* shown;
    } refusals[] = {
        {LoginAnswer::kRefuseCode2, kTextBadTeacherId},  // the server's text has two spaces
        {LoginAnswer::kRefuseCode1, kTextBadAccess},
        {LoginAnswer::kUnknownMessage, kUnknownServerMessage},  // shown as it came
    };
    for (const auto& r : refusals) {
        SCOPED_TRACE(CLoginWebServer::LoginAnswerName(r.answer));
        m_classroom->LoginWeb()->SetAnswer(r.answer);
        const size_t before = Log().Count(LoginRequest());
        EnterId(login.hwnd, kTeacherId);
        ASSERT_TRUE(Log().WaitForCount(LoginRequest(), before + 1, kRequestTime));
        EXPECT_EQ(WaitStatus(login.hwnd, r.shown), r.shown);
        if (r.answer == LoginAnswer::kRefuseCode2) e2e::Screenshot("login-refused");
        EXPECT_EQ(UiDriver({"text", login.hwnd, std::to_string(kTeacherIdEdit)}).out, kTeacherId)
            << "the dialog did not stay";
    }
    EXPECT_EQ(Log().Count(RelayConnection()), 0u);
    const std::string stored = ReadIni(SettingIni());
    EXPECT_EQ(stored.find(std::string("rsip=") + kLoopback), std::string::npos)
        << "a refusal stored an endpoint: " << stored;
}

TEST_F(LoginE2eTest, InvalidIdsAreRefusedBeforeAnyRequest) {
    StartClassroom();
    StartProgram(WebConfig());
    const WindowInfo login = WaitLoginDialog();
    ASSERT_FALSE(login.hwnd.empty()) << "no log-in dialog";

    const struct {
        const char* id;
        const char* message;
        const char* screenshot;
    } refused[] = {
        {"abcdefghijklmnopqrstu", kTextIdTooLong, "login-message-box"},  // 21 characters
        {"class:3", kTextIdBadChars, nullptr},
        {"   ", kTextIdEmpty, nullptr},
    };
    for (const auto& r : refused) {
        SCOPED_TRACE(r.id);
        EnterId(login.hwnd, r.id);
        const std::string box = WaitBox();
        ASSERT_FALSE(box.empty()) << "no message box";
        EXPECT_EQ(BoxText(box), r.message);
        if (r.screenshot != nullptr) e2e::Screenshot(r.screenshot);
        ASSERT_EQ(UiDriver({"click", box, std::to_string(kOkButton)}).exitCode, 0);
        EXPECT_EQ(UiDriver({"wait-gone", "--class", kDialogClass, "--title", kBoxTitle, "--timeout",
                            std::to_string(kBoxAppearsMs)},
                           kBoxAppearsMs + 10000)
                      .exitCode,
                  0);
        EXPECT_FALSE(Log().WaitFor(LoginRequest(), kNoRequestWatch)) << "a refused ID was sent";
    }

    // Twenty characters are enough, and the blanks around them are not part of the ID.
    const std::string twenty = "abcdefghijklmnopqrst";
    EnterId(login.hwnd, "  " + twenty + " ");
    auto request = Log().WaitFor(LoginRequest(), kRequestTime);
    ASSERT_TRUE(request) << "a valid ID was not sent";
    EXPECT_EQ(request->Text("val3"), twenty);
    EXPECT_EQ(request->Text("valid"), "true");
}

// The login web server cannot help: the relay endpoint stored by an earlier log-in is
// used, and left as it was.
struct FallbackCase {
    const char* name;
    bool webAnswers;  // else nothing listens at either URL
    LoginAnswer answer;
};

// Test names in ctest show the case's name, not its bytes.
void PrintTo(const FallbackCase& c, std::ostream* out) { *out << c.name; }

class LoginFallbackTest : public LoginE2eTest,
                          public ::testing::WithParamInterface<FallbackCase> {};

TEST_P(LoginFallbackTest, StoredRelayEndpointIsUsed) {
    const FallbackCase& c = GetParam();
    StartClassroom({}, c.webAnswers);
    std::vector<std::string> config{"[default]",
                                    "loginhttps=https://127.0.0.1:" + std::to_string(ClosedPort()),
                                    "loginhttp=http://127.0.0.1:" + std::to_string(ClosedPort())};
    if (c.webAnswers) {
        config = WebConfig();
        m_classroom->LoginWeb()->SetAnswer(c.answer);
        // A reply the pad wrongly took would send it to a relay server that is not there.
        m_classroom->LoginWeb()->SetRelayEndpoint(kLoopback, ClosedPort());
    }
    const std::string port = std::to_string(m_classroom->RelayPort());
    StartProgram(config, {"[default]", std::string("rsip=") + kLoopback, "rsport=" + port});
    const WindowInfo login = WaitLoginDialog();
    ASSERT_FALSE(login.hwnd.empty()) << "no log-in dialog";
    EnterId(login.hwnd, kTeacherId);

    ASSERT_TRUE(Log().WaitFor(RelayConnection(), kRelayTime))
        << "the stored relay endpoint was not used";
    if (c.webAnswers) {
        // Both schemes were asked, HTTPS first.
        const std::vector<SimEvent> events = m_classroom->Log().Events();
        std::vector<std::string> schemes;
        for (const SimEvent& e : events) {
            if (e.kind == "login_request") schemes.push_back(e.Text("scheme"));
        }
        EXPECT_EQ(schemes, (std::vector<std::string>{"https", "http"}));
    }
    const std::string stored = ReadIni(SettingIni());
    EXPECT_NE(stored.find("rsport=" + port), std::string::npos) << stored;
}

INSTANTIATE_TEST_SUITE_P(
    WebServerDown, LoginFallbackTest,
    ::testing::Values(FallbackCase{"NothingListens", false, {}},
                      FallbackCase{"BothSchemesAnswer404", true, LoginAnswer::kStatus404},
                      // Far more than any lookup reply: refused unread.
                      FallbackCase{"BothSchemesAnswerTooMuch", true, LoginAnswer::kOversized}),
    [](const ::testing::TestParamInfo<FallbackCase>& info) {
        return std::string(info.param.name);
    });

// The log-in's windows at a scale factor: the dialog, a message box and the loading
// window, measured and photographed.
struct ScaleCase {
    const char* name;
    const char* text;  // as config.ini gives it
    float scale;
};

void PrintTo(const ScaleCase& c, std::ostream* out) { *out << c.name; }

class LoginScaleTest : public LoginE2eTest, public ::testing::WithParamInterface<ScaleCase> {};

TEST_P(LoginScaleTest, WindowsAreSizedAndDrawn) {
    const ScaleCase& c = GetParam();
    ClassroomOptions options;
    options.relay.mode = RelayMode::kSilent;
    StartClassroom(options, false);
    StartProgram({"[default]", std::string("scalefactor=") + c.text,
                  "loginhttps=https://127.0.0.1:" + std::to_string(ClosedPort()),
                  "loginhttp=http://127.0.0.1:" + std::to_string(ClosedPort())},
                 {"[default]", std::string("rsip=") + kLoopback,
                  "rsport=" + std::to_string(m_classroom->RelayPort())});
    const WindowInfo login = WaitLoginDialog();
    ASSERT_FALSE(login.hwnd.empty()) << "no log-in dialog";
    EXPECT_EQ(login.width, Scaled(kLoginWidth, c.scale));
    EXPECT_EQ(login.height, Scaled(kLoginHeight, c.scale));
    ASSERT_EQ(
        UiDriver({"set-text", login.hwnd, std::to_string(kTeacherIdEdit), kTeacherId}).exitCode, 0);
    e2e::Screenshot(std::string("login-dialog-") + c.name);

    // An empty ID: the message box, drawn at the same scale.
    EnterId(login.hwnd, "");
    const std::string box = WaitBox();
    ASSERT_FALSE(box.empty()) << "no message box for an empty ID";
    EXPECT_EQ(BoxText(box), kTextIdEmpty);
    e2e::Screenshot(std::string("login-message-box-") + c.name);
    ASSERT_EQ(UiDriver({"click", box, std::to_string(kOkButton)}).exitCode, 0);
    ASSERT_EQ(UiDriver({"wait-gone", "--class", kDialogClass, "--title", kBoxTitle, "--timeout",
                        std::to_string(kBoxAppearsMs)},
                       kBoxAppearsMs + 10000)
                  .exitCode,
              0);

    // Then an ID: the web server is down, so the stored relay is asked, which says
    // nothing, and the loading window stays.
    EnterId(login.hwnd, kTeacherId);
    ASSERT_TRUE(Log().WaitFor(RelayConnection(), kRelayTime)) << "no connection to the relay";
    const WindowInfo loading = WaitDialogWith(kLoadingText, kBoxAppearsMs, m_program);
    ASSERT_FALSE(loading.hwnd.empty()) << "no loading window";
    EXPECT_EQ(loading.width, Scaled(kLoadingWidth, c.scale));
    EXPECT_EQ(loading.height, Scaled(kLoadingHeight, c.scale));
    e2e::Screenshot(std::string("login-loading-") + c.name);
}

INSTANTIATE_TEST_SUITE_P(Scales, LoginScaleTest,
                         ::testing::Values(ScaleCase{"Scale10", "1.0", 1.0f},
                                           ScaleCase{"Scale14", "1.4", 1.4f}),
                         [](const ::testing::TestParamInfo<ScaleCase>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace

// The fixture of the session tests: a simulated classroom, the real program in a
// folder of its own, and the ways a test logs in, finds the panel and answers boxes.
#pragma once

#include "Classroom.h"
#include "Harness.h"
#include "ProgramIds.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace sessiontest {

using e2e::Process;
using e2e::RunResult;
using e2e::UiDriver;
using namespace e2e;  // the program's names
using namespace std::chrono_literals;

// Bounds of every wait. Wine starts a program in a few seconds; the relay's pause
// with the loading text is 3 s and the lectern PC's 2 s.
constexpr int kLoginAppearsMs = 40000;
constexpr int kBoxAppearsMs = 30000;
constexpr auto kHandshakeTime = 30s;
constexpr int kProgramEndsMs = 15000;
constexpr int kPollMs = 300;

// The program under test: the shipped build, or another build given by the
// environment (for trying a build folder of one's own).
inline std::string ProgramSourceDir() {
    const char* own = std::getenv("TAVREL_E2E_PROGRAM_DIR");
    return own != nullptr && *own != '\0' ? own : e2e::WinBinDir();
}

inline std::vector<std::string> SplitFields(const std::string& text, char separator) {
    std::vector<std::string> fields;
    std::stringstream in(text);
    std::string field;
    while (std::getline(in, field, separator)) fields.push_back(field);
    return fields;
}

inline CEventLog::Predicate Received(const std::string& role, const std::string& code) {
    return [role, code](const SimEvent& e) {
        return e.kind == "recv" && e.Text("role") == role && e.Text("code") == code;
    };
}

// Waits until `holds` is true, looking again every kPollMs; false after the limit.
// For states of the program's windows and files: they live in another process, which
// sends no notice the test could wait on, so looking again is the only way.
inline bool PollUntil(const std::function<bool()>& holds,
                      std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!holds()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
    }
    return true;
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
        options.withMedia = m_bWithMedia;
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
        fs::copy_file(
            (m_programDir.empty() ? ProgramSourceDir() : m_programDir) + "/" + kProgramName,
            m_folder + "/" + kProgramName);
        std::ofstream config(m_folder + "/config.ini", std::ios::binary);
        // HTTPS goes to a port where nothing listens, so the log-in falls back to HTTP.
        config << "[default]\r\nloginhttps=https://127.0.0.1:1\r\nloginhttp=http://127.0.0.1:"
               << m_classroom->HttpPort() << "\r\n"
               << m_extraConfig;
        config.close();
        e2e::DeleteProfileValue("language");
        ASSERT_TRUE(
            e2e::StartWine(m_program, {m_folder + "/" + kProgramName}, m_folder, m_programEnv));
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
        return e2e::WaitBox(caption, timeoutMs);
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
    bool WaitChecked(const std::string& panel, int id, bool expected, int timeoutMs = 20000) {
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
    bool m_bWithMedia = false;  // the lectern PC streams frames on remote control
    // Another build of the program (the test build's folder), and more environment.
    std::string m_programDir;
    std::map<std::string, std::string> m_programEnv;
};

}  // namespace sessiontest

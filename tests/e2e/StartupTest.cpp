// The real program under Wine: its window, one instance per computer, the language
// module and the crash handler.
#include "Harness.h"
#include "ProgramIds.h"

#include <gtest/gtest.h>

#include <fstream>
#include <unistd.h>

namespace {

using e2e::Process;
using e2e::RunResult;
using e2e::UiDriver;

using namespace e2e;  // the program's names

constexpr int kVkEscape = 0x1B;
constexpr int kStartTimeoutMs = 30000;

std::string Program(const std::string& dir) { return dir + "/" + kProgramName; }

class StartupTest : public ::testing::Test {
  protected:
    void SetUp() override { e2e::DeleteProfileValue("language"); }
    void TearDown() override {
        if (HasFailure())
            e2e::Screenshot(std::string("failed-") +
                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        e2e::DeleteProfileValue("language");
    }

    // Starts the program and returns the handle (as text) of the first thing it shows:
    // the log-in dialog. The panel itself stays hidden until a session is up.
    std::string StartAndWait(Process& process, const std::string& dir = e2e::WinBinDir(),
                             const std::map<std::string, std::string>& env = {}) {
        EXPECT_TRUE(e2e::StartWine(process, {Program(dir)}, e2e::WinBinDir(), env));
        RunResult found = UiDriver(
            {"wait", "--class", kDialogClass, "--timeout", std::to_string(kStartTimeoutMs)});
        EXPECT_EQ(found.exitCode, 0) << "the log-in dialog did not appear";
        return found.out;
    }

    // Cancelling the log-in ends the program.
    void CancelLogin(Process& process, const std::string& hwnd) {
        ASSERT_EQ(UiDriver({"key", hwnd, std::to_string(kVkEscape)}).exitCode, 0);
        EXPECT_TRUE(process.Wait(15000)) << "cancelling the log-in did not end the program";
        EXPECT_EQ(process.ExitCode(), 0);
    }

    // The number of top-level windows of the class; -1 when the listing itself failed.
    int CountWindows(const char* windowClass) {
        RunResult list = UiDriver({"list", "--class", windowClass});
        if (list.exitCode != 0) return -1;
        int lines = 0;
        for (char c : list.out) lines += c == '\n';
        return list.out.empty() ? 0 : lines + 1;
    }
};

TEST_F(StartupTest, SecondStartEndsAtOnceAndAFreshStartWorksAfterward) {
    Process first;
    std::string hwnd = StartAndWait(first);
    ASSERT_FALSE(hwnd.empty());
    e2e::Screenshot("startup-login");

    RunResult second = e2e::RunWine({Program(e2e::WinBinDir())}, e2e::WinBinDir(), 20000);
    EXPECT_FALSE(second.timedOut) << "the second instance did not end by itself";
    EXPECT_EQ(second.exitCode, 0);
    EXPECT_EQ(CountWindows(kDialogClass), 1) << "the second instance showed a window";
    EXPECT_EQ(CountWindows(kMainClass), 0) << "a panel showed before any session";
    EXPECT_TRUE(first.Running()) << "the first instance was disturbed";

    CancelLogin(first, hwnd);

    Process third;
    std::string again = StartAndWait(third);
    ASSERT_FALSE(again.empty()) << "no start after both instances ended";
    CancelLogin(third, again);
}

struct LanguageCase {
    const char* code;
    const char* idLabel;  // the log-in dialog's label of the teacher ID
    const char* aboutCaption;
};

class LanguageTest : public StartupTest, public ::testing::WithParamInterface<LanguageCase> {};

TEST_P(LanguageTest, TextsComeFromTheChosenModule) {
    const LanguageCase& c = GetParam();
    e2e::SetProfileText("language", c.code);
    Process program;
    std::string login = StartAndWait(program);
    ASSERT_FALSE(login.empty());
    EXPECT_EQ(UiDriver({"text", login, std::to_string(kLoginIdLabel)}).out, c.idLabel);

    // The about box belongs to the (still hidden) main dialog's system menu.
    RunResult main = UiDriver({"wait", "--class", kMainClass, "--all"});
    ASSERT_EQ(main.exitCode, 0) << "no main dialog";
    ASSERT_EQ(UiDriver({"syscommand", main.out, std::to_string(kAboutCommand)}).exitCode, 0);
    RunResult about = UiDriver({"wait", "--class", kDialogClass, "--title", c.aboutCaption});
    EXPECT_EQ(about.exitCode, 0) << "no about box titled " << c.aboutCaption;
    e2e::Screenshot(std::string("about-") + c.code);
    if (about.exitCode == 0) {
        UiDriver({"key", about.out, std::to_string(kVkEscape)});
        EXPECT_EQ(
            UiDriver({"wait-gone", "--class", kDialogClass, "--title", c.aboutCaption}).exitCode,
            0);
    }
    CancelLogin(program, login);
}

INSTANTIATE_TEST_SUITE_P(Modules, LanguageTest,
                         ::testing::Values(LanguageCase{"Eng", "Teacher ID", "About Tavrel"},
                                           // Not "Kor": a module Vantor Tavrelkor.dll is looked for
                                           // and, missing, the built-in Korean texts are used.
                                           LanguageCase{"kor", "선생님 ID", "Tavrel 정보"},
                                           LanguageCase{"Kor", "선생님 ID", "Tavrel 정보"}),
                         [](const ::testing::TestParamInfo<LanguageCase>& info) {
                             return std::string(info.param.code);
                         });

struct CrashCase {
    const char* code;
    const char* firstLine;
};

class CrashTest : public StartupTest, public ::testing::WithParamInterface<CrashCase> {};

TEST_P(CrashTest, WritesTheDumpShowsTheMessageAndEnds) {
    const CrashCase& c = GetParam();
    e2e::SetProfileText("language", c.code);
    const std::string dump = e2e::WinCrashTestDir() + "/TavrelDump.dmp";
    unlink(dump.c_str());

    Process program;
    ASSERT_TRUE(e2e::StartWine(program, {Program(e2e::WinCrashTestDir())}, e2e::WinBinDir(),
                               {{"TAVREL_TEST_CRASH", "1"}}));
    RunResult box = UiDriver({"wait", "--class", kDialogClass, "--title", kBoxTitle, "--timeout",
                              std::to_string(kStartTimeoutMs)});
    ASSERT_EQ(box.exitCode, 0) << "no crash message";
    RunResult text = UiDriver({"message-text", box.out});
    EXPECT_EQ(text.out.substr(0, text.out.find('\n')), c.firstLine);
    e2e::Screenshot(std::string("crash-") + c.code);

    std::ifstream file(dump, std::ios::binary);
    char signature[4] = {};
    file.read(signature, 4);
    EXPECT_EQ(std::string(signature, 4), "MDMP") << "no minidump next to the executable";

    UiDriver({"click", box.out, "1"});
    EXPECT_TRUE(program.Wait(15000)) << "the process did not end after the message";
    EXPECT_EQ(program.ExitCode(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Languages, CrashTest,
    ::testing::Values(CrashCase{"Eng", "Vantor Tavrel ended unexpectedly."},
                      CrashCase{"kor", "Vantor Tavrel이 예기치 않게 종료되었습니다."}),
    [](const ::testing::TestParamInfo<CrashCase>& info) { return std::string(info.param.code); });

}  // namespace

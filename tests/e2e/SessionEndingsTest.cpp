// The real program ending a session, once for each message the teacher can see: a
// silent or vanished relay server or lectern PC, an end notice, a malformed address, a
// refusal and the exit question. The timing and every other way to each message are
// tested natively against the session core with a fake clock.
#if !defined(TAVREL_HAVE_CLASSROOM_SIM)
#error "the end-to-end tests need tools/classroom-sim"
#endif

#include "SessionFixture.h"

using namespace sessiontest;

namespace {

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

// A relay server that takes the identification and then hangs up would leave an
// invisible program waiting for ever: it ends with the relay's message.
TEST_F(SessionTest, RelayHangingUpAfterTheIdentificationEndsTheProgram) {
    ClassroomOptions options;
    options.relay.mode = RelayMode::kHangUpAfterIdentity;
    StartClassroom(options);
    StartProgram();
    LogIn();
    ASSERT_TRUE(Log().WaitFor(CEventLog::KindWith("identity", "role", "relay"), kHandshakeTime))
        << "the relay server got no identification";
    ExpectFatalMessage(kTextRelayUnreachable);
    EXPECT_FALSE(Log().WaitFor(CEventLog::KindWith("conn_open", "role", "lectern"), 0s))
        << "the pad went on to a lectern PC nobody named";
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
    EXPECT_EQ(UiDriver({"wait", "--class", kMainClass, "--timeout", "10000"}).exitCode, 0)
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

// A relay server that refuses and hangs up at once, then serves the second try: the
// teacher reads the refusal, logs in again and the session comes up on the new
// connection (the old connection's close must not take the new one with it).
TEST_F(SessionTest, AfterARefusalAndHangUpTheSecondLogInReachesTheLectern) {
    ClassroomOptions options;
    options.relay.mode = RelayMode::kRefuse;
    options.relay.refusedConnections = 1;
    options.relay.hangUpAfterRefusal = true;
    StartClassroom(options);
    StartProgram();
    LogIn();
    const std::string box = WaitBox();
    ASSERT_FALSE(box.empty()) << "the refusal showed nothing";
    EXPECT_EQ(BoxText(box), "일치하는 선생님 정보를 찾을 수 없습니다.");
    Press(box, kOkButton);

    LogIn();
    const std::string panel = WaitSessionUp();
    ASSERT_FALSE(panel.empty());
    EXPECT_EQ(Log().Count(CEventLog::KindWith("identity", "role", "relay")), 1u)
        << "the refused connection was identified, or the second was not";
    AnswerExitQuestion(panel, kYesButton);
    EXPECT_TRUE(m_program.Wait(kProgramEndsMs));
}

}  // namespace

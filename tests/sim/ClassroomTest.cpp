#include <gtest/gtest.h>

#include <httplib.h>

#include "Classroom.h"
#include "TextConvert.h"
#include "protocol/Crypt.h"
#include "PadClient.h"
#include "protocol/PeerContract.h"
#include "protocol/TextCommand.h"

namespace {

// The pad's whole way in: relay, identification, the lectern PC it points at, greeting.
// Started and stopped several times to show that a classroom ends cleanly.
TEST(Classroom, PadReachesTheLecternThroughTheRelay) {
    for (int round = 0; round < 3; ++round) {
        ClassroomOptions o;
        o.relay.expectedTeacherId = u"t-7";
        o.relay.noise = true;
        o.lectern.heartbeatMs = 0;
        CClassroom classroom(o);
        ASSERT_TRUE(classroom.Start());
        ASSERT_NE(classroom.RelayPort(), classroom.LecternPort());
        CPadClient relay(classroom.RelayPort());
        ASSERT_TRUE(relay.ReadCommand(kCmdRelayIdentify, kLongWait).has_value());
        ASSERT_TRUE(relay.Send(std::u16string(kCmdPadIdentity) + u"3,t-7,10.0.0.2," +
                               DecimalText(relay.LocalPort()) +
                               u",3.0.1.1004,1,Reserved,Reserved"));
        auto address = relay.ReadCommand(kCmdRelayPeerAddress, kLongWait);
        ASSERT_TRUE(address.has_value());
        auto fields = ListArguments(*address);
        ASSERT_EQ(fields.size(), 7u);
        relay.Close();
        CPadClient lectern(uint16_t(DecimalPrefix(fields[5])));
        ASSERT_TRUE(lectern.Connected());
        ASSERT_TRUE(lectern.ReadCommand(kCmdPeerGreeting, kLongWait).has_value());
        auto identity = classroom.Log().WaitFor(CEventLog::Kind("identity"), kLongWait);
        ASSERT_TRUE(identity.has_value());
        EXPECT_EQ(identity->Text("ok"), "true") << identity->Text("problems");
        // A pad left connected must not keep the classroom from stopping.
        ASSERT_TRUE(lectern.Send(std::u16string(kCmdRemoteStart)));
        ASSERT_TRUE(lectern.ReadType(kPacketFrame, kLongWait).has_value());
        classroom.Stop();
        EXPECT_TRUE(lectern.ReadUntilClosed(kLongWait));
    }
}

TEST(Classroom, BusyPortIsReportedNotHidden) {
    CClassroom first{ClassroomOptions()};
    ASSERT_TRUE(first.Start());
    ClassroomOptions o;
    o.lectern.port = first.LecternPort();
    CClassroom second(o);
    EXPECT_FALSE(second.Start());
}

}  // namespace

namespace {

// The login page of a classroom names that classroom's relay server.
TEST(Classroom, LoginPagePointsAtItsOwnRelay) {
    ClassroomOptions o;
    o.withWeb = true;
    o.web.https = false;
    CClassroom classroom(o);
    ASSERT_TRUE(classroom.Start());
    ASSERT_NE(classroom.HttpPort(), 0);
    const std::string val1 = "12345", val3 = "t-7";
    std::string plain = val1 + "." + val3;
    std::u16string digest;
    ASSERT_EQ(Md5Hex(reinterpret_cast<const uint8_t*>(plain.data()), plain.size(), digest), 1);
    httplib::Client client("127.0.0.1", classroom.HttpPort());
    auto reply = client.Get("/vantor/rsinfo/checkRsInfo.jsp?val1=" + val1 +
                            "&val2=" + ToUtf8(digest) + "&val3=" + val3);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->status, 200);
    EXPECT_NE(reply->body.find("result:true"), std::string::npos) << reply->body;
    EXPECT_NE(reply->body.find("rsport:" + std::to_string(classroom.RelayPort())),
              std::string::npos)
        << reply->body;
}

}  // namespace

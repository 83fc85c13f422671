#include <gtest/gtest.h>

#include "PadClient.h"
#include "RelayServer.h"
#include "TextConvert.h"
#include "protocol/PeerContract.h"
#include "protocol/TextCommand.h"

namespace {

constexpr uint16_t kLecternPort = 45678;

std::u16string Identity(uint16_t port, const std::u16string& teacher = u"t-100") {
    return u"3," + teacher + u",192.168.0.17," + DecimalText(port) +
           u",3.0.1.1004,1,Reserved,Reserved";
}

TEST(RelayIdentity, EveryFieldIsChecked) {
    constexpr uint16_t kPort = 50123;
    struct Case {
        std::u16string args;
        std::u16string expectedTeacher;
        bool ok;
    } cases[] = {
        {Identity(kPort), u"", true},
        {Identity(kPort), u"t-100", true},
        {Identity(kPort), u"t-200", false},
        {Identity(kPort, u""), u"", false},  // the empty ID is skipped: 7 fields
        {u"2,t-100,192.168.0.17,50123,3.0.1.1004,1,Reserved,Reserved", u"", false},
        {u"3,t-100,192.168.0,50123,3.0.1.1004,1,Reserved,Reserved", u"", false},
        {u"3,t-100,192.168.0.300,50123,3.0.1.1004,1,Reserved,Reserved", u"", false},
        {u"3,t-100,192.168.0.17,50124,3.0.1.1004,1,Reserved,Reserved", u"", false},
        {u"3,t-100,192.168.0.17,50123,2.0.1.1004,1,Reserved,Reserved", u"", false},
        {u"3,t-100,192.168.0.17,50123,3.0.1.1004,0,Reserved,Reserved", u"", false},
        {u"3,t-100,192.168.0.17,50123,3.0.1.1004,1,Reserved,reserved", u"", false},
        {u"3,t-100,192.168.0.17,50123,3.0.1.1004,1,Reserved", u"", false},
    };
    for (const Case& c : cases) {
        IdentityCheck r = CheckIdentity(c.args, kPort, c.expectedTeacher);
        EXPECT_EQ(r.ok, c.ok) << ToUtf8(c.args);
        EXPECT_EQ(r.problems.empty(), c.ok) << ToUtf8(c.args);
    }
}

struct RelayFixture : ::testing::Test {
    CEventLog log;
    std::unique_ptr<CRelayServer> relay;

    void Start(RelayOptions o) {
        o.lecternPort = kLecternPort;
        relay = std::make_unique<CRelayServer>(o, log);
        ASSERT_TRUE(relay->Start());
        ASSERT_NE(relay->Port(), 0);
    }
};

TEST_F(RelayFixture, FullHandshakePointsAtTheLectern) {
    RelayOptions o;
    o.expectedTeacherId = u"t-100";
    Start(o);
    CPadClient pad(relay->Port());
    ASSERT_TRUE(pad.Connected());
    auto identify = pad.ReadCommand(kCmdRelayIdentify, kLongWait);
    ASSERT_TRUE(identify.has_value());
    auto fields = TokenizeArguments(*identify);
    ASSERT_EQ(fields.size(), 2u);
    EXPECT_EQ(fields[0], u"0");
    ASSERT_TRUE(pad.Send(kCmdPadIdentity + Identity(pad.LocalPort())));
    auto address = pad.ReadCommand(kCmdRelayPeerAddress, kLongWait);
    ASSERT_TRUE(address.has_value());
    auto listed = ListArguments(*address);
    ASSERT_EQ(listed.size(), 7u);
    EXPECT_EQ(listed[4], u"127.0.0.1");
    EXPECT_EQ(listed[5], DecimalText(kLecternPort));
    auto check = log.WaitFor(CEventLog::Kind("identity"), kLongWait);
    ASSERT_TRUE(check.has_value());
    EXPECT_EQ(check->Text("ok"), "true") << check->Text("problems");
}

TEST_F(RelayFixture, BadIdentityIsReportedInTheLog) {
    Start(RelayOptions());
    CPadClient pad(relay->Port());
    ASSERT_TRUE(pad.ReadCommand(kCmdRelayIdentify, kLongWait).has_value());
    ASSERT_TRUE(pad.Send(kCmdPadIdentity + Identity(uint16_t(pad.LocalPort() + 1))));
    auto check = log.WaitFor(CEventLog::Kind("identity"), kLongWait);
    ASSERT_TRUE(check.has_value());
    EXPECT_EQ(check->Text("ok"), "false");
    EXPECT_NE(check->Text("problems").find("local port"), std::string::npos);
}

// What a pad sees from the relay in each mode: the fields of "[UR00001]" and of what
// answers its identification ("" = no answer).
TEST_F(RelayFixture, ModesAndFieldCounts) {
    struct Case {
        const char* name;
        RelayMode mode;
        int identifyFields;
        int addressFields;
        bool quote;
        std::u16string status;      // first field of "[UR00001]"
        std::u16string answerCode;  // what answers "[US00001]", "" for nothing
        size_t answerFields;
    } cases[] = {
        {"normal", RelayMode::kNormal, 2, 7, false, u"0", kCmdRelayPeerAddress, 7},
        {"six identify fields", RelayMode::kNormal, 6, 7, false, u"0", kCmdRelayPeerAddress, 7},
        {"three identify fields", RelayMode::kNormal, 3, 7, false, u"0", kCmdRelayPeerAddress, 7},
        {"six address fields", RelayMode::kNormal, 2, 6, false, u"0", kCmdRelayPeerAddress, 6},
        {"eight address fields", RelayMode::kNormal, 2, 8, false, u"0", kCmdRelayPeerAddress, 8},
        {"quoted", RelayMode::kNormal, 2, 7, true, u"0", kCmdRelayPeerAddress, 7},
        {"refuse", RelayMode::kRefuse, 2, 7, false, u"1", u"", 0},
        {"end", RelayMode::kEndSession, 2, 7, false, u"0", kCmdRelayEnd, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RelayOptions o;
        o.mode = c.mode;
        o.identifyFieldCount = c.identifyFields;
        o.addressFieldCount = c.addressFields;
        o.quoteAddressFields = c.quote;
        Start(o);
        CPadClient pad(relay->Port());
        auto identify = pad.ReadCommand(kCmdRelayIdentify, kLongWait);
        ASSERT_TRUE(identify.has_value());
        auto fields = TokenizeArguments(*identify);
        ASSERT_EQ(fields.size(), size_t(c.identifyFields));
        EXPECT_EQ(fields[0], c.status);
        if (c.mode == RelayMode::kRefuse) {
            EXPECT_EQ(fields[1], u"일치하는 선생님 정보를 찾을 수 없습니다.");
        }
        ASSERT_TRUE(pad.Send(kCmdPadIdentity + Identity(pad.LocalPort())));
        if (c.answerCode.empty()) {
            EXPECT_TRUE(pad.StaysSilent(kQuietPeriod));
        } else {
            CPacket p;
            ASSERT_EQ(pad.Read(p, kLongWait), CPadClient::ReadResult::kPacket);
            std::u16string code, args;
            ASSERT_TRUE(SplitCommand(p.m_strText, code, args));
            EXPECT_EQ(code, c.answerCode);
            EXPECT_EQ(ListArguments(args).size(), c.answerFields);
            EXPECT_EQ(args.find(u'"') != std::u16string::npos, c.quote);
        }
        relay->Stop();
    }
}

TEST_F(RelayFixture, SilentRelayNeverSpeaks) {
    RelayOptions o;
    o.mode = RelayMode::kSilent;
    Start(o);
    CPadClient pad(relay->Port());
    ASSERT_TRUE(pad.Connected());
    EXPECT_TRUE(pad.StaysSilent(kQuietPeriod));
    ASSERT_TRUE(pad.Send(kCmdPadIdentity + Identity(pad.LocalPort())));
    EXPECT_TRUE(pad.StaysSilent(kQuietPeriod));
}

TEST_F(RelayFixture, NoiseSurroundsEveryCommand) {
    RelayOptions o;
    o.noise = true;
    Start(o);
    CPadClient pad(relay->Port());
    std::vector<std::u16string> codes;
    auto readCode = [&] {
        CPacket p;
        if (pad.Read(p, kLongWait) != CPadClient::ReadResult::kPacket) return;
        codes.push_back(p.m_strText.substr(0, kCommandCodeLength));
    };
    for (int i = 0; i < 3; ++i) readCode();
    ASSERT_TRUE(pad.Send(kCmdPadIdentity + Identity(pad.LocalPort())));
    for (int i = 0; i < 3; ++i) readCode();
    std::vector<std::u16string> expected{kCmdRelayIgnoredP0002,   kCmdRelayIgnoredUdpInfo,
                                         kCmdRelayIdentify,       kCmdRelayIgnoredP0002,
                                         kCmdRelayIgnoredUdpInfo, kCmdRelayPeerAddress};
    EXPECT_EQ(codes, expected);
}

}  // namespace

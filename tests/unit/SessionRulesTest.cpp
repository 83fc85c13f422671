#include <gtest/gtest.h>

#include <string>

#include "panel/PeerReports.h"
#include "panel/SessionRules.h"

namespace {

const RelayMessageTexts kEnglish{u"Lookup error.", u"No such teacher.", u"Wrong kind.",
                                 u"No %s running.\nCheck the teacher ID."};

TEST(SessionRulesTest, IdentifyRequestFieldCounts) {
    const struct {
        std::u16string arguments;
        bool wellFormed;
        bool accepted;
        std::u16string message;
    } cases[] = {
        {u"0,ok", true, true, u"ok"},
        {u"0,,ok", true, true, u"ok"},  // an empty field is skipped
        {u",0,ok,", true, true, u"ok"},
        {u"0,ok,a,b,c,d", true, true, u"ok"},
        {u"1,refused,a,,b,c,d", true, false, u"refused"},
        {u"0,ok,a,b,c", false, false, u""},      // 5 fields
        {u"0,ok,a", false, false, u""},          // 3 fields
        {u"0,ok,a,b,c,d,e", false, false, u""},  // 7 fields
        {u"0", false, false, u""},
        {u"", false, false, u""},
        {u"00,ok", true, false, u"ok"},  // the status is compared as text
        {u" 0,ok", true, false, u"ok"},
        {u"\"0\",ok", true, false, u"ok"},  // quotes are not removed here
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.arguments.begin(), c.arguments.end()));
        const IdentifyRequest request = ParseIdentifyRequest(c.arguments);
        EXPECT_EQ(request.wellFormed, c.wellFormed);
        EXPECT_EQ(request.accepted, c.accepted);
        EXPECT_EQ(request.message, c.message);
    }
}

TEST(SessionRulesTest, LecternAddressNeedsSevenListedFields) {
    const struct {
        std::u16string arguments;
        bool wellFormed;
        std::u16string address;
        std::u16string port;
    } cases[] = {
        {u"a,b,c,d,10.0.0.7,7000,g", true, u"10.0.0.7", u"7000"},
        {u"\"a\",\"b\",\"c\",\"d\",\"10.0.0.7\",\"7000\",\"g\"", true, u"10.0.0.7", u"7000"},
        {u"a,,b,c,d,10.0.0.7,7000,g", true, u"10.0.0.7", u"7000"},
        {u"a,b,c,d,\"\",10.0.0.7,7000,g", true, u"10.0.0.7", u"7000"},  // "" is empty too
        {u"a,b,c,d,10.0.0.7,7000", false, u"", u""},
        {u"a,b,c,d,10.0.0.7,7000,g,h", false, u"", u""},
        {u"", false, u"", u""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.arguments.begin(), c.arguments.end()));
        const LecternAddress address = ParseLecternAddress(c.arguments);
        EXPECT_EQ(address.wellFormed, c.wellFormed);
        EXPECT_EQ(address.address, c.address);
        EXPECT_EQ(address.port, c.port);
    }
}

TEST(SessionRulesTest, SessionEndNoticeNeedsTwoFields) {
    EXPECT_TRUE(ParseSessionEndNotice(u"1,Class is over").wellFormed);
    EXPECT_EQ(ParseSessionEndNotice(u"1,\"Class is over\"").message, u"Class is over");
    EXPECT_EQ(ParseSessionEndNotice(u",1,,bye,").message, u"bye");
    EXPECT_FALSE(ParseSessionEndNotice(u"bye").wellFormed);
    EXPECT_FALSE(ParseSessionEndNotice(u"1,Class, is over").wellFormed);
    EXPECT_FALSE(ParseSessionEndNotice(u"").wellFormed);
}

TEST(SessionRulesTest, IdentificationText) {
    EXPECT_EQ(BuildIdentification(u"teacher01", u"192.168.0.23", u"50123"),
              u"[US00001]3,teacher01,192.168.0.23,50123,3.0.1.1004,1,Reserved,Reserved");
    // An empty address still keeps every field in its place.
    EXPECT_EQ(BuildIdentification(u"t", u"", u"1"),
              u"[US00001]3,t,,1,3.0.1.1004,1,Reserved,Reserved");
}

TEST(SessionRulesTest, PortNumbers) {
    const struct {
        std::u16string text;
        uint16_t port;
    } cases[] = {{u"10240", 10240}, {u"65535", 65535},  {u"65536", 0}, {u"0", 0},
                 {u"", 0},          {u"abc", 0},        {u"-80", 0},   {u"8080 ", 8080},
                 {u"1", 1},         {u"99999999999", 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.text.begin(), c.text.end()));
        EXPECT_EQ(PortNumber(c.text), c.port);
    }
}

TEST(SessionRulesTest, RelayMessageMapping) {
    const std::u16string notRunning =
        u"실행중인 Vantor Teacher가 없습니다.\n선생님 ID를 확인해주세요.";
    const struct {
        std::u16string received;
        std::u16string language;
        std::u16string shown;
    } cases[] = {
        {u"로그인 정보를 찾는 동안 오류가 발생했습니다.", u"Kor",
         u"로그인 정보를 찾는 동안 오류가 발생했습니다."},
        {u"로그인 정보를 찾는 동안 오류가 발생했습니다.", u"Eng", u"Lookup error."},
        {u"일치하는 선생님 정보를 찾을 수 없습니다.", u"Eng", u"No such teacher."},
        {u"로그인 서버와 Vantor 종류가 다릅니다.\n프로그램을 확인해 주세요.", u"Eng",
         u"Wrong kind."},
        {notRunning, u"Eng", u"No Vantor Teacher running.\nCheck the teacher ID."},
        {notRunning, u"Kor", notRunning},
        {u"Vantor Teacher가 없습니다.\n선생님 ID를 확인해주세요.", u"Eng",
         u"No Vantor Teacher running.\nCheck the teacher ID."},
        // The tail alone, at the very start, names no program: shown as received.
        {u"가 없습니다.\n선생님 ID를 확인해주세요.", u"Eng",
         u"가 없습니다.\n선생님 ID를 확인해주세요."},
        {u"X가 없습니다.\n선생님 ID를 확인해주세요.", u"Eng",
         u"No X running.\nCheck the teacher ID."},
        // "kor" is a language module's code, not the built-in Korean.
        {u"일치하는 선생님 정보를 찾을 수 없습니다.", u"kor", u"No such teacher."},
        {u"Something else", u"Eng", u"Something else"},
        {u"로그인 정보를 찾는 동안 오류가 발생했습니다. ", u"Eng",
         u"로그인 정보를 찾는 동안 오류가 발생했습니다. "},  // compared exactly
        {u"", u"Eng", u""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MapRelayMessage(c.received, c.language, kEnglish), c.shown);
    }
}

TEST(SessionRulesTest, InsertTextReplacesOnlyTheFirstPlaceholder) {
    EXPECT_EQ(InsertText(u"a %s b", u"X"), u"a X b");
    EXPECT_EQ(InsertText(u"%s %s %d", u"%s"), u"%s %s %d");
    EXPECT_EQ(InsertText(u"none", u"X"), u"none");
    EXPECT_EQ(InsertText(u"", u"X"), u"");
}

TEST(SessionRulesTest, SilenceLimit) {
    const long long last = 1700000000;
    EXPECT_FALSE(SilenceExceeded(last, last));
    EXPECT_FALSE(SilenceExceeded(last + 40, last));
    EXPECT_TRUE(SilenceExceeded(last + 41, last));
    EXPECT_FALSE(SilenceExceeded(last - 100, last));  // clock set back
    EXPECT_FALSE(SilenceExceeded(last, 0));           // nothing heard of yet
}

TEST(SessionRulesTest, VersionGates) {
    const struct {
        std::u16string version;
        bool reportsStates;
        bool monitorSelection;
    } cases[] = {
        {u"0", false, false},
        {u"2.0.1.1026", false, false},
        {u"2.0.1.1027", false, false},
        {u"2.0.1.1028", true, false},
        {u"2.0.1.1067", true, false},
        {u"2.0.1.1068", true, true},
        {u"3.0.1.1004", true, true},
        {u"10.0.0.1", false, false},  // compared as text: "1" sorts
                                      // before "2"
        {u"2.0.1.999", true, true},   // and "9" after "1"
        {u"", false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.version.begin(), c.version.end()));
        EXPECT_EQ(PeerReportsStates(c.version), c.reportsStates);
        EXPECT_EQ(PeerHasMonitorSelection(c.version), c.monitorSelection);
    }
}

TEST(PeerReportsTest, ScreenAndTileSizes) {
    EXPECT_TRUE(ParseScreenSize(u"1920,1080").valid);
    EXPECT_EQ(ParseScreenSize(u"1920,1080").height, 1080);
    EXPECT_EQ(ParseScreenSize(u",1920,,1080,").width, 1920);
    EXPECT_FALSE(ParseScreenSize(u"1920,1080,32").valid);  // exactly two
    EXPECT_FALSE(ParseScreenSize(u"1920").valid);
    EXPECT_EQ(ParseScreenSize(u"\"1920\",1080").width, 0);  // no quote removal: reads 0

    EXPECT_TRUE(ParseTileSize(u"\"256\",\"128\",x").valid);
    EXPECT_EQ(ParseTileSize(u"\"256\",\"128\",x").height, 128);
    EXPECT_FALSE(ParseTileSize(u"256").valid);
}

TEST(PeerReportsTest, MonitorsAndOrigin) {
    MonitorsReport two = ParseMonitors(u"2,1,0,0,1920,1080");
    ASSERT_TRUE(two.valid);
    EXPECT_EQ(two.count, 2);
    EXPECT_EQ(two.selected, 1);
    EXPECT_EQ(two.right, 1920);
    EXPECT_TRUE(two.HasArea());
    EXPECT_TRUE(ParseMonitors(u"\"2\",\"2\",\"-1280\",\"0\",\"0\",\"1024\",extra").HasArea());
    EXPECT_FALSE(ParseMonitors(u"1,1,0,0,0,1080").HasArea());
    EXPECT_FALSE(ParseMonitors(u"1,1,0,0,1920,-5").HasArea());
    EXPECT_TRUE(ParseMonitors(u"1,1,-2147483648,0,2147483647,10").HasArea());  // no overflow
    EXPECT_FALSE(ParseMonitors(u"1,1,2147483647,0,-2147483648,10").HasArea());
    EXPECT_FALSE(ParseMonitors(u"2,1,0,0,1920").valid);

    OriginReport origin = ParseOrigin(u"0,-1280,-200,3200,1080");
    ASSERT_TRUE(origin.valid);
    EXPECT_EQ(origin.x, -1280);
    EXPECT_EQ(origin.y, -200);
    EXPECT_FALSE(ParseOrigin(u"0,-1280,-200,3200").valid);
}

TEST(PeerReportsTest, StatesAreOnOnlyForOne) {
    EXPECT_TRUE(StateReportIsOn(u"1"));
    EXPECT_FALSE(StateReportIsOn(u"0"));
    EXPECT_FALSE(StateReportIsOn(u"2"));
    EXPECT_FALSE(StateReportIsOn(u""));
    EXPECT_FALSE(StateReportIsOn(u"on"));
    EXPECT_EQ(ParseAcknowledgedFrame(u"42"), 42);
}

}  // namespace

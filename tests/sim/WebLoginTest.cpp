// The login web server from outside: a plain client sends what the pad sends and the
// replies are compared byte for byte (Korean texts in code page 949).
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "EventLog.h"
#include "WebTestClient.h"
#include "protocol/Md5.h"
#include "web/HttpServer.h"
#include "web/LoginWebServer.h"

namespace {

constexpr int kRelayPort = 4567;
const std::string kInvalidAccess949 =
    "\xc0\xdf\xb8\xf8\xb5\xc8\x20\xc1\xa2\xb1\xd9\xc0\xd4\xb4\xcf\xb4\xd9\x2e";
const std::string kInvalidId949 =
    "\xc0\xaf\xc8\xbf\xc7\xcf\xc1\xf6\xbe\xca\xc0\xba\x20\x20\xbc\xb1\xbb\xfd\xb4\xd4\x20\x49\x44"
    "\x20\xc0\xd4\xb4\xcf\xb4\xd9\x2e";
const std::string kPreparing949 =
    "\xbc\xf6\xbe\xf7\x20\xc1\xd8\xba\xf1\x20\xc1\xdf\xc0\xd4\xb4\xcf\xb4\xd9\x2e";
const std::string kKoreanIdUtf8 = "김선생";
const std::string kKoreanId949 = "\xb1\xe8\xbc\xb1\xbb\xfd";
const std::string kKoreanIdEncoded = "%ea%b9%80%ec%84%a0%ec%83%9d";  // as the pad sends it

std::string Hex(const std::string& bytes) {
    const Md5Digest d = Md5(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    std::string out;
    char two[3];
    for (uint8_t b : d) {
        std::snprintf(two, sizeof(two), "%02x", b);
        out += two;
    }
    return out;
}

std::string Target(const std::string& val1, const std::string& val2, const std::string& val3) {
    return std::string(CLoginWebServer::kPath) + "?val1=" + val1 + "&val2=" + val2 +
           "&val3=" + val3;
}

std::string Accepted(const char* separator) {
    return std::string("result:true") + separator + "code:0" + separator + "message:success" +
           separator + "rsip:127.0.0.1" + separator + "rsport:" + std::to_string(kRelayPort);
}

class WebLoginTest : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        s_certDir = testing::TempDir() + "/sim-cert-login-" + std::to_string(::getpid());
        ASSERT_TRUE(MakeTestCertificate(s_certDir));
    }

    void SetUp() override {
        CWebHostOptions options;
        options.certFile = s_certDir + "/cert.pem";
        options.keyFile = s_certDir + "/key.pem";
        ASSERT_TRUE(m_host.Start(options)) << m_host.LastError();
        m_login.SetRelayEndpoint("127.0.0.1", kRelayPort);
    }

    int Port(bool secure) const { return secure ? m_host.HttpsPort() : m_host.HttpPort(); }
    std::string GoodTarget() const { return Target("1234", Hex("1234.teacher01"), "teacher01"); }

    static std::string s_certDir;
    CEventLog m_log;
    CWebHost m_host;
    CLoginWebServer m_login{m_host, &m_log};
};

std::string WebLoginTest::s_certDir;

}  // namespace

TEST_F(WebLoginTest, DigestDecidesOverBothSchemes) {
    const struct {
        const char* name;
        std::string target;
        std::string body;
        bool valid;
    } cases[] = {
        {"right digest", Target("1234", Hex("1234.teacher01"), "teacher01"), Accepted("\n"), true},
        {"negative tick count", Target("-5000", Hex("-5000.teacher01"), "teacher01"),
         Accepted("\n"), true},
        {"wrong digest", Target("1234", Hex("1235.teacher01"), "teacher01"),
         "result:false\ncode:1\nmessage:" + kInvalidAccess949, false},
        {"upper-case digest", Target("7", "E" + Hex("7.teacher01").substr(1), "teacher01"),
         "result:false\ncode:1\nmessage:" + kInvalidAccess949, false},
        {"Korean ID hashed in code page 949",
         Target("99", Hex("99." + kKoreanId949), kKoreanIdEncoded), Accepted("\n"), true},
        {"Korean ID hashed in UTF-8", Target("99", Hex("99." + kKoreanIdUtf8), kKoreanIdEncoded),
         "result:false\ncode:1\nmessage:" + kInvalidAccess949, false},
        {"no fields", CLoginWebServer::kPath, "result:false\ncode:1\nmessage:" + kInvalidAccess949,
         false},
    };
    for (bool secure : {false, true}) {
        for (const auto& c : cases) {
            const WebReply reply = WebGet(Port(secure), c.target, secure);
            ASSERT_TRUE(reply.answered) << c.name;
            EXPECT_EQ(200, reply.status) << c.name;
            EXPECT_EQ(c.body, reply.body) << c.name << (secure ? " https" : " http");
            EXPECT_EQ(c.valid, m_login.Requests().back().digestValid) << c.name;
            EXPECT_EQ(secure, m_login.Requests().back().secure);
        }
    }
    EXPECT_EQ(kKoreanIdUtf8, m_login.Requests()[4].val3);
}

TEST_F(WebLoginTest, EverySwitchAnswersWhatItSays) {
    const struct {
        LoginAnswer answer;
        bool crlf, quoted;
        int status;
        std::string body;  // empty: not compared
    } cases[] = {
        {LoginAnswer::kAccept, false, false, 200, Accepted("\n")},
        {LoginAnswer::kAccept, true, false, 200, Accepted("\r\n")},
        {LoginAnswer::kAccept, false, true, 200,
         "result:\"true\"\ncode:\"0\"\nmessage:\"success\"\nrsip:\"127.0.0.1\"\nrsport:\"4567\""},
        {LoginAnswer::kRefuseCode1, false, false, 200,
         "result:false\ncode:1\nmessage:" + kInvalidAccess949},
        {LoginAnswer::kRefuseCode2, true, false, 200,
         "result:false\r\ncode:2\r\nmessage:" + kInvalidId949},
        {LoginAnswer::kUnknownMessage, false, false, 200,
         "result:false\ncode:3\nmessage:" + kPreparing949},
        {LoginAnswer::kNoResultLine, false, false, 200,
         "code:0\nmessage:success\nrsip:127.0.0.1\nrsport:4567"},
        {LoginAnswer::kStatus302, false, false, 302, ""},
        {LoginAnswer::kStatus404, false, false, 404, ""},
    };
    for (const auto& c : cases) {
        m_login.SetAnswer(c.answer);
        m_login.SetCrLf(c.crlf);
        m_login.SetQuotedValues(c.quoted);
        for (bool secure : {false, true}) {
            const WebReply reply = WebGet(Port(secure), GoodTarget(), secure);
            const char* name = CLoginWebServer::LoginAnswerName(c.answer);
            ASSERT_TRUE(reply.answered) << name;
            EXPECT_EQ(c.status, reply.status) << name;
            if (!c.body.empty()) {
                EXPECT_EQ(c.body, reply.body) << name;
            }
            if (c.status == 302) {
                EXPECT_NE(std::string::npos, reply.head.find("\r\nLocation: /"));
            }
            EXPECT_EQ(name, m_login.Requests().back().answer);
        }
    }
}

TEST_F(WebLoginTest, HttpsCanBeSwitchedOffAndOn) {
    ASSERT_TRUE(m_host.SetHttpsAvailable(false));
    EXPECT_FALSE(WebGet(Port(true), GoodTarget(), true).connected);
    EXPECT_EQ(200, WebGet(Port(false), GoodTarget(), false).status);
    ASSERT_TRUE(m_host.SetHttpsAvailable(true));
    EXPECT_EQ(200, WebGet(Port(true), GoodTarget(), true).status);
}

TEST_F(WebLoginTest, SlowReplyStillArrivesAndRequestsAreReported) {
    m_login.SetDelayMs(300);
    const auto start = std::chrono::steady_clock::now();
    const WebReply reply = WebGet(Port(false), GoodTarget(), false);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));
    EXPECT_EQ(Accepted("\n"), reply.body);

    const auto event = m_log.WaitFor(CEventLog::Kind("login_request"), std::chrono::seconds(2));
    ASSERT_TRUE(event.has_value());
    EXPECT_EQ("http", event->Text("scheme"));
    EXPECT_EQ("1234", event->Text("val1"));
    EXPECT_EQ(Hex("1234.teacher01"), event->Text("val2"));
    EXPECT_EQ("teacher01", event->Text("val3"));
    EXPECT_EQ("true", event->Text("valid"));
    EXPECT_EQ(200, event->Int("status"));
    EXPECT_EQ(300, event->Int("delay_ms"));
}

TEST_F(WebLoginTest, StoppingCutsASlowReplyShort) {
    m_login.SetDelayMs(60000);
    std::thread client(
        [this]() { EXPECT_FALSE(WebGet(Port(false), GoodTarget(), false).answered); });
    ASSERT_TRUE(m_log.WaitFor(CEventLog::Kind("login_request"), std::chrono::seconds(5)));
    const auto start = std::chrono::steady_clock::now();
    m_host.Stop();
    client.join();
    // Far below both the reply's delay and the client's own time-out.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

// The program's web client on the real WinINet (Wine) against the simulated classroom's
// web servers on 127.0.0.1: http-probe sends one request exactly as the login dialog
// does and prints what the client handed back.
#if !defined(TAVREL_HAVE_CLASSROOM_SIM)
#error "the end-to-end tests need tools/classroom-sim"
#endif

#include "Classroom.h"
#include "Harness.h"
#include "protocol/Md5.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

namespace {

using e2e::RunResult;
using namespace std::chrono_literals;

constexpr char kTeacherId[] = "teacher01";
constexpr char kVal1[] = "123456";
// A page of ours on the simulated host: a redirect that names no target.
constexpr char kRedirectNowherePath[] = "/vantor/rsinfo/nowhere.jsp";
constexpr int kStatusFound = 302;
// Exactly one read piece of the client: it arrives in one read, then an empty one.
constexpr size_t kOnePieceBytes = 4096;
constexpr char kDownloadFileName[] = "up date.bin";
constexpr char kDownloadKey[] = "up_date_bin";
constexpr uint32_t kErrorInvalidCa = 12045;
constexpr int kProbeTimeoutMs = 90000;

struct ProbeReply {
    bool ran = false;  // the probe printed its fields
    int result = 1;
    size_t length = 0;
    std::string name;
    int sends = 0;
    int relaxed = 0;
    uint32_t firstSendError = 0;
    std::string body;
};

std::string FromHex(const std::string& hex) {
    std::string bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    return bytes;
}

ProbeReply ParseProbe(const std::string& out) {
    ProbeReply reply;
    size_t pos = 0;
    while (pos < out.size()) {
        const size_t end = out.find('\n', pos);
        const std::string line = out.substr(pos, end == std::string::npos ? end : end - pos);
        auto value = [&](const char* key) { return line.substr(std::string(key).size()); };
        if (line.rfind("body:", 0) == 0) {
            reply.body = out.substr(pos + 5);  // the rest of the output, as it came
            reply.ran = true;
            break;
        }
        if (line.rfind("body-hex:", 0) == 0) {
            reply.body = FromHex(value("body-hex:"));
            reply.ran = true;
            break;
        }
        if (line.rfind("result:", 0) == 0) reply.result = std::stoi(value("result:"));
        if (line.rfind("length:", 0) == 0) reply.length = std::stoul(value("length:"));
        if (line.rfind("name:", 0) == 0) reply.name = value("name:");
        if (line.rfind("sends:", 0) == 0) reply.sends = std::stoi(value("sends:"));
        if (line.rfind("relaxed:", 0) == 0) reply.relaxed = std::stoi(value("relaxed:"));
        if (line.rfind("first-send-error:", 0) == 0)
            reply.firstSendError = static_cast<uint32_t>(std::stoul(value("first-send-error:")));
        if (end == std::string::npos) break;
        pos = end + 1;
    }
    return reply;
}

std::string Md5Hex(const std::string& text) {
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (uint8_t b : Md5(reinterpret_cast<const uint8_t*>(text.data()), text.size())) {
        hex += kDigits[b >> 4];
        hex += kDigits[b & 15];
    }
    return hex;
}

// The form the login dialog sends, with a digest the server accepts.
std::string LoginForm() {
    return std::string("val1=") + kVal1 + "&val2=" + Md5Hex(std::string(kVal1) + "." + kTeacherId) +
           "&val3=" + kTeacherId;
}

// Bytes of every value, zero included, so that a body cut at a zero or a piece
// boundary shows.
std::string BinaryPattern(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 31 + i / 256) & 0xFF);
    return bytes;
}

class HttpClientE2eTest : public ::testing::Test {
  protected:
    void SetUp() override {
        namespace fs = std::filesystem;
        ASSERT_EQ(std::system((e2e::SourceDir() + "/scripts/make-sim-cert >/dev/null").c_str()), 0);
        m_updateFolder = e2e::OutDir() + "/http-client/update";
        std::error_code ignored;
        fs::remove_all(m_updateFolder, ignored);
        fs::create_directories(m_updateFolder);
        m_download = BinaryPattern(kOnePieceBytes);
        std::ofstream(m_updateFolder + "/" + kDownloadFileName, std::ios::binary) << m_download;

        ClassroomOptions options;
        options.withWeb = true;
        options.withMedia = false;
        options.web.https = true;
        options.web.certFile = e2e::SourceDir() + "/build/sim-cert/cert.pem";
        options.web.keyFile = e2e::SourceDir() + "/build/sim-cert/key.pem";
        options.updateFolder = m_updateFolder;
        m_classroom = std::make_unique<CClassroom>(options);
        ASSERT_TRUE(m_classroom->Start()) << "the classroom did not start";
        m_classroom->WebHost()->Handle(kRedirectNowherePath,
                                       [](const HttpRequest&, HttpResponse& response) {
                                           response.status = kStatusFound;
                                           response.body = "moved";
                                       });
    }
    void TearDown() override {
        if (m_classroom) m_classroom->Stop();
    }

    std::string Http(const std::string& path) {
        return "http://127.0.0.1:" + std::to_string(m_classroom->HttpPort()) + path;
    }
    std::string Https(const std::string& path) {
        return "https://127.0.0.1:" + std::to_string(m_classroom->HttpsPort()) + path;
    }

    ProbeReply Probe(const std::string& url, const std::string& form = "") {
        std::vector<std::string> argv{e2e::WinBinDir() + "/http-probe.exe", url};
        if (!form.empty()) argv.push_back(form);
        const RunResult run = e2e::RunWine(argv, e2e::WinBinDir(), kProbeTimeoutMs);
        EXPECT_FALSE(run.timedOut) << url;
        ProbeReply reply = ParseProbe(run.out);
        EXPECT_TRUE(reply.ran) << "http-probe printed nothing for " << url << ":\n" << run.out;
        return reply;
    }

    CLoginWebServer& Login() { return *m_classroom->LoginWeb(); }

    std::unique_ptr<CClassroom> m_classroom;
    std::string m_updateFolder;
    std::string m_download;
};

TEST_F(HttpClientE2eTest, LoginPageOverHttpAndHttps) {
    const struct {
        bool secure;
        int sends;  // the self-signed certificate costs one relaxed retry
    } cases[] = {{false, 1}, {true, 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.secure ? "https" : "http");
        const size_t before = Login().Requests().size();
        const std::string url = (c.secure ? Https("") : Http("")) + CLoginWebServer::kPath;
        const ProbeReply reply = Probe(url, LoginForm());
        EXPECT_EQ(reply.result, 0);
        EXPECT_EQ(reply.body, Login().ReplyBody(LoginAnswer::kAccept));
        EXPECT_EQ(reply.length, reply.body.size());
        EXPECT_EQ(reply.name, "");
        EXPECT_EQ(reply.sends, c.sends);
        EXPECT_EQ(reply.relaxed, c.sends - 1);
        if (c.secure) {
            EXPECT_EQ(reply.firstSendError, kErrorInvalidCa);
        }

        // One request reached the page (the refused handshake never got that far), with
        // the form intact.
        const auto requests = Login().Requests();
        ASSERT_EQ(requests.size(), before + 1);
        EXPECT_EQ(requests.back().secure, c.secure);
        EXPECT_EQ(requests.back().val1, kVal1);
        EXPECT_EQ(requests.back().val3, kTeacherId);
        EXPECT_TRUE(requests.back().digestValid);
    }
}

TEST_F(HttpClientE2eTest, StatusRepliesGiveTheirCodesWithoutABody) {
    const struct {
        const char* what;
        LoginAnswer answer;
        const char* path;  // on the HTTP port
        int result;
    } cases[] = {
        {"404", LoginAnswer::kStatus404, CLoginWebServer::kPath, -105},
        // WinINet follows a redirect that names its target; the target is not there.
        {"302 to a missing page", LoginAnswer::kStatus302, CLoginWebServer::kPath, -105},
        // One it cannot follow is handed back as the redirect it is.
        {"302 without a target", LoginAnswer::kAccept, kRedirectNowherePath, -106},
        {"unknown page", LoginAnswer::kAccept, "/vantor/rsinfo/none.jsp", -105},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Login().SetAnswer(c.answer);
        const ProbeReply reply = Probe(Http(c.path), LoginForm());
        EXPECT_EQ(reply.result, c.result);
        EXPECT_EQ(reply.length, 0u);
        EXPECT_EQ(reply.body, "");
        EXPECT_EQ(reply.name, "");
    }
}

TEST_F(HttpClientE2eTest, UnreachableServerFailsTheSend) {
    // A port of the host where nothing listens any more.
    const std::string url = Http(CLoginWebServer::kPath);
    m_classroom->Stop();
    const ProbeReply reply = Probe(url, LoginForm());
    EXPECT_EQ(reply.result, -103);
    EXPECT_EQ(reply.length, 0u);
}

TEST_F(HttpClientE2eTest, DownloadOfOneWholePieceWithItsFileName) {
    for (bool secure : {false, true}) {
        SCOPED_TRACE(secure ? "https" : "http");
        const std::string page = CUpdateWebServer::kDownloadPath;
        const ProbeReply reply =
            Probe(secure ? Https(page) : Http(page), std::string("type=") + kDownloadKey);
        EXPECT_EQ(reply.result, 0);
        EXPECT_EQ(reply.length, kOnePieceBytes);
        EXPECT_TRUE(reply.body == m_download) << "the body differs from the file";
        // Quotes kept, cut at ";", blanks trimmed.
        EXPECT_EQ(reply.name, std::string("\"") + kDownloadFileName + "\"");
    }
    EXPECT_EQ(m_classroom->UpdateWeb()->DownloadCounts()[kDownloadKey], 2);
}

}  // namespace

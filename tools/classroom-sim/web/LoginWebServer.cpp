#include "web/LoginWebServer.h"

#include <utility>

#include "EventLog.h"
#include "protocol/Md5.h"
#include "web/HttpServer.h"

namespace {

constexpr char kInvalidAccess[] = "잘못된 접근입니다.";
constexpr char kInvalidTeacherId[] = "유효하지않은  선생님 ID 입니다.";  // two spaces, as sent
constexpr char kDefaultUnknownMessage[] = "수업 준비 중입니다.";
constexpr char kSuccessMessage[] = "success";
constexpr char kRedirectTarget[] = "/vantor/rsinfo/moved.jsp";
constexpr char kNotFoundBody[] = "<html><body>404 Not Found</body></html>";
constexpr int kStatusFound = 302;
constexpr int kStatusNotFound = 404;
constexpr int kStatusOk = 200;
constexpr size_t kOversizedBodyBytes = 1024 * 1024;

std::string ToHex(const Md5Digest& digest) {
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (uint8_t b : digest) {
        hex += kDigits[b >> 4];
        hex += kDigits[b & 15];
    }
    return hex;
}

}  // namespace

constexpr char CLoginWebServer::kPath[];

CLoginWebServer::CLoginWebServer(CWebHost& host, CEventLog* log)
    : m_pLog(log), m_strUnknownMessage(kDefaultUnknownMessage) {
    host.Handle(kPath, [this](const HttpRequest& request, HttpResponse& response) {
        OnRequest(request, response);
    });
}

void CLoginWebServer::SetRelayEndpoint(const std::string& address, int port) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_strRelayAddress = address;
    m_nRelayPort = port;
}

void CLoginWebServer::SetAnswer(LoginAnswer answer) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_answer = answer;
}

void CLoginWebServer::SetCrLf(bool crlf) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bCrLf = crlf;
}

void CLoginWebServer::SetQuotedValues(bool quoted) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bQuoted = quoted;
}

void CLoginWebServer::SetDelayMs(int ms) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_nDelayMs = ms;
}

void CLoginWebServer::SetUnknownMessage(const std::string& utf8) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_strUnknownMessage = utf8;
}

void CLoginWebServer::SetCodePage(const std::string& codePage) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_strCodePage = codePage;
}

std::vector<LoginRequestRecord> CLoginWebServer::Requests() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_vRequests;
}

bool CLoginWebServer::DigestValid(const std::string& val1, const std::string& val2,
                                  const std::string& utf8TeacherId) const {
    std::string codePage;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        codePage = m_strCodePage;
    }
    const std::string text = Utf8ToCodePage(val1 + "." + utf8TeacherId, codePage);
    return ToHex(Md5(reinterpret_cast<const uint8_t*>(text.data()), text.size())) == val2;
}

std::string CLoginWebServer::ReplyBody(LoginAnswer answer) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<std::pair<std::string, std::string>> lines;
    switch (answer) {
        case LoginAnswer::kAccept:
        case LoginAnswer::kNoResultLine:
        case LoginAnswer::kOversized:
            if (answer != LoginAnswer::kNoResultLine) lines.emplace_back("result", "true");
            lines.emplace_back("code", "0");
            lines.emplace_back("message", kSuccessMessage);
            lines.emplace_back("rsip", m_strRelayAddress);
            lines.emplace_back("rsport", std::to_string(m_nRelayPort));
            break;
        case LoginAnswer::kRefuseCode1:
            lines = {{"result", "false"}, {"code", "1"}, {"message", kInvalidAccess}};
            break;
        case LoginAnswer::kRefuseCode2:
            lines = {{"result", "false"}, {"code", "2"}, {"message", kInvalidTeacherId}};
            break;
        case LoginAnswer::kUnknownMessage:
            lines = {{"result", "false"}, {"code", "3"}, {"message", m_strUnknownMessage}};
            break;
        default:
            return kNotFoundBody;
    }
    std::string body;
    for (const auto& line : lines) {
        if (!body.empty()) body += m_bCrLf ? "\r\n" : "\n";
        body += line.first + ":" + (m_bQuoted ? "\"" + line.second + "\"" : line.second);
    }
    if (answer == LoginAnswer::kOversized)
        while (body.size() < kOversizedBodyBytes) body += "\nfiller:" + std::string(120, 'x');
    return Utf8ToCodePage(body, m_strCodePage);
}

void CLoginWebServer::OnRequest(const HttpRequest& request, HttpResponse& response) {
    LoginRequestRecord record;
    record.secure = request.secure;
    record.val1 = request.Param("val1");
    record.val2 = request.Param("val2");
    record.val3 = request.Param("val3");
    record.digestValid = DigestValid(record.val1, record.val2, record.val3);
    LoginAnswer answer;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        answer = m_answer;
        response.delayMs = m_nDelayMs;
    }
    if (answer == LoginAnswer::kStatus302) {
        response.status = kStatusFound;
        response.headers.emplace_back("Location", kRedirectTarget);
    } else if (answer == LoginAnswer::kStatus404) {
        response.status = kStatusNotFound;
        response.body = kNotFoundBody;
    } else {
        if (!record.digestValid) answer = LoginAnswer::kRefuseCode1;
        response.status = kStatusOk;
        response.body = ReplyBody(answer);
    }
    response.headers.emplace_back("Content-Type", "text/plain");
    record.status = response.status;
    record.answer = LoginAnswerName(answer);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_vRequests.push_back(record);
    }
    if (m_pLog) {
        m_pLog->Emit("login_request", {{"scheme", request.secure ? "https" : "http"},
                                       {"val1", record.val1},
                                       {"val2", record.val2},
                                       {"val3", record.val3},
                                       {"valid", record.digestValid},
                                       {"status", record.status},
                                       {"answer", record.answer},
                                       {"delay_ms", response.delayMs}});
    }
}

const char* CLoginWebServer::LoginAnswerName(LoginAnswer answer) {
    switch (answer) {
        case LoginAnswer::kAccept:
            return "accept";
        case LoginAnswer::kRefuseCode1:
            return "refuse_code1";
        case LoginAnswer::kRefuseCode2:
            return "refuse_code2";
        case LoginAnswer::kUnknownMessage:
            return "unknown_message";
        case LoginAnswer::kNoResultLine:
            return "no_result_line";
        case LoginAnswer::kStatus302:
            return "status302";
        case LoginAnswer::kStatus404:
            return "status404";
        case LoginAnswer::kOversized:
            return "oversized";
    }
    return "unknown";
}

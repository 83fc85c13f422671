#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "web/CodePage.h"

class CEventLog;
class CWebHost;
struct HttpRequest;
struct HttpResponse;

// What the login web server answers to a request whose digest is right. A wrong
// digest is always refused with code 1, except that the status answers (302, 404)
// apply to every request.
enum class LoginAnswer {
    kAccept,          // result:true with rsip and rsport of the relay
    kRefuseCode1,     // result:false, code 1, "잘못된 접근입니다."
    kRefuseCode2,     // result:false, code 2, "유효하지않은  선생님 ID 입니다."
    kUnknownMessage,  // result:false, code 3, a message the pad does not know
    kNoResultLine,    // the accept lines without the result line
    kStatus302,       // status 302 to another page
    kStatus404,       // status 404
    kOversized,       // the accept lines followed by a megabyte of filler lines
};

// One request as the server saw it.
struct LoginRequestRecord {
    bool secure = false;
    std::string val1, val2, val3;  // query values, decoded (val3 is UTF-8)
    bool digestValid = false;
    int status = 0;
    std::string answer;  // LoginAnswerName of what was answered
};

// The page "/vantor/rsinfo/checkRsInfo.jsp" that tells the pad where its relay server
// is. The pad sends val1 (its tick count), val2 = MD5 of the ANSI bytes of
// val1 + "." + val3 in lower-case hex, and val3 (the teacher ID); this page checks the
// digest over the teacher ID in the configured code page and answers with lines
//   result:true  code:0  message:success  rsip:<address>  rsport:<port>
// separated by LF (or CR LF), values optionally in double quotes, texts in the code
// page. Every request is recorded and reported as the event "login_request" (fields
// scheme, val1, val2, val3, valid, status, answer).
//
//   CLoginWebServer login(host, &log);
//   login.SetRelayEndpoint("127.0.0.1", relayPort);
//   login.SetAnswer(LoginAnswer::kRefuseCode2);   // and the other switches below
// HTTPS unavailable is a switch of the shared host: host.SetHttpsAvailable(false).
// All members may be called from any thread.
class CLoginWebServer {
  public:
    static constexpr char kPath[] = "/vantor/rsinfo/checkRsInfo.jsp";

    // Registers the page on the host; the host must outlive this object and be
    // stopped before it is destroyed.
    explicit CLoginWebServer(CWebHost& host, CEventLog* log = nullptr);

    void SetRelayEndpoint(const std::string& address, int port);
    void SetAnswer(LoginAnswer answer);
    void SetCrLf(bool crlf);            // lines end in CR LF instead of LF
    void SetQuotedValues(bool quoted);  // key:"value"
    void SetDelayMs(int ms);            // a slow reply
    void SetUnknownMessage(const std::string& utf8);
    void SetCodePage(const std::string& codePage);  // kKoreanCodePage by default

    std::vector<LoginRequestRecord> Requests() const;

    // The body for an answer with the current settings (in the code page).
    std::string ReplyBody(LoginAnswer answer) const;
    // True when val2 is the digest of val1 + "." + val3 in the code page.
    bool DigestValid(const std::string& val1, const std::string& val2,
                     const std::string& utf8TeacherId) const;

    static const char* LoginAnswerName(LoginAnswer answer);

  private:
    void OnRequest(const HttpRequest& request, HttpResponse& response);

    CEventLog* m_pLog;
    mutable std::mutex m_mutex;
    std::string m_strRelayAddress = "127.0.0.1";
    int m_nRelayPort = 0;
    LoginAnswer m_answer = LoginAnswer::kAccept;
    bool m_bCrLf = false;
    bool m_bQuoted = false;
    int m_nDelayMs = 0;
    std::string m_strUnknownMessage;
    std::string m_strCodePage = kKoreanCodePage;
    std::vector<LoginRequestRecord> m_vRequests;
};

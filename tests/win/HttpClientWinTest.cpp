// The web client on the real WinINet (Wine) against a small HTTP server on 127.0.0.1 that
// runs on a thread of this test and answers canned replies by path.
#include <winsock2.h>
#include <ws2tcpip.h>

#include "login/HttpClient_win.h"

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr char kLoopback[] = "127.0.0.1";
constexpr size_t kMaxRequestBytes = 64 * 1024;
constexpr long kAcceptPollMicroseconds = 50 * 1000;
constexpr size_t kLargeBodyBytes = 100000;
constexpr size_t kLongHeaderBytes = 300;

std::string Pattern(size_t n) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>(i * 7 + (i >> 9));
    return s;
}

std::string Reply(const std::string& statusLine, const std::string& headers,
                  const std::string& body) {
    return "HTTP/1.0 " + statusLine + "\r\n" + headers +
           "Content-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" +
           body;
}

std::map<std::string, std::string> CannedReplies() {
    const std::string named = "Content-Disposition: attachment; FileName=\"up date.exe\" ; x=1\r\n";
    const std::string longName =
        "Content-Disposition: attachment; filename=" + std::string(kLongHeaderBytes, 'n') + "\r\n";
    return {
        {"/ok", Reply("200 OK", "", "hello")},
        {"/redirect", Reply("302 Found", "", "moved")},
        {"/moved", Reply("301 Moved Permanently", "", "moved")},
        {"/follow", Reply("302 Found", "Location: /ok\r\n", "moved")},
        {"/missing", Reply("404 Not Found", "", "not here")},
        {"/error", Reply("500 Internal Server Error", "", "broken")},
        {"/exact", Reply("200 OK", "", Pattern(kReplyReadPiece))},
        {"/large", Reply("200 OK", "", Pattern(kLargeBodyBytes))},
        {"/named", Reply("200 OK", named, "file")},
        {"/longname", Reply("200 OK", longName, "file")},
        {"/empty", Reply("200 OK", "", "")},
    };
}

// Accepts connections until destroyed; each gets the reply of its path (the request
// line's object up to "?") and is closed. Requests are kept for the checks.
class CannedHttpServer {
  public:
    CannedHttpServer() : m_replies(CannedReplies()) {
        WSADATA data;
        m_bStarted = WSAStartup(MAKEWORD(2, 2), &data) == 0;
        m_listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        inet_pton(AF_INET, kLoopback, &address.sin_addr);
        bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof(address));
        listen(m_listener, SOMAXCONN);
        int size = sizeof(address);
        getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &size);
        m_nPort = ntohs(address.sin_port);
        m_thread = std::thread([this] { Serve(); });
    }
    ~CannedHttpServer() {
        m_bStop = true;
        m_thread.join();
        closesocket(m_listener);
        if (m_bStarted) WSACleanup();
    }

    std::wstring Url(const std::string& path) const {
        const std::string url =
            "http://" + std::string(kLoopback) + ":" + std::to_string(m_nPort) + path;
        return std::wstring(url.begin(), url.end());
    }
    std::vector<std::string> Requests() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_requests;
    }

  private:
    void Serve() {
        while (!m_bStop) {
            fd_set readable;
            FD_ZERO(&readable);
            FD_SET(m_listener, &readable);
            timeval poll = {0, kAcceptPollMicroseconds};
            if (select(0, &readable, nullptr, nullptr, &poll) <= 0) continue;
            const SOCKET client = accept(m_listener, nullptr, nullptr);
            if (client == INVALID_SOCKET) continue;
            Answer(client);
            shutdown(client, SD_SEND);
            closesocket(client);
        }
    }
    void Answer(SOCKET client) {
        std::string request;
        char buffer[1024];
        while (request.find("\r\n\r\n") == std::string::npos && request.size() < kMaxRequestBytes) {
            const int got = recv(client, buffer, sizeof(buffer), 0);
            if (got <= 0) return;
            request.append(buffer, static_cast<size_t>(got));
        }
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_requests.push_back(request);
        }
        const size_t pathStart = request.find(' ') + 1;
        const size_t pathEnd = request.find_first_of("? ", pathStart);
        const auto found = m_replies.find(request.substr(pathStart, pathEnd - pathStart));
        const std::string reply =
            found != m_replies.end() ? found->second : Reply("404 Not Found", "", "");
        for (size_t sent = 0; sent < reply.size();) {
            const int n =
                send(client, reply.data() + sent, static_cast<int>(reply.size() - sent), 0);
            if (n <= 0) return;
            sent += static_cast<size_t>(n);
        }
    }

    std::map<std::string, std::string> m_replies;
    bool m_bStarted = false;
    SOCKET m_listener = INVALID_SOCKET;
    unsigned short m_nPort = 0;
    std::atomic<bool> m_bStop{false};
    std::mutex m_mutex;
    std::vector<std::string> m_requests;
    std::thread m_thread;
};

TEST(HttpClientWinTest, CannedRepliesGiveResultsBodiesAndNames) {
    CannedHttpServer server;
    const struct {
        const char* path;
        int32_t result;
        std::string body;
        std::wstring name;
    } cases[] = {
        {"/ok", kHttpOk, "hello", L""},
        {"/redirect", kHttpRedirected, "", L""},
        {"/moved", kHttpRedirected, "", L""},
        // WinINet itself follows a redirect it can; only one it cannot follow reaches us.
        {"/follow", kHttpOk, "hello", L""},
        {"/missing", kHttpBadStatus, "", L""},
        {"/error", kHttpBadStatus, "", L""},
        {"/exact", kHttpOk, Pattern(kReplyReadPiece), L""},
        {"/large", kHttpOk, Pattern(kLargeBodyBytes), L""},
        {"/named", kHttpOk, "file", L"\"up date.exe\""},
        {"/longname", kHttpOk, "file", L""},
        {"/empty", kHttpOk, "", L""},
    };
    int serial = 0;
    for (const auto& c : cases) {
        // A different query each time keeps any cache out of the way.
        const std::wstring form = L"n=" + std::to_wstring(++serial);
        const HttpReply reply = RequestUrl(server.Url(c.path), form);
        EXPECT_EQ(c.result, reply.result) << c.path;
        EXPECT_EQ(c.body, reply.body) << c.path;
        EXPECT_EQ(c.name, AfxToWide(reply.downloadName)) << c.path;
    }
}

TEST(HttpClientWinTest, RequestLineAndHeadersOnTheWire) {
    CannedHttpServer server;
    const HttpReply reply = RequestUrl(server.Url("/ok"), L"val1=-5&val2=a b&val3=\uD55C");
    ASSERT_EQ(kHttpOk, reply.result);
    const std::vector<std::string> requests = server.Requests();
    ASSERT_EQ(1u, requests.size());
    const std::string& request = requests[0];
    EXPECT_EQ(0u, request.find("GET /ok?val1=-5&val2=a%20b&val3=%ed%95%9c HTTP/1.0\r\n"))
        << request;
    const char* expectedLines[] = {
        "\r\nAccept: */*\r\n",
        "\r\nAccept-Language: ko\r\n",
        "\r\nUser-Agent: Mozilla/4.0 (compatible; MSIE 5.01; Windows NT 5.0)\r\n",
    };
    for (const char* line : expectedLines) {
        EXPECT_NE(std::string::npos, request.find(line)) << line << request;
    }
}

TEST(HttpClientWinTest, FailuresBeforeAnyReply) {
    unsigned short closedPort = 0;
    {
        CannedHttpServer server;  // its port is free again once it is gone
        const std::wstring url = server.Url("/");
        closedPort = static_cast<unsigned short>(std::stoi(url.substr(url.rfind(L':') + 1)));
    }
    const std::wstring closedUrl = L"http://127.0.0.1:" + std::to_wstring(closedPort) + L"/ok";
    const struct {
        std::wstring url;
        std::wstring form;
        int32_t result;
    } cases[] = {
        {L"ftp://127.0.0.1/ok", L"", kHttpBadUrl},
        {L"127.0.0.1/ok", L"", kHttpBadUrl},
        {closedUrl, L"", kHttpRequestFailed},
        {closedUrl, std::wstring(kMaxEncodedFormLength + 1, L'a'), kHttpRequestFailed},
    };
    for (const auto& c : cases) {
        const HttpReply reply = RequestUrl(c.url, c.form);
        EXPECT_EQ(c.result, reply.result) << AfxToU16(c.url).size();
        EXPECT_EQ("", reply.body);
    }
}

TEST(HttpClientWinTest, UpdaterOptionsRunTheCallbackBetweenReads) {
    CannedHttpServer server;
    int calls = 0;
    HttpClientOptions options = UpdaterHttpOptions();
    EXPECT_EQ(L"VTUpdater", options.agentName);
    ASSERT_TRUE(options.afterEachRead);
    options.afterEachRead = [&calls] { ++calls; };
    const HttpReply reply = RequestUrl(server.Url("/large"), L"u=1", options);
    ASSERT_EQ(kHttpOk, reply.result);
    EXPECT_EQ(Pattern(kLargeBodyBytes), reply.body);
    // At least one call per 4096-byte piece, and one for the read that ends the body.
    EXPECT_GE(calls, static_cast<int>(kLargeBodyBytes / kReplyReadPiece) + 1);
    EXPECT_EQ(L"Vantor", TavrelHttpOptions().agentName);
    EXPECT_FALSE(TavrelHttpOptions().afterEachRead);
}

// HTTPS with a self-signed certificate (accepted on the relaxed second send) needs a
// TLS server: tests/e2e/HttpClientE2eTest.cpp runs it against classroom-sim's.

LRESULT CALLBACK CountingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_APP) ++*reinterpret_cast<int*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    return DefWindowProcW(window, message, wParam, lParam);
}

TEST(HttpClientWinTest, DispatchPendingMessagesEmptiesQueueAndKeepsQuit) {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = CountingProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"HttpClientWinTestCounter";
    RegisterClassW(&windowClass);
    HWND window = CreateWindowW(windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                nullptr, windowClass.hInstance, nullptr);
    ASSERT_NE(nullptr, window);
    int dispatched = 0;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&dispatched));
    PostMessageW(window, WM_APP, 0, 0);
    PostMessageW(window, WM_APP, 0, 0);
    DispatchPendingMessages();
    EXPECT_EQ(2, dispatched);
    MSG msg;
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE));

    const WPARAM kExitCode = 7;
    PostQuitMessage(static_cast<int>(kExitCode));
    DispatchPendingMessages();
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(static_cast<UINT>(WM_QUIT), msg.message);
    EXPECT_EQ(kExitCode, msg.wParam);
    DestroyWindow(window);
    UnregisterClassW(windowClass.lpszClassName, windowClass.hInstance);
}

}  // namespace

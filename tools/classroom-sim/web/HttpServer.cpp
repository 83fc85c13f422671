#include "web/HttpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <signal.h>
#include <strings.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstring>

namespace {

constexpr int kListenBacklog = 16;
constexpr int kAcceptPollMs = 50;
constexpr size_t kMaxRequestHead = 16 * 1024;
constexpr size_t kReadChunk = 2048;
constexpr char kHeadEnd[] = "\r\n\r\n";
// Big enough that a normal reply goes out in one write, small enough that a huge
// generated body is never held whole.
constexpr size_t kWritePiece = 64 * 1024;

SSL_CTX* Context(void* p) { return static_cast<SSL_CTX*>(p); }

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Reads and writes one connection, plain or TLS.
class CStream {
  public:
    CStream(int socket, SSL* ssl) : m_nSocket(socket), m_pSsl(ssl) {}
    int Read(char* buffer, int size) {
        return m_pSsl ? SSL_read(m_pSsl, buffer, size) : int(recv(m_nSocket, buffer, size, 0));
    }
    bool WriteAll(const std::string& data) {
        size_t done = 0;
        while (done < data.size()) {
            const int n =
                m_pSsl ? SSL_write(m_pSsl, data.data() + done, int(data.size() - done))
                       : int(send(m_nSocket, data.data() + done, data.size() - done, MSG_NOSIGNAL));
            if (n <= 0) return false;
            done += size_t(n);
        }
        return true;
    }

  private:
    int m_nSocket;
    SSL* m_pSsl;
};

bool ReadHead(CStream& stream, std::string& head) {
    char buffer[kReadChunk];
    while (head.find(kHeadEnd) == std::string::npos) {
        if (head.size() > kMaxRequestHead) return false;
        const int n = stream.Read(buffer, int(sizeof(buffer)));
        if (n <= 0) return false;
        head.append(buffer, size_t(n));
    }
    head.resize(head.find(kHeadEnd));
    return true;
}

bool ParseHead(const std::string& head, HttpRequest& request) {
    size_t lineEnd = head.find("\r\n");
    const std::string first = head.substr(0, lineEnd);
    const size_t sp1 = first.find(' ');
    const size_t sp2 = first.find(' ', sp1 == std::string::npos ? sp1 : sp1 + 1);
    if (sp1 == std::string::npos || sp2 == std::string::npos) return false;
    request.method = first.substr(0, sp1);
    request.target = first.substr(sp1 + 1, sp2 - sp1 - 1);
    const size_t question = request.target.find('?');
    request.path = request.target.substr(0, question);
    if (question != std::string::npos) request.query = request.target.substr(question + 1);
    request.params = ParseQuery(request.query);
    while (lineEnd != std::string::npos) {
        const size_t start = lineEnd + 2;
        lineEnd = head.find("\r\n", start);
        const std::string line = head.substr(start, lineEnd - start);
        const size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        size_t valueStart = colon + 1;
        while (valueStart < line.size() && line[valueStart] == ' ') ++valueStart;
        request.headers.emplace_back(line.substr(0, colon), line.substr(valueStart));
    }
    return true;
}

std::string FormatHead(const HttpResponse& response) {
    std::string out =
        "HTTP/1.1 " + std::to_string(response.status) + " " + HttpReason(response.status) + "\r\n";
    bool haveType = false;
    for (const auto& header : response.headers) {
        out += header.first + ": " + header.second + "\r\n";
        if (strcasecmp(header.first.c_str(), "Content-Type") == 0) haveType = true;
    }
    if (!haveType) out += "Content-Type: text/plain\r\n";
    out += "Content-Length: " + std::to_string(response.BodyLength()) + "\r\n";
    out += "Connection: close\r\n\r\n";
    return out;
}

// Appends up to count body bytes from offset: the stored body, then the generated tail.
uint64_t AppendBody(const HttpResponse& response, uint64_t offset, uint64_t count,
                    std::string& out) {
    uint64_t added = 0;
    if (offset < response.body.size()) {
        const uint64_t n = std::min<uint64_t>(count, response.body.size() - offset);
        out.append(response.body, size_t(offset), size_t(n));
        added = n;
    }
    out.append(size_t(count - added), response.fillByte);
    return count;
}

// Sends the head and the body in pieces of at most kWritePiece bytes, stopping at the
// cut and waiting at the pause. False when the client went away or the host stops.
bool SendResponse(CStream& stream, const HttpResponse& response, CWebHost& host) {
    const uint64_t toSend = response.BytesToSend();
    const uint64_t pauseAt = std::min(toSend, response.pauseAfterBytes);
    bool paused = response.pauseMs <= 0;
    std::string piece = FormatHead(response);
    uint64_t sent = 0;
    for (;;) {
        const uint64_t stop = paused ? toSend : pauseAt;
        const uint64_t room = kWritePiece > piece.size() ? kWritePiece - piece.size() : 0;
        sent += AppendBody(response, sent, std::min(stop - sent, room), piece);
        if (!piece.empty() && !stream.WriteAll(piece)) return false;
        piece.clear();
        if (sent == stop) {
            if (paused) return true;
            paused = true;
            if (!host.SleepUnlessStopping(response.pauseMs)) return false;
        } else if (!host.SleepUnlessStopping(0)) {
            return false;
        }
    }
}

}  // namespace

struct CWebHost::Listener {
    int socket = -1;
    bool secure = false;
    std::atomic<bool> closing{false};
    std::thread thread;
};

struct CWebHost::Worker {
    std::thread thread;
    std::atomic<bool> done{false};
};

uint64_t HttpResponse::BytesToSend() const {
    return cutAfterBytes < 0 ? BodyLength() : std::min(BodyLength(), uint64_t(cutAfterBytes));
}

std::string HttpRequest::Param(const std::string& name, const std::string& fallback) const {
    const auto it = params.find(name);
    return it == params.end() ? fallback : it->second;
}

std::string PercentDecode(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '+') {
            out += ' ';
        } else if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
                   HexValue(text[i + 2]) >= 0) {
            out += char(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::multimap<std::string, std::string> ParseQuery(const std::string& query) {
    std::multimap<std::string, std::string> fields;
    size_t start = 0;
    while (start <= query.size()) {
        size_t end = query.find('&', start);
        if (end == std::string::npos) end = query.size();
        const std::string pair = query.substr(start, end - start);
        if (!pair.empty()) {
            const size_t eq = pair.find('=');
            fields.emplace(PercentDecode(pair.substr(0, eq)),
                           eq == std::string::npos ? "" : PercentDecode(pair.substr(eq + 1)));
        }
        start = end + 1;
    }
    return fields;
}

const char* HttpReason(int status) {
    switch (status) {
        case 200:
            return "OK";
        case 301:
            return "Moved Permanently";
        case 302:
            return "Found";
        case 303:
            return "See Other";
        case 400:
            return "Bad Request";
        case 403:
            return "Forbidden";
        case 404:
            return "Not Found";
        case 500:
            return "Internal Server Error";
        case 503:
            return "Service Unavailable";
        default:
            return "Status";
    }
}

CWebHost::CWebHost() = default;

CWebHost::~CWebHost() { Stop(); }

void CWebHost::SetError(const std::string& text) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_strError = text;
}

std::string CWebHost::LastError() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_strError;
}

void CWebHost::Handle(const std::string& path, HttpHandler handler) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_handlers[path] = std::move(handler);
}

bool CWebHost::Start(const CWebHostOptions& options) {
    Stop();
    m_options = options;
    m_bStopping = false;
    // A pad that hangs up early must not take the whole simulator down with SIGPIPE.
    signal(SIGPIPE, SIG_IGN);
    if (options.https) {
        SSL_CTX* context = SSL_CTX_new(TLS_server_method());
        if (!context ||
            SSL_CTX_use_certificate_chain_file(context, options.certFile.c_str()) != 1 ||
            SSL_CTX_use_PrivateKey_file(context, options.keyFile.c_str(), SSL_FILETYPE_PEM) != 1) {
            SSL_CTX_free(context);
            SetError("cannot load certificate " + options.certFile + " / " + options.keyFile);
            return false;
        }
        m_pSslContext = context;
    }
    m_httpListener = OpenListener(options.httpPort, false);
    if (m_httpListener && options.https) m_httpsListener = OpenListener(options.httpsPort, true);
    if (!m_httpListener || (options.https && !m_httpsListener)) {
        Stop();
        return false;
    }
    return true;
}

std::unique_ptr<CWebHost::Listener> CWebHost::OpenListener(int port, bool secure) {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    if (s < 0) return nullptr;
    const int on = 1;
    setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(uint16_t(port));
    if (inet_pton(AF_INET, m_options.address.c_str(), &address.sin_addr) != 1 ||
        bind(s, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        listen(s, kListenBacklog) != 0) {
        SetError("cannot listen on " + m_options.address + ":" + std::to_string(port) + ": " +
                 std::strerror(errno));
        close(s);
        return nullptr;
    }
    socklen_t length = sizeof(address);
    getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
    (secure ? m_nHttpsPort : m_nHttpPort) = ntohs(address.sin_port);
    auto listener = std::make_unique<Listener>();
    listener->socket = s;
    listener->secure = secure;
    listener->thread = std::thread(&CWebHost::AcceptLoop, this, listener.get());
    return listener;
}

void CWebHost::AcceptLoop(Listener* listener) {
    while (!listener->closing && !m_bStopping) {
        pollfd fd{listener->socket, POLLIN, 0};
        if (poll(&fd, 1, kAcceptPollMs) <= 0) continue;
        sockaddr_in peer{};
        socklen_t length = sizeof(peer);
        const int s = accept(listener->socket, reinterpret_cast<sockaddr*>(&peer), &length);
        if (s < 0) continue;
        char text[INET_ADDRSTRLEN] = "";
        inet_ntop(AF_INET, &peer.sin_addr, text, sizeof(text));
        std::string peerText = std::string(text) + ":" + std::to_string(ntohs(peer.sin_port));
        ReapWorkers(false);
        std::lock_guard<std::mutex> lock(m_mutex);
        m_workers.emplace_back();
        Worker& worker = m_workers.back();
        const bool secure = listener->secure;
        worker.thread = std::thread([this, s, secure, peerText, &worker]() {
            Serve(s, secure, peerText);
            worker.done = true;
        });
    }
}

void CWebHost::Serve(int s, bool secure, std::string peer) {
    timeval timeout{m_options.receiveTimeoutMs / 1000, (m_options.receiveTimeoutMs % 1000) * 1000};
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout));
    timeval sendTimeout{m_options.sendTimeoutMs / 1000, (m_options.sendTimeoutMs % 1000) * 1000};
    setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, &sendTimeout, sizeof(sendTimeout));
    SSL* ssl = nullptr;
    if (secure) {
        ssl = SSL_new(Context(m_pSslContext));
        SSL_set_fd(ssl, s);
        if (SSL_accept(ssl) != 1) {
            SSL_free(ssl);
            close(s);
            return;
        }
    }
    CStream stream(s, ssl);
    std::string head;
    HttpRequest request;
    HttpResponse response;
    if (ReadHead(stream, head) && ParseHead(head, request)) {
        request.secure = secure;
        request.peer = std::move(peer);
        HttpHandler handler;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            const auto it = m_handlers.find(request.path);
            if (it != m_handlers.end()) handler = it->second;
        }
        if (handler) {
            handler(request, response);
        } else {
            response.status = 404;
            response.body = "Not Found";
        }
        const bool onTime = response.delayMs <= 0 || SleepUnlessStopping(response.delayMs);
        if (onTime && !response.dropConnection) SendResponse(stream, response, *this);
    }
    if (ssl) {
        SSL_shutdown(ssl);
        SSL_free(ssl);
    }
    shutdown(s, SHUT_RDWR);
    close(s);
}

bool CWebHost::SleepUnlessStopping(int ms) {
    std::unique_lock<std::mutex> lock(m_sleepMutex);
    return !m_sleepCv.wait_for(lock, std::chrono::milliseconds(ms),
                               [this]() { return m_bStopping.load(); });
}

void CWebHost::ReapWorkers(bool all) {
    std::list<Worker> finished;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (auto it = m_workers.begin(); it != m_workers.end();) {
            auto next = std::next(it);
            if (all || it->done) finished.splice(finished.end(), m_workers, it);
            it = next;
        }
    }
    for (Worker& worker : finished) worker.thread.join();
}

bool CWebHost::SetHttpsAvailable(bool available) {
    if (!m_pSslContext) return false;
    if (!available) {
        if (m_httpsListener) {
            m_httpsListener->closing = true;
            m_httpsListener->thread.join();
            close(m_httpsListener->socket);
            m_httpsListener.reset();
        }
        return true;
    }
    if (!m_httpsListener) m_httpsListener = OpenListener(m_nHttpsPort, true);
    return m_httpsListener != nullptr;
}

void CWebHost::Stop() {
    {
        std::lock_guard<std::mutex> lock(m_sleepMutex);
        m_bStopping = true;
    }
    m_sleepCv.notify_all();
    for (auto* listener : {&m_httpListener, &m_httpsListener}) {
        if (!*listener) continue;
        (*listener)->closing = true;
        (*listener)->thread.join();
        close((*listener)->socket);
        listener->reset();
    }
    ReapWorkers(true);
    if (m_pSslContext) {
        SSL_CTX_free(Context(m_pSslContext));
        m_pSslContext = nullptr;
    }
}

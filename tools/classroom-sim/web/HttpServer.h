#pragma once

#include <atomic>
#include <cstdint>
#include <condition_variable>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

// One GET request as the classroom's web servers see it.
struct HttpRequest {
    std::string method;
    std::string target;                              // as sent: path and query
    std::string path;                                // without the query, not decoded
    std::string query;                               // after "?", not decoded
    std::multimap<std::string, std::string> params;  // query values, percent-decoded
    std::vector<std::pair<std::string, std::string>> headers;
    bool secure = false;  // came in over HTTPS
    std::string peer;     // "address:port"

    // The first value of a query field, or the fallback.
    std::string Param(const std::string& name, const std::string& fallback = "") const;
    bool HasParam(const std::string& name) const { return params.count(name) > 0; }
};

// What a handler answers. The body is sent as it is, with Content-Length.
struct HttpResponse {
    int status = 200;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
    int delayMs = 0;              // wait this long before answering (a slow server)
    bool dropConnection = false;  // close without answering at all

    // Downloads that misbehave. The whole body is `body` followed by fillBytes copies
    // of fillByte, made piece by piece while sending, so a huge body is never held;
    // Content-Length always announces the whole body.
    uint64_t fillBytes = 0;
    char fillByte = 'x';
    // Only this many bytes of the body are sent, then the connection is closed
    // (-1: all of it).
    int64_t cutAfterBytes = -1;
    // After this many bytes of the body (0: right after the head), wait pauseMs.
    uint64_t pauseAfterBytes = 0;
    int pauseMs = 0;

    uint64_t BodyLength() const { return body.size() + fillBytes; }
    // Body bytes that actually go out.
    uint64_t BytesToSend() const;
};

using HttpHandler = std::function<void(const HttpRequest&, HttpResponse&)>;

// The HTTP and HTTPS listeners that the login and update web servers share: a small
// server of our own, one request per connection (the pad's client sends HTTP/1.0
// with "Connection: Close"), so that status lines, line ends, timing and dropped
// connections are entirely under the misbehaviour switches' control. TLS comes from
// OpenSSL with the self-signed certificate made by scripts/make-sim-cert.
//
//   CWebHost host;
//   CWebHostOptions options;              // ports 0: free ports are picked
//   options.certFile = ".../build/sim-cert/cert.pem"; options.keyFile = ".../key.pem";
//   host.Start(options);                  // then HttpPort(), HttpsPort()
//   CLoginWebServer login(host, &log);    // registers its page
//   ...
//   host.SetHttpsAvailable(false);        // HTTPS refuses connections; HTTP only
//
// Unknown paths get 404. Handlers run on one thread per connection.
struct CWebHostOptions {
    std::string address = "127.0.0.1";
    int httpPort = 0;   // 0: pick a free port
    int httpsPort = 0;  // 0: pick a free port
    bool https = true;  // false: no HTTPS listener at all
    std::string certFile;
    std::string keyFile;
    int receiveTimeoutMs = 5000;
    // A client that takes nothing for this long is given up (a huge body must not
    // keep Stop() waiting for a reader that went away).
    int sendTimeoutMs = 10000;
};

class CWebHost {
  public:
    CWebHost();
    ~CWebHost();
    CWebHost(const CWebHost&) = delete;
    CWebHost& operator=(const CWebHost&) = delete;

    // Opens the listeners. False (nothing left open) when a port cannot be bound or
    // the certificate cannot be loaded; LastError() says why.
    bool Start(const CWebHostOptions& options);
    // Closes the listeners and waits for running requests (slow replies are cut short).
    void Stop();

    int HttpPort() const { return m_nHttpPort; }
    int HttpsPort() const { return m_nHttpsPort; }  // 0 without HTTPS
    const std::string& Address() const { return m_options.address; }
    std::string LastError() const;

    // Registers the handler of one exact path (before or after Start).
    void Handle(const std::string& path, HttpHandler handler);

    // Closes the HTTPS listener (connections are refused) or opens it again on the
    // same port. False when it cannot be reopened or HTTPS was never configured.
    bool SetHttpsAvailable(bool available);
    bool HttpsAvailable() const { return m_httpsListener != nullptr; }

    // Sleeps up to ms; returns early (false) when the host is stopping.
    bool SleepUnlessStopping(int ms);

  private:
    struct Listener;
    struct Worker;

    std::unique_ptr<Listener> OpenListener(int port, bool secure);
    void AcceptLoop(Listener* listener);
    void Serve(int socket, bool secure, std::string peer);
    void ReapWorkers(bool all);
    void SetError(const std::string& text);

    CWebHostOptions m_options;
    void* m_pSslContext = nullptr;  // SSL_CTX
    int m_nHttpPort = 0;
    int m_nHttpsPort = 0;
    std::unique_ptr<Listener> m_httpListener;
    std::unique_ptr<Listener> m_httpsListener;
    mutable std::mutex m_mutex;  // handlers, workers, error text
    std::map<std::string, HttpHandler> m_handlers;
    std::list<Worker> m_workers;
    std::string m_strError;
    std::atomic<bool> m_bStopping{false};
    std::mutex m_sleepMutex;
    std::condition_variable m_sleepCv;
};

// Percent-decoding of a query value ("+" is a space); bad escapes are kept as they are.
std::string PercentDecode(const std::string& text);
// Splits "a=1&b=2" into decoded fields.
std::multimap<std::string, std::string> ParseQuery(const std::string& query);
// Reason phrase of a status code ("OK", "Found", "Not Found", ...).
const char* HttpReason(int status);

#pragma once

// A deliberately plain HTTP/1.0 client for the web server tests: its own socket and
// TLS code (certificate not verified, as the pad's client after its retry), so the
// servers are checked from outside rather than through their own parsing.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/ssl.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <string>

struct WebReply {
    bool connected = false;  // a TCP (and TLS) connection was made
    bool answered = false;   // a status line came back
    int status = 0;
    std::string head;
    std::string body;
};

inline WebReply WebGet(int port, const std::string& target, bool secure,
                       const std::string& agent = "Vantor") {
    WebReply reply;
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(uint16_t(port));
    inet_pton(AF_INET, "127.0.0.1", &address.sin_addr);
    timeval timeout{10, 0};
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout));
    if (connect(s, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
        close(s);
        return reply;
    }
    SSL_CTX* context = nullptr;
    SSL* ssl = nullptr;
    if (secure) {
        context = SSL_CTX_new(TLS_client_method());
        ssl = SSL_new(context);
        SSL_set_fd(ssl, s);
        if (SSL_connect(ssl) != 1) {
            SSL_free(ssl);
            SSL_CTX_free(context);
            close(s);
            return reply;
        }
    }
    reply.connected = true;
    const std::string request = "GET " + target +
                                " HTTP/1.0\r\nAccept: */*\r\nUser-Agent: " + agent +
                                "\r\nConnection: Close\r\nHost: 127.0.0.1\r\n\r\n";
    if (ssl) {
        SSL_write(ssl, request.data(), int(request.size()));
    } else {
        send(s, request.data(), request.size(), MSG_NOSIGNAL);
    }
    std::string all;
    char buffer[4096];
    for (;;) {
        const int n =
            ssl ? SSL_read(ssl, buffer, sizeof(buffer)) : int(recv(s, buffer, sizeof(buffer), 0));
        if (n <= 0) break;
        all.append(buffer, size_t(n));
    }
    if (ssl) {
        SSL_free(ssl);
        SSL_CTX_free(context);
    }
    close(s);
    const size_t end = all.find("\r\n\r\n");
    if (all.compare(0, 5, "HTTP/") != 0 || end == std::string::npos) return reply;
    reply.answered = true;
    reply.status = std::atoi(all.c_str() + all.find(' ') + 1);
    reply.head = all.substr(0, end);
    reply.body = all.substr(end + 4);
    return reply;
}

// The body length a reply's head announces (-1 without one).
inline long long WebContentLength(const WebReply& reply) {
    const std::string name = "\r\ncontent-length:";
    std::string head = reply.head;
    for (char& c : head) c = char(std::tolower(static_cast<unsigned char>(c)));
    const size_t at = head.find(name);
    return at == std::string::npos ? -1 : std::atoll(head.c_str() + at + name.size());
}

// The test's own certificate, made with the project's script into a temporary folder.
inline bool MakeTestCertificate(const std::string& folder) {
    std::string top = __FILE__;
    top = top.substr(0, top.rfind("/tests/sim/"));
    const std::string command = "'" + top + "/scripts/make-sim-cert' '" + folder + "' >/dev/null";
    return std::system(command.c_str()) == 0;
}

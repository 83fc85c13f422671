#include "SocketConnection.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include "protocol/Frame.h"
#include "protocol/Packet.h"

namespace {

bool SockName(int fd, bool peer, sockaddr_in& out) {
    socklen_t len = sizeof(out);
    auto* addr = reinterpret_cast<sockaddr*>(&out);
    return (peer ? getpeername(fd, addr, &len) : getsockname(fd, addr, &len)) == 0;
}

}  // namespace

CSocketConnection::CSocketConnection(int fd) : m_fd(fd) {
    int one = 1;
    // Text commands are small and answered at once: do not hold them back.
    setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof(one));
}

CSocketConnection::~CSocketConnection() {
    CloseConnection();
    if (m_fd >= 0) close(m_fd);
}

CSocketConnection* CSocketConnection::ConnectLoopback(uint16_t port) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return nullptr;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0) {
        close(fd);
        return nullptr;
    }
    return new CSocketConnection(fd);
}

int CSocketConnection::ReceiveExactly(uint8_t* buffer, int count) {
    int done = 0;
    while (done < count) {
        ssize_t n = recv(m_fd, buffer + done, size_t(count - done), 0);
        if (n > 0) {
            done += int(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            return done == 0 && n == 0 ? 0 : -1;
        }
    }
    return done;
}

int CSocketConnection::SendPiece(const uint8_t* buffer, int count) {
    for (;;) {
        ssize_t n = send(m_fd, buffer, size_t(count), MSG_NOSIGNAL);
        if (n >= 0) return int(n);
        if (errno != EINTR) return -1;
    }
}

void CSocketConnection::CloseConnection() {
    if (!m_bClosed.exchange(true) && m_fd >= 0) shutdown(m_fd, SHUT_RDWR);
}

bool CSocketConnection::SendFrame(const CPacket& packet) {
    std::lock_guard<std::mutex> lock(m_sendMutex);
    if (m_bClosed) return false;
    return WriteFrame(packet, *this);
}

bool CSocketConnection::SendRaw(const uint8_t* data, size_t size) {
    std::lock_guard<std::mutex> lock(m_sendMutex);
    size_t done = 0;
    while (done < size && !m_bClosed) {
        int n = SendPiece(data + done, int(size - done));
        if (n <= 0) return false;
        done += size_t(n);
    }
    return done == size;
}

std::string CSocketConnection::PeerAddress() const {
    sockaddr_in a{};
    if (!SockName(m_fd, true, a)) return "";
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &a.sin_addr, text, sizeof(text));
    return text;
}

uint16_t CSocketConnection::PeerPort() const {
    sockaddr_in a{};
    return SockName(m_fd, true, a) ? ntohs(a.sin_port) : 0;
}

uint16_t CSocketConnection::LocalPort() const {
    sockaddr_in a{};
    return SockName(m_fd, false, a) ? ntohs(a.sin_port) : 0;
}

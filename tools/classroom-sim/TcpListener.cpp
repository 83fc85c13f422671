#include "TcpListener.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int kBacklog = 16;

}  // namespace

CTcpListener::CTcpListener(Handler handler) : m_handler(std::move(handler)) {}

CTcpListener::~CTcpListener() { Stop(); }

bool CTcpListener::Start(uint16_t port) {
    if (m_bRunning) return false;
    m_listenFd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_listenFd < 0) return false;
    int one = 1;
    setsockopt(m_listenFd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof(one));
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof(addr);
    if (bind(m_listenFd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 ||
        listen(m_listenFd, kBacklog) != 0 ||
        getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&addr), &len) != 0 ||
        pipe2(m_wakePipe, O_CLOEXEC) != 0) {
        close(m_listenFd);
        m_listenFd = -1;
        return false;
    }
    m_nPort = ntohs(addr.sin_port);
    m_bRunning = true;
    m_acceptThread = std::thread([this] { AcceptLoop(); });
    return true;
}

void CTcpListener::AcceptLoop() {
    for (;;) {
        pollfd fds[2] = {{m_listenFd, POLLIN, 0}, {m_wakePipe[0], POLLIN, 0}};
        int r = poll(fds, 2, -1);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0 || fds[1].revents) return;
        if (!(fds[0].revents & POLLIN)) continue;
        int fd = accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        ReapFinished();
        Launch(fd);
    }
}

void CTcpListener::Launch(int fd) {
    std::lock_guard<std::mutex> lock(m_mutex);
    Worker& w = m_workers.emplace_back();
    w.connection = std::make_shared<CSocketConnection>(fd);
    w.done = std::make_shared<std::atomic<bool>>(false);
    w.thread = std::thread([handler = m_handler, conn = w.connection, done = w.done] {
        handler(conn);
        conn->CloseConnection();
        *done = true;
    });
}

void CTcpListener::ReapFinished() {
    std::list<Worker> finished;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (auto it = m_workers.begin(); it != m_workers.end();) {
            auto next = std::next(it);
            if (*it->done) finished.splice(finished.end(), m_workers, it);
            it = next;
        }
    }
    for (auto& w : finished) w.thread.join();
}

void CTcpListener::CloseConnections() {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (auto& w : m_workers) w.connection->CloseConnection();
}

void CTcpListener::Stop() {
    if (!m_bRunning) return;
    m_bRunning = false;
    char wake = 1;
    ssize_t ignored = write(m_wakePipe[1], &wake, 1);
    (void)ignored;
    m_acceptThread.join();
    close(m_listenFd);
    close(m_wakePipe[0]);
    close(m_wakePipe[1]);
    m_listenFd = m_wakePipe[0] = m_wakePipe[1] = -1;
    std::list<Worker> workers;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        workers.swap(m_workers);
    }
    for (auto& w : workers) w.connection->CloseConnection();
    for (auto& w : workers) w.thread.join();
}

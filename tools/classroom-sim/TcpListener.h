#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

#include "SocketConnection.h"

// Accepts TCP connections on 127.0.0.1 and runs a handler for each on a thread of
// its own. Stop() ends the accepting, shuts every open connection down (so blocked
// reads return) and joins every thread: handlers must return once their connection
// fails, and must join any thread they started themselves before returning.
class CTcpListener {
  public:
    using Handler = std::function<void(std::shared_ptr<CSocketConnection>)>;

    explicit CTcpListener(Handler handler);
    ~CTcpListener();
    CTcpListener(const CTcpListener&) = delete;
    CTcpListener& operator=(const CTcpListener&) = delete;

    // Binds to 127.0.0.1:port (0 picks a free port) and starts accepting.
    bool Start(uint16_t port);
    void Stop();
    uint16_t Port() const { return m_nPort; }

    // Shuts every open connection down, leaving the listener running.
    void CloseConnections();

  private:
    struct Worker {
        std::shared_ptr<CSocketConnection> connection;
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };

    void AcceptLoop();
    void Launch(int fd);
    void ReapFinished();

    Handler m_handler;
    int m_listenFd = -1;
    int m_wakePipe[2] = {-1, -1};
    uint16_t m_nPort = 0;
    std::thread m_acceptThread;
    std::mutex m_mutex;
    std::list<Worker> m_workers;
    bool m_bRunning = false;
};

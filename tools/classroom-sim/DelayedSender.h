#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

// Sends text commands at given times, in the order they were posted, from a thread of
// its own, so that a lectern PC that answers late never holds up its reception. The
// thread starts with the first post and is joined by Stop (or the destructor); what
// is still waiting then is dropped, since the connection is going away.
class CDelayedSender {
  public:
    using Clock = std::chrono::steady_clock;
    using SendText = std::function<bool(const std::u16string& text)>;

    explicit CDelayedSender(SendText send) : m_send(std::move(send)) {}
    ~CDelayedSender() { Stop(); }
    CDelayedSender(const CDelayedSender&) = delete;
    CDelayedSender& operator=(const CDelayedSender&) = delete;

    // Sends the text at due or, when an earlier post is due later, right after it.
    // Ignored once stopped.
    void Post(Clock::time_point due, std::u16string text);
    void Stop();

    // Texts sent, and threads started (at most one).
    uint64_t Sent() const { return m_nSent.load(); }
    int ThreadsStarted() const { return m_nThreadsStarted.load(); }

  private:
    void Run();

    SendText m_send;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::pair<Clock::time_point, std::u16string>> m_queue;
    std::atomic<bool> m_bStop{false};
    std::atomic<uint64_t> m_nSent{0};
    std::atomic<int> m_nThreadsStarted{0};
    std::thread m_thread;
};

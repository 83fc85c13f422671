#include "DelayedSender.h"

void CDelayedSender::Post(Clock::time_point due, std::u16string text) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_bStop) return;
        m_queue.emplace_back(due, std::move(text));
        if (!m_thread.joinable()) {
            ++m_nThreadsStarted;
            m_thread = std::thread([this] { Run(); });
        }
    }
    m_wake.notify_all();
}

void CDelayedSender::Stop() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bStop = true;
        m_queue.clear();
    }
    m_wake.notify_all();
    if (m_thread.joinable()) m_thread.join();
}

void CDelayedSender::Run() {
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_bStop) {
        if (m_queue.empty()) {
            m_wake.wait(lock, [this] { return m_bStop || !m_queue.empty(); });
            continue;
        }
        const Clock::time_point due = m_queue.front().first;
        if (Clock::now() < due) {
            m_wake.wait_until(lock, due, [this] { return m_bStop.load(); });
            continue;
        }
        std::u16string text = std::move(m_queue.front().second);
        m_queue.pop_front();
        // Sent unlocked: posting goes on while a slow send is under way.
        lock.unlock();
        const bool sent = m_send(text);
        lock.lock();
        if (!sent) {
            // The connection is gone: later posts are dropped at once.
            m_bStop = true;
            m_queue.clear();
            break;
        }
        ++m_nSent;
    }
}

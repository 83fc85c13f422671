#include "remote/InputQueue.h"

#include <utility>

void CInputQueue::AppendKey(const KeyEventRecord& record) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_vKeys.push_back(record);
}

void CInputQueue::AppendMouse(const MouseEventRecord& record) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_vMouse.push_back(record);
}

void CInputQueue::QueuePacket(std::unique_ptr<CPacket> packet) {
    if (!packet) return;
    std::lock_guard<std::mutex> guard(m_lock);
    m_sendQueue.push_back(std::move(packet));
}

size_t CInputQueue::Drain(bool closing) {
    std::vector<KeyEventRecord> keys;
    std::vector<MouseEventRecord> mouse;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        keys.swap(m_vKeys);
        mouse.swap(m_vMouse);
    }
    // Records that arrive while the session closes would reach a lectern PC that no
    // longer expects them.
    if (closing) return 0;
    std::unique_ptr<CPacket> keyPacket, mousePacket;
    if (!keys.empty()) keyPacket = std::make_unique<CPacket>(keys);
    if (!mouse.empty()) mousePacket = std::make_unique<CPacket>(mouse);
    size_t queued = 0;
    std::lock_guard<std::mutex> guard(m_lock);
    for (std::unique_ptr<CPacket>* packet : {&keyPacket, &mousePacket}) {
        if (!*packet) continue;
        m_sendQueue.push_back(std::move(*packet));
        ++queued;
    }
    return queued;
}

std::unique_ptr<CPacket> CInputQueue::TakeNextPacket() {
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_sendQueue.empty()) return nullptr;
    std::unique_ptr<CPacket> packet = std::move(m_sendQueue.front());
    m_sendQueue.pop_front();
    return packet;
}

void CInputQueue::Clear() {
    std::vector<KeyEventRecord> keys;
    std::vector<MouseEventRecord> mouse;
    std::deque<std::unique_ptr<CPacket>> packets;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        keys.swap(m_vKeys);
        mouse.swap(m_vMouse);
        packets.swap(m_sendQueue);
    }
    // Freed outside the lock.
}

size_t CInputQueue::PendingKeys() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_vKeys.size();
}

size_t CInputQueue::PendingMouse() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_vMouse.size();
}

size_t CInputQueue::QueuedPackets() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_sendQueue.size();
}

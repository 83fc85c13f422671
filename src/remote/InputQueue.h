// The communication window's input lists and send queue. The viewer thread appends
// key and pointer records; the communication window's thread drains them into packets
// and sends what is queued. One lock guards all three and is held only for the list
// operations themselves: packets are built and sent outside it, so the viewer never
// waits for packing or for the network.
#pragma once

#include "protocol/Packet.h"

#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

class CInputQueue {
  public:
    void AppendKey(const KeyEventRecord& record);
    void AppendMouse(const MouseEventRecord& record);
    // Queues a packet for the sender (text commands that wait for the send timer).
    void QueuePacket(std::unique_ptr<CPacket> packet);

    // Moves every key record into one key packet and every pointer record into one
    // pointer packet and queues them, the key packet first. While the window is
    // closing the records are dropped instead. Returns the number of packets queued.
    size_t Drain(bool closing);
    // The oldest queued packet, or null; the caller owns it.
    std::unique_ptr<CPacket> TakeNextPacket();
    // Drops every record and queued packet.
    void Clear();

    size_t PendingKeys() const;
    size_t PendingMouse() const;
    size_t QueuedPackets() const;

  private:
    mutable std::mutex m_lock;
    std::vector<KeyEventRecord> m_vKeys;
    std::vector<MouseEventRecord> m_vMouse;
    std::deque<std::unique_ptr<CPacket>> m_sendQueue;
};

#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>

#include "EventLog.h"
#include "media/ScreenUpDecoder.h"
#include "protocol/Packet.h"

// Decodes the pad's screen-up frames on a thread of its own, in the order they came,
// so that the connection that received them goes on reading (and acknowledging) while
// a frame is decoded. A new screen size takes its turn in the same queue: the frames
// before it are decoded at the old size, those after it at the new one.
//
// Each decoded frame is reported as the event "screenup_decoded" (see EventLog.h).
// A frame that finds kMaxQueued items waiting is not decoded but reported as
// "screenup_dropped", so that a slow machine cannot make the queue grow without bound.
class CScreenUpWorker {
  public:
    static constexpr size_t kMaxQueued = 120;  // four seconds at 30 frames a second

    CScreenUpWorker(CScreenUpDecoder& decoder, CEventLog& log) : m_decoder(decoder), m_log(log) {}
    ~CScreenUpWorker() { Stop(); }
    CScreenUpWorker(const CScreenUpWorker&) = delete;
    CScreenUpWorker& operator=(const CScreenUpWorker&) = delete;

    void Configure(int conn, int width, int height);
    void Frame(int conn, const CPacket& frame);
    // Decodes what is queued, then ends the thread; a later item starts a new one.
    void Stop();

    // Threads started so far (one at a time).
    int ThreadsStarted() const { return m_nThreadsStarted.load(); }

  private:
    struct Item {
        int conn = 0;
        bool configure = false;
        int width = 0, height = 0;
        CPacket frame;
    };

    void Push(Item item);
    void Run();
    void Handle(const Item& item);

    CScreenUpDecoder& m_decoder;
    CEventLog& m_log;
    // Held while the thread is started or joined, so that the two never overlap.
    std::mutex m_lifeMutex;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Item> m_queue;
    std::atomic<bool> m_bStop{false};
    std::atomic<int> m_nThreadsStarted{0};
    std::thread m_thread;
};

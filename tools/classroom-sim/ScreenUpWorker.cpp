#include "ScreenUpWorker.h"

namespace {

constexpr char kRole[] = "lectern";

}  // namespace

void CScreenUpWorker::Configure(int conn, int width, int height) {
    Item item;
    item.conn = conn;
    item.configure = true;
    item.width = width;
    item.height = height;
    Push(std::move(item));
}

void CScreenUpWorker::Frame(int conn, const CPacket& frame) {
    Item item;
    item.conn = conn;
    item.frame = frame;
    Push(std::move(item));
}

void CScreenUpWorker::Push(Item item) {
    std::lock_guard<std::mutex> life(m_lifeMutex);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!item.configure && m_queue.size() >= kMaxQueued) {
            m_log.Emit("screenup_dropped", {{"role", kRole},
                                            {"conn", item.conn},
                                            {"frame", item.frame.m_nFrameNumber},
                                            {"queued", m_queue.size()}});
            return;
        }
        m_queue.push_back(std::move(item));
        m_bStop = false;
    }
    if (!m_thread.joinable()) {
        ++m_nThreadsStarted;
        m_thread = std::thread([this] { Run(); });
    }
    m_wake.notify_all();
}

void CScreenUpWorker::Stop() {
    std::lock_guard<std::mutex> life(m_lifeMutex);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bStop = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable()) m_thread.join();
}

void CScreenUpWorker::Run() {
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_bStop || !m_queue.empty(); });
        if (m_queue.empty()) return;  // stopped with nothing left
        Item item = std::move(m_queue.front());
        m_queue.pop_front();
        lock.unlock();
        Handle(item);
        lock.lock();
    }
}

void CScreenUpWorker::Handle(const Item& item) {
    if (item.configure) {
        m_decoder.Configure(item.width, item.height);
        return;
    }
    ScreenUpFrameInfo info;
    const CScreenUpDecoder::Result r = m_decoder.Decode(item.frame, &info);
    m_log.Emit("screenup_decoded", {{"role", kRole},
                                    {"conn", item.conn},
                                    {"frame", item.frame.m_nFrameNumber},
                                    {"result", CScreenUpDecoder::ResultName(r)},
                                    {"tiles", info.indices.size()},
                                    {"bytes", info.compressedBytes},
                                    {"block", info.blockLength},
                                    {"jpeg", info.imageBytes},
                                    {"strip_w", info.stripWidth},
                                    {"strip_h", info.stripHeight},
                                    {"indices", CScreenUpDecoder::IndicesText(info.indices)},
                                    {"decode_us", info.decodeMicros},
                                    {"geometry", info.geometry}});
}

#include "LecternMedia.h"

#include <chrono>

#include "media/SyntheticDesktop.h"
#include "protocol/Packet.h"

namespace {

constexpr char kRole[] = "lectern";
// How long a stream waits for an acknowledgement before looking again.
constexpr auto kAckWait = std::chrono::milliseconds(500);

}  // namespace

struct CLecternMedia::Stream {
    int conn = 0;
    PacketSender send;
    std::mutex mutex;
    std::condition_variable wake;
    bool stop = false;
    bool screenChanged = true;
    LecternScreen screen;
    std::unique_ptr<CSyntheticDesktop> desktop;
    std::unique_ptr<CFrameEncoder> encoder;
    std::thread thread;
};

CLecternMedia::CLecternMedia(LecternMediaOptions options, CEventLog& log)
    : m_options(options), m_log(log) {}

CLecternMedia::~CLecternMedia() { StopAll(); }

LecternMediaHooks CLecternMedia::Hooks() {
    LecternMediaHooks h;
    h.remoteStart = [this](int conn, PacketSender send, const LecternScreen& screen) {
        Start(conn, std::move(send), screen);
    };
    h.remoteStop = [this](int conn) { Stop(conn); };
    h.frameAck = [this](int conn, int32_t frame) { Acknowledge(conn, frame); };
    h.monitorChanged = [this](int conn, const LecternScreen& s) { SwitchMonitor(conn, s); };
    h.screenUpParams = [this](int, int width, int height) { m_screenUp.Configure(width, height); };
    h.screenUpFrame = [this](int, const CPacket& frame) { Decode(frame); };
    return h;
}

void CLecternMedia::Start(int conn, PacketSender send, const LecternScreen& screen) {
    Stop(conn);
    auto s = std::make_unique<Stream>();
    s->conn = conn;
    s->send = std::move(send);
    s->screen = screen;
    FrameEncoderOptions eo;
    eo.jpegQuality = m_options.jpegQuality;
    eo.maxInFlight = m_options.maxInFlight;
    s->encoder = std::make_unique<CFrameEncoder>(eo);
    s->encoder->SetLie(m_options.lie);
    Stream* raw = s.get();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_streams[conn] = std::move(s);
    }
    raw->thread = std::thread([this, raw] { Run(*raw); });
    m_log.Emit("stream_start", {{"role", kRole},
                                {"conn", conn},
                                {"monitor", screen.monitor},
                                {"width", screen.rect.Width()},
                                {"height", screen.rect.Height()}});
}

void CLecternMedia::Stop(int conn) {
    std::unique_ptr<Stream> s;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto it = m_streams.find(conn);
        if (it == m_streams.end()) return;
        s = std::move(it->second);
        m_streams.erase(it);
    }
    {
        std::lock_guard<std::mutex> lock(s->mutex);
        s->stop = true;
    }
    s->wake.notify_all();
    if (s->thread.joinable()) s->thread.join();
    m_log.Emit("stream_stop", {{"role", kRole}, {"conn", conn}});
}

void CLecternMedia::StopAll() {
    std::vector<int> conns;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (auto& [conn, s] : m_streams) conns.push_back(conn);
    }
    for (int conn : conns) Stop(conn);
}

void CLecternMedia::Acknowledge(int conn, int32_t frame) {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_streams.find(conn);
    if (it == m_streams.end()) return;
    Stream& s = *it->second;
    {
        std::lock_guard<std::mutex> streamLock(s.mutex);
        s.encoder->OnAcknowledged(frame);
    }
    s.wake.notify_all();
}

void CLecternMedia::SwitchMonitor(int conn, const LecternScreen& screen) {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_streams.find(conn);
    if (it == m_streams.end()) return;
    Stream& s = *it->second;
    {
        std::lock_guard<std::mutex> streamLock(s.mutex);
        s.screen = screen;
        s.screenChanged = true;
    }
    s.wake.notify_all();
}

void CLecternMedia::Decode(const CPacket& frame) {
    CScreenUpDecoder::Result r = m_screenUp.Decode(frame);
    m_log.Emit("screenup_decoded", {{"role", kRole},
                                    {"frame", frame.m_nFrameNumber},
                                    {"result", CScreenUpDecoder::ResultName(r)},
                                    {"tiles", m_screenUp.LastTileCount()}});
}

void CLecternMedia::Run(Stream& s) {
    using Clock = std::chrono::steady_clock;
    const auto interval = std::chrono::milliseconds(m_options.frameIntervalMs);
    auto next = Clock::now();
    std::unique_lock<std::mutex> lock(s.mutex);
    while (!s.stop) {
        if (s.screenChanged) {
            // Each monitor shows its own desktop; a new one starts with every tile.
            s.desktop = std::make_unique<CSyntheticDesktop>(
                s.screen.rect.Width(), s.screen.rect.Height(), s.screen.monitor - 1);
            TileGrid grid{s.screen.rect.Width(), s.screen.rect.Height(), s.screen.tileWidth,
                          s.screen.tileHeight};
            if (grid.IsValid()) s.desktop->SetGrid(grid);
            s.screenChanged = false;
        }
        auto now = Clock::now();
        if (!s.encoder->CanSend()) {
            s.wake.wait_for(lock, kAckWait);
            continue;
        }
        if (now < next) {
            s.wake.wait_until(lock, next);
            continue;
        }
        s.desktop->Step();
        CPacket packet;
        if (!s.encoder->EncodeFrame(*s.desktop, s.desktop->TakeChangedTiles(), packet)) break;
        lock.unlock();
        bool sent = s.send(packet);
        lock.lock();
        if (!sent) break;
        next = now + interval;
    }
}

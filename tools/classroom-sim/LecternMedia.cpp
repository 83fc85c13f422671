#include "LecternMedia.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "media/PngWriter.h"
#include "media/SyntheticDesktop.h"
#include "protocol/Packet.h"

namespace {

constexpr char kRole[] = "lectern";
// How long a stream waits for an acknowledgement before looking again.
constexpr auto kAckWait = std::chrono::milliseconds(500);

}  // namespace

struct CLecternMedia::Stream {
    int conn = 0;
    uint64_t serial = 0;  // which start this is; the newest one keeps the reference
    PacketSender send;
    std::mutex mutex;
    std::condition_variable wake;
    bool stop = false;
    bool screenChanged = true;
    LecternScreen screen;
    std::unique_ptr<CSyntheticDesktop> desktop;
    std::unique_ptr<CFrameEncoder> encoder;
    // Tiles the pad has not been able to place yet (held back by a lie or by the strip's
    // width limit), by index; they go out with the next honest frame.
    std::vector<bool> pending;
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
    h.screenUpParams = [this](int conn, int width, int height) {
        m_screenUpWorker.Configure(conn, width, height);
    };
    h.screenUpFrame = [this](int conn, const CPacket& frame) {
        m_screenUpWorker.Frame(conn, frame);
    };
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
    s->encoder->SetLie(m_options.lie, m_options.lieEvery);
    Stream* raw = s.get();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        raw->serial = ++m_nStreamsStarted;
        m_streams[conn] = std::move(s);
    }
    {
        std::lock_guard<std::mutex> lock(m_referenceMutex);
        m_nReferenceStream = raw->serial;
        m_bReferenceValid = false;
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
    m_screenUpWorker.Stop();
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
            s.pending.assign(size_t(std::max(s.desktop->Grid().Count(), 0)), false);
            ResetReference(s);
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
        if (!m_options.staticScreen) s.desktop->Step();
        std::vector<int32_t> tiles = s.desktop->TakeChangedTiles();
        if (!s.encoder->NextFrameLies()) {
            for (int32_t t : tiles) s.pending[size_t(t)] = true;
            tiles.clear();
            for (size_t t = 0; t < s.pending.size(); ++t) {
                if (s.pending[t]) tiles.push_back(int32_t(t));
            }
            s.pending.assign(s.pending.size(), false);
        }
        if (m_options.staticScreen && tiles.empty()) {
            // Nothing to show: sleep until there is, so that the pad's idle load can be
            // measured without the simulator adding any of its own.
            s.wake.wait(lock, [&s] { return s.stop || s.screenChanged; });
            continue;
        }
        if (!SendFrame(s, tiles, lock)) break;
        next = now + interval;
    }
}

// Called with the stream locked; unlocks it while sending.
bool CLecternMedia::SendFrame(Stream& s, const std::vector<int32_t>& tiles,
                              std::unique_lock<std::mutex>& lock) {
    CPacket packet;
    size_t taken = 0;
    if (!s.encoder->EncodeFrame(*s.desktop, tiles, packet, &taken)) return false;
    const bool lied = s.encoder->LastFrameLied();
    for (size_t i = lied ? 0 : taken; i < tiles.size(); ++i) {
        if (tiles[i] >= 0 && size_t(tiles[i]) < s.pending.size())
            s.pending[size_t(tiles[i])] = true;
    }
    // Placed before sending: whoever sees the pad react to the frame finds it in the
    // reference already.
    if (!lied) PlaceOnReference(s, std::vector<int32_t>(tiles.begin(), tiles.begin() + taken));
    lock.unlock();
    const bool sent = s.send(packet);
    lock.lock();
    if (sent && lied) {
        m_log.Emit("frame_lie", {{"role", kRole},
                                 {"conn", s.conn},
                                 {"frame", packet.m_nFrameNumber},
                                 {"lie", FrameBlockLieName(s.encoder->Lie())}});
    }
    return sent;
}

// Called with the stream locked, after a new desktop was made.
void CLecternMedia::ResetReference(const Stream& s) {
    std::lock_guard<std::mutex> lock(m_referenceMutex);
    if (s.serial != m_nReferenceStream) return;
    m_nReferenceWidth = s.desktop->Width();
    m_nReferenceHeight = s.desktop->Height();
    // The pad starts from black; tiles it is never sent (a remainder narrower than a
    // tile) stay black there too.
    m_vReference.assign(
        size_t(m_nReferenceWidth) * size_t(m_nReferenceHeight) * CSyntheticDesktop::kBytesPerPixel,
        0);
    m_bReferenceValid = false;
}

// Called with the stream locked.
void CLecternMedia::PlaceOnReference(const Stream& s, const std::vector<int32_t>& tiles) {
    std::lock_guard<std::mutex> lock(m_referenceMutex);
    if (s.serial != m_nReferenceStream) return;
    const CSyntheticDesktop& d = *s.desktop;
    const TileGrid& grid = d.Grid();
    const size_t stride = d.Stride();
    for (int32_t index : tiles) {
        if (index < 0 || index >= grid.Count()) continue;
        const int left = grid.TileLeft(index);
        const int top = grid.TileTop(index);
        const int width = std::min(grid.tileWidth, d.Width() - left);
        const int height = std::min(grid.tileHeight, d.Height() - top);
        if (width <= 0 || height <= 0) continue;
        const size_t offset = size_t(left) * CSyntheticDesktop::kBytesPerPixel;
        for (int y = 0; y < height; ++y) {
            const size_t row = stride * size_t(top + y) + offset;
            std::memcpy(&m_vReference[row], d.Pixels() + row,
                        size_t(width) * CSyntheticDesktop::kBytesPerPixel);
        }
    }
    m_bReferenceValid = true;
}

bool CLecternMedia::StreamedPicture(std::vector<uint8_t>& rgb, int& width, int& height) const {
    std::lock_guard<std::mutex> lock(m_referenceMutex);
    if (!m_bReferenceValid) return false;
    rgb = m_vReference;
    width = m_nReferenceWidth;
    height = m_nReferenceHeight;
    return true;
}

bool CLecternMedia::WriteStreamedPng(const std::string& path) const {
    std::vector<uint8_t> rgb;
    int width = 0, height = 0;
    if (!StreamedPicture(rgb, width, height)) return false;
    return WritePngFile(path, rgb.data(), width, height,
                        size_t(width) * CSyntheticDesktop::kBytesPerPixel);
}

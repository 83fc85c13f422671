// Speed of the classroom simulator's media paths on one core: it must never be the
// bottleneck of a measurement of the pad (at least 60 frames a second each way).
// Built only where the simulator library is (native Linux builds).
#if __has_include("media/FrameEncoder.h")
#include <benchmark/benchmark.h>

#include <vector>

#include "media/FrameEncoder.h"
#include "media/ScreenUpDecoder.h"
#include "media/SyntheticDesktop.h"
#include "protocol/Packet.h"

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr int kPadZlibLevel = 9;  // what the pad uses for its screen-up frames
constexpr int kRecordedFrames = 60;

// Lectern PC side: animate, find the changed tiles (about a tenth), encode the frame.
void BM_RemoteFrameProduction1080p(benchmark::State& state) {
    CSyntheticDesktop desktop(kWidth, kHeight);
    CFrameEncoder encoder;
    desktop.TakeChangedTiles();
    size_t tiles = 0, bytes = 0;
    for (auto _ : state) {
        desktop.Step();
        const std::vector<int32_t> changed = desktop.TakeChangedTiles();
        CPacket packet;
        encoder.EncodeFrame(desktop, changed, packet);
        encoder.OnAcknowledged(packet.m_nFrameNumber);
        tiles += changed.size();
        bytes += packet.m_vData.size();
        benchmark::DoNotOptimize(packet.m_vData.data());
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["tiles_per_frame"] = double(tiles) / double(state.iterations());
    state.counters["tile_share"] =
        double(tiles) / double(state.iterations()) / desktop.Grid().Count();
    state.counters["bytes_per_frame"] = double(bytes) / double(state.iterations());
    state.counters["frames_per_s"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RemoteFrameProduction1080p)->Unit(benchmark::kMillisecond);

// Screen-up frames as the pad makes them (about a tenth of the tiles, zlib level 9),
// recorded once, then decoded into the picture of the pad's screen.
void BM_ScreenUpDecoding1080p(benchmark::State& state) {
    CSyntheticDesktop desktop(kWidth, kHeight, 1);
    FrameEncoderOptions options;
    options.zlibLevel = kPadZlibLevel;
    options.maxInFlight = 0;
    CFrameEncoder encoder(options);
    desktop.TakeChangedTiles();
    std::vector<CPacket> frames(kRecordedFrames);
    for (CPacket& frame : frames) {
        desktop.Step();
        encoder.EncodeFrame(desktop, desktop.TakeChangedTiles(), frame);
    }
    CScreenUpDecoder decoder;
    decoder.Configure(kWidth, kHeight);
    size_t next = 0;
    for (auto _ : state) {
        if (decoder.Decode(frames[next]) != CScreenUpDecoder::Result::kOk) {
            state.SkipWithError("frame did not decode");
            break;
        }
        next = (next + 1) % frames.size();
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["frames_per_s"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ScreenUpDecoding1080p)->Unit(benchmark::kMillisecond);

}  // namespace
#endif

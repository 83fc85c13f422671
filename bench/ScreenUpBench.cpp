// The pad's cost of one screen-up capture cycle at 1920 x 1080 (compare every tile,
// copy, encode, assemble, deflate) with nothing, about a tenth, or all of the tiles
// changed, against the floor of the same work done bare: one read of the picture
// against the last one sent, a libjpeg-turbo encode of the same strip at quality 70 and
// zlib level 9 of the same block. Built only where the simulator's media library is,
// whose decoder checks that the frames rebuild the picture.
#if __has_include("media/ScreenUpDecoder.h") && __has_include(<turbojpeg.h>)
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "../tests/support/TurboJpegEncoder.h"
#include "media/ScreenUpDecoder.h"
#include "media/SyntheticDesktop.h"
#include "protocol/Packet.h"
#include "remote/FrameBlock.h"
#include "screenup/ScreenUpEngine.h"
#include "screenup/ScreenUpGeometry.h"

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr int kRepetitions = 7;
// Mean difference per colour byte above which the frames do not show the picture
// (quality 70 stays far below it).
constexpr double kMaxMeanError = 6.0;

std::vector<uint8_t> Bgrx(const CSyntheticDesktop& desktop) {
    std::vector<uint8_t> out(size_t(kWidth) * kHeight * 4);
    const uint8_t* rgb = desktop.Pixels();
    for (size_t i = 0, n = size_t(kWidth) * kHeight; i < n; ++i) {
        out[i * 4] = rgb[i * 3 + 2];
        out[i * 4 + 1] = rgb[i * 3 + 1];
        out[i * 4 + 2] = rgb[i * 3];
        out[i * 4 + 3] = 0;
    }
    return out;
}

PixelView View(std::vector<uint8_t>& bytes) {
    return PixelView{bytes.data(), kWidth, kHeight, ptrdiff_t(kWidth) * 4};
}

// Two pictures that differ in no tile, in about a tenth of them (one step of the
// simulated desktop), or in all of them (another desktop's colours).
struct Pictures {
    std::vector<uint8_t> a, b;
};

std::vector<int32_t> TilesWhere(bool changed, const Pictures& p, const TileGrid& grid) {
    std::vector<int32_t> tiles;
    const size_t rowBytes = size_t(grid.tileWidth) * 4;
    for (int32_t t = 0; t < grid.Count(); ++t) {
        bool differs = false;
        for (int y = 0; y < grid.tileHeight && !differs; ++y) {
            const size_t at = (size_t(grid.TileTop(t) + y) * kWidth + grid.TileLeft(t)) * 4;
            differs = std::memcmp(&p.a[at], &p.b[at], rowBytes) != 0;
        }
        if (differs == changed) tiles.push_back(t);
    }
    return tiles;
}

std::vector<int32_t> ChangedTiles(const Pictures& p, const TileGrid& grid) {
    return TilesWhere(true, p, grid);
}

std::vector<int32_t> UnchangedTiles(const Pictures& p, const TileGrid& grid) {
    return TilesWhere(false, p, grid);
}

Pictures MakePictures(int percent) {
    CSyntheticDesktop desktop(kWidth, kHeight);
    Pictures p;
    p.a = Bgrx(desktop);
    if (percent == 0) {
        p.b = p.a;
    } else if (percent < 100) {
        desktop.Step();
        p.b = Bgrx(desktop);
    } else {
        p.b = Bgrx(CSyntheticDesktop(kWidth, kHeight, 1));
        // The few tiles both colourings share get one pixel changed.
        const TileGrid grid = ScreenUpGrid(kWidth, kHeight);
        for (int32_t t : UnchangedTiles(p, grid))
            p.b[(size_t(grid.TileTop(t)) * kWidth + grid.TileLeft(t)) * 4] ^= 1;
    }
    return p;
}

class CCountingSink : public IFrameSink {
  public:
    bool HandOver(const CPacket& frame, bool) override {
        bytes += frame.m_vData.size();
        ++frames;
        last.push_back(frame);
        return true;
    }
    size_t bytes = 0;
    size_t frames = 0;
    std::vector<CPacket> last;
};

// Whether the frames handed over rebuild the picture on the lectern PC's side.
bool RebuildsPicture(const std::vector<CPacket>& frames, const std::vector<uint8_t>& bgrx) {
    CScreenUpDecoder decoder;
    decoder.Configure(kWidth, kHeight);
    for (const CPacket& frame : frames)
        if (decoder.Decode(frame) != CScreenUpDecoder::Result::kOk) return false;
    const std::vector<uint8_t> rgb = decoder.Picture();
    double error = 0;
    for (size_t i = 0, n = size_t(kWidth) * kHeight; i < n; ++i)
        for (int c = 0; c < 3; ++c)
            error += std::abs(int(rgb[i * 3 + c]) - int(bgrx[i * 4 + 2 - c]));
    return error / (double(kWidth) * kHeight * 3) < kMaxMeanError;
}

void BM_ScreenUpCycle(benchmark::State& state) {
    Pictures pictures = MakePictures(int(state.range(0)));
    CTurboJpegEncoder encoder;
    CScreenUpEngine engine(kWidth, kHeight, encoder);
    CCountingSink sink;
    engine.RunCycle(View(pictures.a), sink);
    if (!RebuildsPicture(sink.last, pictures.a)) state.SkipWithError("frames do not rebuild");
    bool showB = true;
    sink = CCountingSink();
    for (auto _ : state) {
        // Full refreshes are the all-changed case's business; keep them out of the
        // others' times.
        if ((engine.Cycles() + 1) % CScreenUpEngine::kFullRefreshPeriod == 0) {
            state.PauseTiming();
            engine.RunCycle(View(showB ? pictures.b : pictures.a), sink);
            showB = !showB;
            sink = CCountingSink();
            state.ResumeTiming();
        }
        engine.RunCycle(View(showB ? pictures.b : pictures.a), sink);
        if (state.range(0) > 0) showB = !showB;
        sink.last.clear();
    }
    state.counters["tiles"] = double(ChangedTiles(pictures, engine.Grid()).size());
    state.counters["frame_kB"] = sink.frames ? double(sink.bytes) / sink.frames / 1024 : 0;
}
BENCHMARK(BM_ScreenUpCycle)
    ->Arg(0)
    ->Arg(10)
    ->Arg(100)
    ->Repetitions(kRepetitions)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond);

// The bare read of a picture against the last one sent. When the screen changes the
// cycles here alternate between two pictures, so three screens' worth of bytes pass
// through the cache; the pass does the same, over identical bytes so that no
// comparison stops early.
class CComparePass {
  public:
    CComparePass(const std::vector<uint8_t>& picture, bool alternate)
        : m_vFirst(picture), m_vSecond(picture), m_vLast(picture), m_bAlternate(alternate) {}
    int Run() {
        m_bSecond = m_bAlternate && !m_bSecond;
        const std::vector<uint8_t>& now = m_bSecond ? m_vSecond : m_vFirst;
        return std::memcmp(now.data(), m_vLast.data(), now.size());
    }

  private:
    std::vector<uint8_t> m_vFirst, m_vSecond, m_vLast;
    bool m_bAlternate;
    bool m_bSecond = false;
};

// The floor: read the picture once, encode the strip of the changed tiles and deflate
// its block, nothing else.
void BM_ScreenUpFloor(benchmark::State& state) {
    Pictures pictures = MakePictures(int(state.range(0)));
    const TileGrid grid = ScreenUpGrid(kWidth, kHeight);
    const std::vector<int32_t> tiles = ChangedTiles(pictures, grid);
    const size_t rowBytes = size_t(grid.tileWidth) * 4;
    std::vector<uint8_t> strip(rowBytes * tiles.size() * grid.tileHeight);
    for (size_t k = 0; k < tiles.size(); ++k)
        for (int y = 0; y < grid.tileHeight; ++y)
            std::memcpy(
                &strip[(size_t(y) * tiles.size() + k) * rowBytes],
                &pictures
                     .b[(size_t(grid.TileTop(tiles[k]) + y) * kWidth + grid.TileLeft(tiles[k])) *
                        4],
                rowBytes);
    const PixelView view{strip.data(), int(tiles.size()) * grid.tileWidth, grid.tileHeight,
                         ptrdiff_t(rowBytes * tiles.size())};
    CComparePass pass(pictures.a, !tiles.empty());
    CTurboJpegEncoder encoder;
    std::vector<uint8_t> jpeg, block, compressed;
    for (auto _ : state) {
        benchmark::DoNotOptimize(pass.Run());
        if (tiles.empty()) continue;
        encoder.EncodeJpeg(view, CScreenUpEngine::kJpegQuality, jpeg);
        block.clear();
        AppendFrameBlock(block, tiles.data(), tiles.size(), jpeg.data(), jpeg.size());
        uLongf size = compressBound(uLong(block.size()));
        compressed.resize(size);
        compress2(compressed.data(), &size, block.data(), uLong(block.size()),
                  CScreenUpEngine::kZlibLevel);
        benchmark::DoNotOptimize(compressed.data());
    }
    state.counters["tiles"] = double(tiles.size());
}
BENCHMARK(BM_ScreenUpFloor)
    ->Arg(0)
    ->Arg(10)
    ->Arg(100)
    ->Repetitions(kRepetitions)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond);

}  // namespace
#endif

// The pad's cost of showing one remote frame (inflate, read, decode, place) against the
// floor of the same work done bare: zlib inflate of the block and a libjpeg-turbo
// decode of the strip. Built only where the simulator's media library is.
#if __has_include("media/FrameEncoder.h")
#include <benchmark/benchmark.h>
#include <turbojpeg.h>
#include <zlib.h>

#include <vector>

#include "media/FrameEncoder.h"
#include "media/SyntheticDesktop.h"
#include "media/TurboJpegDecoder.h"
#include "protocol/Packet.h"
#include "remote/FrameApplier.h"
#include "remote/FrameBlock.h"

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

// A 1920 x 1080 frame carrying every tile, or about a tenth of them.
CPacket MakeFrame(bool allTiles, TileGrid& grid) {
    CSyntheticDesktop desktop(kWidth, kHeight);
    grid = desktop.Grid();
    std::vector<int32_t> tiles;
    if (allTiles) {
        for (int32_t i = 0; i < grid.Count(); ++i) tiles.push_back(i);
    } else {
        desktop.TakeChangedTiles();
        desktop.Step();
        tiles = desktop.TakeChangedTiles();
    }
    CFrameEncoder encoder;
    CPacket packet;
    encoder.EncodeFrame(desktop, tiles, packet);
    return packet;
}

void BM_FrameApply(benchmark::State& state) {
    TileGrid grid;
    const CPacket frame = MakeFrame(state.range(0) == 100, grid);
    CFrameApplier applier;
    CTurboJpegDecoder decoder;
    std::vector<uint8_t> buffer(size_t(kWidth) * kHeight * 4);
    PixelView target{buffer.data(), kWidth, kHeight, ptrdiff_t(kWidth) * 4};
    const FrameGeometry geometry{grid.tileWidth, grid.tileHeight, kWidth};
    for (auto _ : state) {
        if (!applier.Prepare(frame, geometry, decoder)) state.SkipWithError("frame not placed");
        benchmark::DoNotOptimize(applier.PlaceTiles(target));
    }
    state.counters["tiles"] = double(applier.TileCount());
}
BENCHMARK(BM_FrameApply)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond);

// The floor: inflate the same block and decode the same strip, nothing else.
void BM_FrameApplyFloor(benchmark::State& state) {
    TileGrid grid;
    const CPacket frame = MakeFrame(state.range(0) == 100, grid);
    std::vector<uint8_t> block(size_t(frame.m_nUncompressedLength));
    tjhandle handle = tjInitDecompress();
    std::vector<uint8_t> strip;
    for (auto _ : state) {
        uLongf length = uLongf(block.size());
        uncompress(block.data(), &length, frame.m_vData.data(), uLong(frame.m_vData.size()));
        FrameBlockView view;
        ParseFrameBlock(block.data(), block.size(), view);
        int width = 0, height = 0, sub = 0, space = 0;
        tjDecompressHeader3(handle, view.image, view.imageLength, &width, &height, &sub, &space);
        strip.resize(size_t(width) * height * 4);
        tjDecompress2(handle, view.image, view.imageLength, strip.data(), width, width * 4, height,
                      TJPF_BGRX, TJFLAG_FASTDCT);
        benchmark::DoNotOptimize(strip.data());
    }
    tjDestroy(handle);
}
BENCHMARK(BM_FrameApplyFloor)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond);

}  // namespace
#endif

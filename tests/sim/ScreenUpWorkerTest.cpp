// The screen-up decoding thread: frames and size changes in arrival order, everything
// queued decoded by the time Stop returns, one thread at a time.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ScreenUpFrames.h"
#include "ScreenUpWorker.h"

namespace {

using namespace screenup_frames;

struct Screen {
    int width, height;
};

TEST(ScreenUpWorker, DecodesInArrivalOrderAcrossSizeChanges) {
    CEventLog log;
    CScreenUpDecoder decoder;
    CScreenUpWorker worker(decoder, log);
    EXPECT_EQ(0, worker.ThreadsStarted());
    // Each frame fits the size announced just before it, not the one before that.
    const Screen screens[] = {{1024, 768}, {1920, 1080}, {1366, 768}, {1024, 768}};
    std::vector<int32_t> numbers;
    CFrameEncoder encoder(FrameEncoderOptions{70, 1, 0, 0});
    for (const Screen& s : screens) {
        const TileGrid grid = TileGrid::ForScreen(s.width, s.height);
        CSyntheticDesktop desktop(s.width, s.height);
        worker.Configure(1, s.width, s.height);
        for (int n = 0; n < 3; ++n) {
            const CPacket f = EncodeTiles(encoder, desktop, grid, Tiles(grid, n + 1));
            numbers.push_back(f.m_nFrameNumber);
            worker.Frame(1, f);
        }
    }
    worker.Stop();  // decodes what is still queued
    std::vector<int32_t> decoded;
    for (const SimEvent& e : log.Events()) {
        ASSERT_EQ("screenup_decoded", e.kind);
        EXPECT_EQ("ok", e.Text("geometry")) << "frame " << e.Int("frame");
        EXPECT_EQ(1, e.Int("conn"));
        decoded.push_back(int32_t(e.Int("frame")));
    }
    EXPECT_EQ(numbers, decoded);
    EXPECT_EQ(1, worker.ThreadsStarted());
    EXPECT_EQ(1024, decoder.Grid().width);
    EXPECT_EQ(numbers.size(), decoder.FramesDecoded());
}

TEST(ScreenUpWorker, StartsAgainAfterStop) {
    CEventLog log;
    CScreenUpDecoder decoder;
    CScreenUpWorker worker(decoder, log);
    const TileGrid grid = TileGrid::ForScreen(64, 48);
    CSyntheticDesktop desktop(64, 48);
    CFrameEncoder encoder(FrameEncoderOptions{70, 1, 0, 0});
    worker.Frame(2, EncodeTiles(encoder, desktop, grid, {0}));  // before any size
    worker.Stop();
    worker.Stop();  // twice is harmless
    worker.Configure(2, 64, 48);
    worker.Frame(2, EncodeTiles(encoder, desktop, grid, {0}));
    worker.Stop();
    const std::vector<SimEvent> events = log.Events();
    ASSERT_EQ(2u, events.size());
    EXPECT_EQ("not-configured", events[0].Text("geometry"));
    EXPECT_EQ("not_configured", events[0].Text("result"));
    EXPECT_EQ("ok", events[1].Text("geometry"));
    EXPECT_EQ(2, worker.ThreadsStarted());
}

}  // namespace

// The remote-control stream as a pad sees it over the socket: lying frames among
// honest ones, a desktop that stands still, and the reference picture the lectern PC
// keeps of what the pad must be showing.
#include <turbojpeg.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "FramePacket.h"
#include "LecternFixture.h"
#include "media/FrameEncoder.h"
#include "remote/FrameBlock.h"
#include "remote/TileGrid.h"

namespace {

// What became of a frame on the pad's side.
enum class Placed { kPlaced, kNotInflated, kBadBlock, kBadIndex, kBadJpeg };

const char* PlacedName(Placed p) {
    switch (p) {
        case Placed::kPlaced:
            return "placed";
        case Placed::kNotInflated:
            return "not inflated";
        case Placed::kBadBlock:
            return "bad block";
        case Placed::kBadIndex:
            return "bad index";
        default:
            return "bad jpeg";
    }
}

// The pad's picture, rebuilt the way the viewer does it: a frame is placed whole or
// not at all, its tiles side by side in the strip.
struct PadPicture {
    TileGrid grid;
    std::vector<uint8_t> rgb;
    size_t lastTileCount = 0;

    explicit PadPicture(const TileGrid& g)
        : grid(g), rgb(size_t(g.width) * size_t(g.height) * 3, 0) {}

    Placed Place(const CPacket& frame) {
        lastTileCount = 0;
        std::vector<uint8_t> block;
        if (!InflateFramePacket(frame, block)) return Placed::kNotInflated;
        FrameBlockView view;
        if (!ParseFrameBlock(block.data(), block.size(), view)) return Placed::kBadBlock;
        lastTileCount = view.indices.size();
        for (int32_t index : view.indices)
            if (index < 0 || index >= grid.Count()) return Placed::kBadIndex;
        if (view.indices.empty())
            return view.imageLength == 0 ? Placed::kPlaced : Placed::kBadBlock;
        tjhandle h = tjInitDecompress();
        int w = 0, ht = 0, sub = 0, cs = 0;
        std::vector<uint8_t> strip;
        bool ok = tjDecompressHeader3(h, view.image, (unsigned long)view.imageLength, &w, &ht, &sub,
                                      &cs) == 0 &&
                  w == int(view.indices.size()) * grid.tileWidth && ht == grid.tileHeight;
        if (ok) {
            strip.resize(size_t(w) * size_t(ht) * 3);
            ok = tjDecompress2(h, view.image, (unsigned long)view.imageLength, strip.data(), w, 0,
                               ht, TJPF_RGB, 0) == 0;
        }
        tjDestroy(h);
        if (!ok) return Placed::kBadJpeg;
        for (size_t i = 0; i < view.indices.size(); ++i) {
            const int x0 = grid.TileLeft(view.indices[i]), y0 = grid.TileTop(view.indices[i]);
            for (int y = 0; y < grid.tileHeight && y0 + y < grid.height; ++y) {
                const int cols = std::min(grid.tileWidth, grid.width - x0);
                std::memcpy(&rgb[(size_t(y0 + y) * grid.width + x0) * 3],
                            &strip[(size_t(y) * w + i * grid.tileWidth) * 3], size_t(cols) * 3);
            }
        }
        return Placed::kPlaced;
    }
};

// Peak signal-to-noise ratio in dB; JPEG at quality 70 stays well above 30.
double Psnr(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    double sum = 0;
    for (size_t i = 0; i < a.size(); ++i) sum += (double(a[i]) - b[i]) * (double(a[i]) - b[i]);
    const double mse = sum / double(a.size());
    return mse == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}
constexpr double kJpegPsnr = 30.0;

struct LecternStream : LecternFixture {
    const TileGrid grid = TileGrid::ForScreen(1920, 1080);

    void StartStream(const LecternMediaOptions& media, int heartbeatMs = 0) {
        LecternOptions lectern;
        lectern.heartbeatMs = heartbeatMs;
        ClassroomOptions o = Options(lectern);
        o.media = media;
        Start(o);
        Greet();
        ASSERT_TRUE(pad->ReadCommand(kCmdScreenOrigin, kLongWait).has_value());
        ASSERT_TRUE(pad->Send(kCmdRemoteStart));
    }

    void StopStream() {
        ASSERT_TRUE(pad->Send(kCmdRemoteEnd));
        ASSERT_TRUE(classroom->Log().WaitFor(CEventLog::Kind("stream_stop"), kLongWait));
    }

    // The lectern PC's reference next to the pad's picture.
    void ExpectReferenceMatches(const PadPicture& picture) {
        std::vector<uint8_t> reference;
        int width = 0, height = 0;
        ASSERT_TRUE(classroom->Media()->StreamedPicture(reference, width, height));
        ASSERT_EQ(grid.width, width);
        ASSERT_EQ(grid.height, height);
        ASSERT_EQ(picture.rgb.size(), reference.size());
        EXPECT_GT(Psnr(picture.rgb, reference), kJpegPsnr);
    }
};

// Every third frame lies; the pad refuses it and the next honest frame brings the
// tiles it held back, so the pad's picture always ends up as the lectern PC's.
TEST_F(LecternStream, HonestFramesCatchUpAfterLyingOnes) {
    const struct {
        FrameBlockLie lie;
        Placed seen;       // what the pad makes of a lying frame
        size_t tileCount;  // tiles it finds in one
    } cases[] = {
        {FrameBlockLie::kBadZlib, Placed::kNotInflated, 0},
        {FrameBlockLie::kNoTiles, Placed::kPlaced, 0},
        {FrameBlockLie::kBadJpeg, Placed::kBadJpeg, 128},
        {FrameBlockLie::kNegativeTileIndex, Placed::kBadIndex, 128},
    };
    constexpr int kEvery = 3;
    constexpr int kFrames = 8;  // the last one honest
    for (const auto& c : cases) {
        const std::string name = FrameBlockLieName(c.lie);
        SCOPED_TRACE(name);
        LecternMediaOptions media;
        media.frameIntervalMs = 0;
        media.maxInFlight = 1;  // one frame at a time: the last one read is the last sent
        media.lie = c.lie;
        media.lieEvery = kEvery;
        StartStream(media);
        PadPicture picture(grid);
        for (int n = 0; n < kFrames; ++n) {
            auto frame = pad->ReadType(kPacketFrame, kLongWait);
            ASSERT_TRUE(frame.has_value());
            ASSERT_EQ(n, frame->m_nFrameNumber);
            const Placed placed = picture.Place(*frame);
            const bool lies = n % kEvery == 0;
            EXPECT_STREQ(PlacedName(lies ? c.seen : Placed::kPlaced), PlacedName(placed)) << n;
            if (lies) {
                // The first frame lies with every tile: all of them come in the next one.
                if (n == 0) {
                    EXPECT_EQ(c.tileCount, picture.lastTileCount);
                }
                auto logged = classroom->Log().WaitFor(
                    [n](const SimEvent& e) { return e.kind == "frame_lie" && e.Int("frame") == n; },
                    kLongWait);
                ASSERT_TRUE(logged.has_value()) << n;
                EXPECT_EQ(name, logged->Text("lie"));
            } else if (n == 1) {
                EXPECT_EQ(size_t(grid.Count()), picture.lastTileCount);
            }
            if (n + 1 < kFrames) {
                ASSERT_TRUE(pad->Send(kCmdFrameAck + DecimalText(n)));
            }
        }
        EXPECT_EQ(3u, classroom->Log().Count(CEventLog::Kind("frame_lie")));
        StopStream();
        ExpectReferenceMatches(picture);
    }
}

TEST_F(LecternStream, TheReferencePictureOutlivesTheStreamAndIsWrittenAsPng) {
    LecternMediaOptions media;
    media.frameIntervalMs = 0;
    media.maxInFlight = 1;
    LecternOptions lectern;
    lectern.heartbeatMs = 0;
    ClassroomOptions o = Options(lectern);
    o.media = media;
    Start(o);
    const std::string path =
        ::testing::TempDir() + "reference-" + std::to_string(classroom->LecternPort()) + ".png";
    std::remove(path.c_str());
    std::vector<uint8_t> rgb;
    int width = 0, height = 0;
    EXPECT_FALSE(classroom->Media()->StreamedPicture(rgb, width, height));
    EXPECT_FALSE(classroom->Media()->WriteStreamedPng(path)) << "nothing streamed yet";

    Greet();
    ASSERT_TRUE(pad->ReadCommand(kCmdScreenOrigin, kLongWait).has_value());
    ASSERT_TRUE(pad->Send(kCmdRemoteStart));
    PadPicture picture(grid);
    constexpr int kFrames = 5;
    for (int n = 0; n < kFrames; ++n) {
        auto frame = pad->ReadType(kPacketFrame, kLongWait);
        ASSERT_TRUE(frame.has_value());
        ASSERT_EQ(Placed::kPlaced, picture.Place(*frame));
        if (n + 1 < kFrames) {
            ASSERT_TRUE(pad->Send(kCmdFrameAck + DecimalText(n)));
        }
    }
    ExpectReferenceMatches(picture);  // while the stream waits for the last acknowledgement
    StopStream();
    ExpectReferenceMatches(picture);

    ASSERT_TRUE(classroom->Media()->WriteStreamedPng(path));
    std::ifstream file(path, std::ios::binary);
    const std::vector<uint8_t> png((std::istreambuf_iterator<char>(file)),
                                   std::istreambuf_iterator<char>());
    const uint8_t signature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    ASSERT_GT(png.size(), sizeof(signature));
    EXPECT_EQ(0, std::memcmp(png.data(), signature, sizeof(signature)));
    // The header's width and height (big-endian, right after "IHDR").
    auto be32 = [&png](size_t at) {
        return uint32_t(png[at]) << 24 | uint32_t(png[at + 1]) << 16 | uint32_t(png[at + 2]) << 8 |
               png[at + 3];
    };
    EXPECT_EQ(uint32_t(grid.width), be32(16));
    EXPECT_EQ(uint32_t(grid.height), be32(20));
    std::remove(path.c_str());
}

// A still desktop sends its picture once and then only heartbeats, until a monitor
// switch gives it a new picture to send; an animated one keeps sending.
TEST_F(LecternStream, AStillDesktopSendsOnlyWhatChanged) {
    constexpr int kHeartbeats = 4;
    for (bool still : {true, false}) {
        SCOPED_TRACE(still ? "still" : "animated");
        LecternOptions lectern;
        lectern.heartbeatMs = 20;
        lectern.monitorCount = 2;
        ClassroomOptions o = Options(lectern);
        o.media.staticScreen = still;
        Start(o);
        Greet();
        ASSERT_TRUE(pad->ReadCommand(kCmdScreenOrigin, kLongWait).has_value());
        ASSERT_TRUE(pad->Send(kCmdRemoteStart));
        PadPicture picture(grid);
        auto first = pad->ReadType(kPacketFrame, kLongWait);
        ASSERT_TRUE(first.has_value());
        ASSERT_EQ(Placed::kPlaced, picture.Place(*first));
        EXPECT_EQ(size_t(grid.Count()), picture.lastTileCount);
        ASSERT_TRUE(pad->Send(kCmdFrameAck + DecimalText(first->m_nFrameNumber)));

        // Count the frames that come while a few heartbeats pass, acknowledging them.
        int frames = 0, heartbeats = 0;
        while (heartbeats < kHeartbeats) {
            CPacket p;
            ASSERT_EQ(CPadClient::ReadResult::kPacket, pad->Read(p, kLongWait));
            if (p.m_nType == kPacketFrame) {
                ++frames;
                ASSERT_TRUE(pad->Send(kCmdFrameAck + DecimalText(p.m_nFrameNumber)));
            } else if (p.m_nType == kPacketText && p.m_strText == kCmdHeartbeat) {
                ++heartbeats;
            }
        }
        if (!still) {
            EXPECT_GT(frames, 0);
            continue;
        }
        EXPECT_EQ(0, frames);
        ASSERT_TRUE(pad->Send(kCmdSelectMonitor + std::u16string(u"2")));
        auto second = pad->ReadType(kPacketFrame, kLongWait);
        ASSERT_TRUE(second.has_value());
        PadPicture secondMonitor(TileGrid::ForScreen(1280, 1024));
        ASSERT_EQ(Placed::kPlaced, secondMonitor.Place(*second));
        EXPECT_EQ(size_t(secondMonitor.grid.Count()), secondMonitor.lastTileCount);
    }
}

}  // namespace

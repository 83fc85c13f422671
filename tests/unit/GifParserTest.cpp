#include "widgets/GifParser.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;
using namespace tavrel;

// A GIF with a 2-colour global table and the given blocks after it.
Bytes Header(int width, int height) {
    Bytes b = {
        'G', 'I',  'F', '8', '9', 'a', static_cast<uint8_t>(width), 0, static_cast<uint8_t>(height),
        0,   0x80, 1,   0};
    b.insert(b.end(), {0, 0, 0, 255, 255, 255});  // 2 entries
    return b;
}

void AddControl(Bytes& b, int delay, int disposal) {
    b.insert(b.end(), {'!', 0xF9, 4, static_cast<uint8_t>(disposal << 2),
                       static_cast<uint8_t>(delay & 0xFF), static_cast<uint8_t>(delay >> 8), 0, 0});
}

void AddImage(Bytes& b, int left, int top, int width, int height) {
    b.insert(b.end(), {',', static_cast<uint8_t>(left), 0, static_cast<uint8_t>(top), 0,
                       static_cast<uint8_t>(width), 0, static_cast<uint8_t>(height), 0, 0});
    b.insert(b.end(), {2, 2, 0x4C, 0x01, 0});  // code size, one sub-block, terminator
}

TEST(GifParser, FindsEveryImageWithItsTiming) {
    Bytes gif = Header(66, 66);
    gif.insert(gif.end(), {'!', 0xFE, 3, 'a', 'b', 'c', 0});
    gif.insert(gif.end(), {'!', 0xFF, 11, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 3,
                           1, 0, 0, 0});
    AddControl(gif, 10, 0);
    AddImage(gif, 0, 0, 66, 66);
    AddControl(gif, 3, 2);
    AddImage(gif, 5, 6, 10, 11);
    AddImage(gif, 1, 2, 3, 4);  // no graphic control extension
    gif.push_back(';');

    GifInfo info = ParseGif(gif.data(), gif.size());
    ASSERT_TRUE(info.isGif);
    EXPECT_EQ(info.width, 66);
    EXPECT_EQ(info.height, 66);
    EXPECT_EQ(info.headerEnd, 19u);
    ASSERT_EQ(info.images.size(), 3u);
    EXPECT_EQ(info.images[0].delay, 10);
    EXPECT_EQ(info.images[1].delay, 3);
    EXPECT_EQ(info.images[1].disposal, 2);
    EXPECT_EQ(info.images[1].left, 5);
    EXPECT_EQ(info.images[1].height, 11);
    EXPECT_EQ(info.images[2].delay, kGifNoDelay);

    // A frame on its own: header and table, its control block and image, trailer.
    Bytes single = MakeSingleImageGif(gif.data(), gif.size(), info, info.images[1]);
    ASSERT_EQ(single.size(), 19u + 8 + 15 + 1);
    EXPECT_EQ(single[19], '!');
    EXPECT_EQ(single[20], 0xF9);
    EXPECT_EQ(single.back(), ';');
    GifInfo again = ParseGif(single.data(), single.size());
    ASSERT_EQ(again.images.size(), 1u);
    EXPECT_EQ(again.images[0].width, 10);
}

TEST(GifParser, BrokenDataStopsTheWalkInsideTheBuffer) {
    Bytes gif = Header(8, 8);
    AddControl(gif, 10, 0);
    AddImage(gif, 0, 0, 8, 8);
    const size_t firstEnd = gif.size();
    AddControl(gif, 10, 0);
    AddImage(gif, 0, 0, 8, 8);
    gif.push_back(';');

    struct Case {
        const char* what;
        size_t keep;  // bytes kept of the full GIF
        size_t images;
    } cases[] = {
        {"whole", gif.size(), 2},
        {"without trailer", gif.size() - 1, 2},
        {"second image cut in its sub-blocks", gif.size() - 3, 1},
        {"cut right after the first image", firstEnd, 1},
        {"cut inside the colour table", 15, 0},
        {"header only", 13, 0},
        {"shorter than the header", 8, 0},
    };
    for (const Case& c : cases) {
        Bytes cut(gif.begin(), gif.begin() + static_cast<long>(c.keep));
        GifInfo info = ParseGif(cut.data(), cut.size());
        EXPECT_TRUE(info.isGif) << c.what;
        EXPECT_EQ(info.images.size(), c.images) << c.what;
    }

    Bytes unknown = Header(8, 8);
    unknown.push_back('x');
    AddImage(unknown, 0, 0, 8, 8);
    EXPECT_TRUE(ParseGif(unknown.data(), unknown.size()).images.empty());
}

TEST(GifParser, OnlyTheSignatureDecidesWhatIsAGif) {
    const Bytes bitmap = {'B', 'M', 0, 0, 0, 0};
    EXPECT_FALSE(ParseGif(bitmap.data(), bitmap.size()).isGif);
    const Bytes anyVersion = {'G', 'I', 'F', 'x', 'y', 'z'};
    EXPECT_TRUE(ParseGif(anyVersion.data(), anyVersion.size()).isGif);
    EXPECT_FALSE(ParseGif(nullptr, 0).isGif);
}

TEST(GifParser, FrameDisplayTimes) {
    struct Case {
        int delay;
        unsigned ms;
    } cases[] = {{10, 100}, {5, 50}, {4, 100}, {3, 100}, {0, 100}, {kGifNoDelay, 100}, {200, 2000}};
    for (const Case& c : cases) EXPECT_EQ(FrameDisplayMs(c.delay), c.ms) << c.delay;
}

}  // namespace

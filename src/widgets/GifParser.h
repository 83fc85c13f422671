// Walks the blocks of a GIF file to find its images, so that an animated GIF can be
// split into one stand-alone single-image GIF per frame for the platform's picture
// decoder. Never reads beyond the given bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tavrel {

constexpr int kGifNoDelay = -1;  // the image has no graphic control extension

struct GifImage {
    size_t begin = 0;  // its graphic control extension when it has one, else the image
    size_t end = 0;    // one past the image's last sub-block terminator
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    int delay = kGifNoDelay;  // hundredths of a second
    int disposal = 0;         // 0 to 7
};

struct GifInfo {
    bool isGif = false;  // the data starts with "GIF"
    int width = 0;       // logical screen
    int height = 0;
    bool hasGlobalTable = false;
    int backgroundIndex = 0;
    size_t headerEnd = 0;  // header plus global colour table
    std::vector<GifImage> images;
};

// Never fails: an unknown byte or a block that runs past the end stops the walk and
// the images found so far are returned.
GifInfo ParseGif(const uint8_t* data, size_t size);

// Header and global colour table of the original, the image's blocks, and the trailer.
std::vector<uint8_t> MakeSingleImageGif(const uint8_t* data, size_t size, const GifInfo& info,
                                        const GifImage& image);

// How long a frame stays: its delay when above 4 hundredths, else 100 ms; an image
// without a delay is shown for 100 ms as well.
unsigned FrameDisplayMs(int delay);

}  // namespace tavrel

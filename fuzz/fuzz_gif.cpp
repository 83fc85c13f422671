// A GIF comes from our own resources today, but the parser must stay inside any bytes
// it is given: every image it reports lies within the data, and every single-image
// copy parses back to exactly one image.
#include "widgets/GifParser.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tavrel;
    const GifInfo info = ParseGif(data, size);
    for (const GifImage& image : info.images) {
        if (image.begin >= image.end || image.end > size || image.begin < info.headerEnd) abort();
        const auto single = MakeSingleImageGif(data, size, info, image);
        if (ParseGif(single.data(), single.size()).images.size() != 1) abort();
    }
    return 0;
}

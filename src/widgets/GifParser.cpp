#include "widgets/GifParser.h"

namespace tavrel {

namespace {

constexpr size_t kHeaderSize = 13;
constexpr size_t kImageDescriptorSize = 10;
constexpr uint8_t kExtension = '!';
constexpr uint8_t kImage = ',';
constexpr uint8_t kTrailer = ';';
constexpr uint8_t kPlainText = 0x01;
constexpr uint8_t kGraphicControl = 0xF9;
constexpr uint8_t kComment = 0xFE;
constexpr uint8_t kApplication = 0xFF;
constexpr uint8_t kColourTableFlag = 0x80;
constexpr unsigned kDefaultFrameMs = 100;
constexpr int kShortestDelay = 4;

int Le16(const uint8_t* p) { return p[0] | (p[1] << 8); }

size_t ColourTableSize(uint8_t flags) {
    if ((flags & kColourTableFlag) == 0) return 0;
    return 3u * (1u << ((flags & 7) + 1));
}

// Skips length-prefixed sub-blocks starting at pos; false when they run past the end.
bool SkipSubBlocks(const uint8_t* data, size_t size, size_t& pos) {
    for (;;) {
        if (pos >= size) return false;
        const size_t length = data[pos];
        pos += 1;
        if (length == 0) return true;
        if (length > size - pos) return false;
        pos += length;
    }
}

bool Skip(size_t size, size_t& pos, size_t count) {
    if (count > size - pos) return false;
    pos += count;
    return true;
}

}  // namespace

GifInfo ParseGif(const uint8_t* data, size_t size) {
    GifInfo info;
    if (size < 3 || data[0] != 'G' || data[1] != 'I' || data[2] != 'F') return info;
    info.isGif = true;
    if (size < kHeaderSize) return info;
    info.width = Le16(data + 6);
    info.height = Le16(data + 8);
    info.hasGlobalTable = (data[10] & kColourTableFlag) != 0;
    info.backgroundIndex = data[11];
    size_t pos = kHeaderSize;
    if (!Skip(size, pos, ColourTableSize(data[10]))) return info;
    info.headerEnd = pos;

    bool pendingControl = false;
    GifImage next;
    while (pos < size) {
        const uint8_t kind = data[pos];
        if (kind == kTrailer) break;
        if (kind == kExtension) {
            if (size - pos < 2) break;
            const uint8_t label = data[pos + 1];
            const size_t blockStart = pos;
            pos += 2;
            bool ok = true;
            if (label == kGraphicControl) {
                // 8 bytes: size 4, flags, delay (2), transparent index, terminator.
                if (size - blockStart < 8) break;
                next = GifImage();
                next.begin = blockStart;
                next.disposal = (data[blockStart + 3] >> 2) & 7;
                next.delay = Le16(data + blockStart + 4);
                pendingControl = true;
                pos = blockStart + 8;
            } else if (label == kPlainText) {
                ok = Skip(size, pos, 13) && SkipSubBlocks(data, size, pos);
            } else if (label == kComment) {
                ok = SkipSubBlocks(data, size, pos);
            } else if (label == kApplication) {
                ok = Skip(size, pos, 12) && SkipSubBlocks(data, size, pos);
            } else {
                break;
            }
            if (!ok) break;
            continue;
        }
        if (kind != kImage) break;
        const size_t imageStart = pos;
        if (size - pos < kImageDescriptorSize) break;
        GifImage image = pendingControl ? next : GifImage();
        if (!pendingControl) image.begin = imageStart;
        image.left = Le16(data + pos + 1);
        image.top = Le16(data + pos + 3);
        image.width = Le16(data + pos + 5);
        image.height = Le16(data + pos + 7);
        const uint8_t flags = data[pos + 9];
        pos += kImageDescriptorSize;
        if (!Skip(size, pos, ColourTableSize(flags))) break;
        if (!Skip(size, pos, 1)) break;  // LZW minimum code size
        if (!SkipSubBlocks(data, size, pos)) break;
        image.end = pos;
        info.images.push_back(image);
        pendingControl = false;
    }
    return info;
}

std::vector<uint8_t> MakeSingleImageGif(const uint8_t* data, size_t size, const GifInfo& info,
                                        const GifImage& image) {
    std::vector<uint8_t> out;
    if (info.headerEnd > size || image.begin > image.end || image.end > size) return out;
    out.reserve(info.headerEnd + (image.end - image.begin) + 1);
    out.insert(out.end(), data, data + info.headerEnd);
    out.insert(out.end(), data + image.begin, data + image.end);
    out.push_back(kTrailer);
    return out;
}

unsigned FrameDisplayMs(int delay) {
    if (delay == kGifNoDelay) return kDefaultFrameMs;
    if (static_cast<unsigned>(delay) > static_cast<unsigned>(kShortestDelay)) {
        return 10u * static_cast<unsigned>(delay);
    }
    return kDefaultFrameMs;
}

}  // namespace tavrel

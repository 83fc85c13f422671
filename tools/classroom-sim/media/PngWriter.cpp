#include "media/PngWriter.h"

#include <zlib.h>

#include <cstdio>
#include <cstring>

namespace {

constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr uint8_t kBitDepth = 8;
constexpr uint8_t kColourTypeRgb = 2;
constexpr uint8_t kFilterNone = 0;
constexpr int kBytesPerPixel = 3;

void PutU32BigEndian(std::vector<uint8_t>& out, uint32_t v) {
    const uint8_t b[4] = {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)};
    out.insert(out.end(), b, b + 4);
}

void AppendChunk(std::vector<uint8_t>& out, const char type[4], const uint8_t* data, size_t size) {
    PutU32BigEndian(out, uint32_t(size));
    const size_t typeAt = out.size();
    out.insert(out.end(), type, type + 4);
    if (size > 0) out.insert(out.end(), data, data + size);
    const uLong crc = crc32(0L, out.data() + typeAt, uInt(size + 4));
    PutU32BigEndian(out, uint32_t(crc));
}

}  // namespace

std::vector<uint8_t> EncodePng(const uint8_t* rgb, int width, int height, size_t stride) {
    std::vector<uint8_t> png;
    if (width <= 0 || height <= 0 || !rgb) return png;
    const size_t rowBytes = size_t(width) * kBytesPerPixel;
    std::vector<uint8_t> raw((rowBytes + 1) * size_t(height));
    for (int y = 0; y < height; ++y) {
        uint8_t* row = &raw[(rowBytes + 1) * size_t(y)];
        row[0] = kFilterNone;
        std::memcpy(row + 1, rgb + stride * size_t(y), rowBytes);
    }
    uLongf deflatedSize = compressBound(uLong(raw.size()));
    std::vector<uint8_t> deflated(deflatedSize);
    if (compress2(deflated.data(), &deflatedSize, raw.data(), uLong(raw.size()),
                  Z_DEFAULT_COMPRESSION) != Z_OK) {
        return png;
    }
    std::vector<uint8_t> header;
    PutU32BigEndian(header, uint32_t(width));
    PutU32BigEndian(header, uint32_t(height));
    const uint8_t rest[5] = {kBitDepth, kColourTypeRgb, 0, 0, 0};
    header.insert(header.end(), rest, rest + 5);

    png.assign(kSignature, kSignature + sizeof(kSignature));
    AppendChunk(png, "IHDR", header.data(), header.size());
    AppendChunk(png, "IDAT", deflated.data(), deflatedSize);
    AppendChunk(png, "IEND", nullptr, 0);
    return png;
}

bool WritePngFile(const std::string& path, const uint8_t* rgb, int width, int height,
                  size_t stride) {
    const std::vector<uint8_t> png = EncodePng(rgb, width, height, stride);
    if (png.empty()) return false;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    const bool written = std::fwrite(png.data(), 1, png.size(), file) == png.size();
    return std::fclose(file) == 0 && written;
}

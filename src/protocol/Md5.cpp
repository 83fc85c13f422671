#include "protocol/Md5.h"

#include <algorithm>
#include <cstring>

namespace {

// Initial chaining values A, B, C, D.
constexpr uint32_t kInit[4] = {0x67452301u, 0xefcdab89u, 0x98badcfeu, 0x10325476u};

// T[i] = floor(2^32 * |sin(i + 1)|), the additive constants of the 64 steps.
constexpr uint32_t kSine[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

// Rotation amounts, four per round.
constexpr int kShift[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};

constexpr size_t kLengthOffset = 56;  // where the 64-bit bit count starts in the last block
constexpr uint8_t kPadStart = 0x80;

inline uint32_t RotateLeft(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

inline uint32_t LoadLe32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

}  // namespace

CMd5::CMd5() { std::memcpy(m_state, kInit, sizeof m_state); }

void CMd5::Transform(const uint8_t* block) {
    uint32_t x[16];
    for (int i = 0; i < 16; ++i) x[i] = LoadLe32(block + 4 * i);

    uint32_t a = m_state[0], b = m_state[1], c = m_state[2], d = m_state[3];
    for (int i = 0; i < 64; ++i) {
        const int round = i / 16;
        uint32_t f;
        int k;
        switch (round) {
            case 0:
                f = (b & c) | (~b & d);
                k = i;
                break;
            case 1:
                f = (b & d) | (c & ~d);
                k = (5 * i + 1) % 16;
                break;
            case 2:
                f = b ^ c ^ d;
                k = (3 * i + 5) % 16;
                break;
            default:
                f = c ^ (b | ~d);
                k = (7 * i) % 16;
                break;
        }
        const uint32_t rotated = RotateLeft(a + f + x[k] + kSine[i], kShift[round][i % 4]);
        a = d;
        d = c;
        c = b;
        b = b + rotated;
    }
    m_state[0] += a;
    m_state[1] += b;
    m_state[2] += c;
    m_state[3] += d;
}

void CMd5::Update(const uint8_t* data, size_t size) {
    m_nTotalBytes += size;
    if (m_nBuffered > 0) {
        const size_t take = std::min(size, kBlockSize - m_nBuffered);
        std::memcpy(m_buffer + m_nBuffered, data, take);
        m_nBuffered += take;
        data += take;
        size -= take;
        if (m_nBuffered < kBlockSize) return;
        Transform(m_buffer);
        m_nBuffered = 0;
    }
    for (; size >= kBlockSize; data += kBlockSize, size -= kBlockSize) Transform(data);
    if (size > 0) {
        std::memcpy(m_buffer, data, size);
        m_nBuffered = size;
    }
}

Md5Digest CMd5::Final() {
    const uint64_t bitCount = m_nTotalBytes * 8;
    uint8_t pad[kBlockSize * 2] = {kPadStart};
    const size_t padSize =
        (m_nBuffered < kLengthOffset ? kLengthOffset : kLengthOffset + kBlockSize) - m_nBuffered;
    uint8_t length[8];
    for (int i = 0; i < 8; ++i) length[i] = uint8_t(bitCount >> (8 * i));
    Update(pad, padSize);
    Update(length, sizeof length);

    Md5Digest digest;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) digest[4 * i + j] = uint8_t(m_state[i] >> (8 * j));
    return digest;
}

Md5Digest Md5(const uint8_t* data, size_t size) {
    CMd5 md5;
    md5.Update(data, size);
    return md5.Final();
}

// Packets of every layout the frame carries, shared by the frame tests, the socket tests
// and the seeds of the frame fuzz target: a layout added here is covered by all three.
// Portable: builds natively and with the Windows compilers.
#pragma once

#include "protocol/MemoryConnection.h"
#include "protocol/Packet.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace packetsamples {

// The tick byte the sample frames are written with, so that their bytes never change.
constexpr uint8_t kSampleTick = 0x5B;
// A frame too large for one read of a socket, or for one piece of the writer.
constexpr size_t kLargeFrameDataBytes = 300 * 1024;

// Bytes that differ from one 256-byte block to the next as well, so that a piece sent
// twice, lost or out of order changes what arrives.
inline std::vector<uint8_t> Pattern(size_t n, uint8_t seed) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = uint8_t(seed + i * 7 + (i >> 8));
    return v;
}

// A packet of a type that has no constructor of its own. Types 7 and 16 are the only
// ones that carry the 16-byte block; it is filled so that a misplaced block shows.
inline CPacket Other(uint8_t type, std::vector<int32_t> numbers, std::vector<uint8_t> data = {}) {
    CPacket p;
    p.m_nType = type;
    p.m_vNumbers = std::move(numbers);
    p.m_vData = std::move(data);
    if (type == 7 || type == 16)
        for (size_t i = 0; i < p.m_abBlock.size(); ++i) p.m_abBlock[i] = uint8_t(0xB0 + i);
    return p;
}

struct Sample {
    const char* name;  // also the seed's file name: letters, digits and '_' only
    CPacket packet;
    size_t payloadSize;  // the bytes after the type code, counted field by field
};

// One packet of every type code that has a layout, with the edge values of its fields
// (negative numbers, all-ones words, empty and long texts, Korean text).
inline std::vector<Sample> EveryLayout() {
    std::vector<Sample> s;
    s.push_back({"text", CPacket(u"[RC00003]"), 4 + 64 + 4 + 18});
    s.push_back({"empty_text", CPacket(u""), 4 + 64 + 4});
    s.push_back(
        {"long_text", CPacket(u"[RC00001]" + std::u16string(1500, u'x')), 4 + 64 + 4 + 2 * 1509});
    s.push_back({"two", Other(2, {1, -2, 3}), 12});
    CPacket three = Other(3, {1, 2, 3, 4, -5}, {1, 2, 3});
    three.m_vShorts = {1, 2, 3, 0xFFFF};
    three.m_vData2 = {9};
    s.push_back({"three", three, 20 + 8 + 2 + 3 + 2 + 1});
    std::vector<KeyEventRecord> keys = {
        {256, 65, 1, 0x1E0001}, {257, 65, 1, 0xC01E0001}, {256, 0xFFFFFFFF, 7, 0}};
    s.push_back({"keys", CPacket(keys), 4 + 3 * 14});
    std::vector<MouseEventRecord> mouse = {
        {512, 0, 100, 200, 0}, {513, 1, -5, 70000, 0}, {522, 0, 3, 4, -120}};
    s.push_back({"mouse", CPacket(mouse), 4 + 3 * 16});
    s.push_back(
        {"seven_flag0", Other(7, {1, 2, 3, 4, 0, 6, 7, 8}, {1, 2, 3, 4, 5}), 28 + 16 + 4 + 4 + 5});
    s.push_back(
        {"seven_flag1", Other(7, {1, 2, 3, 4, 1, 6, 7}, Pattern(2000, 3)), 28 + 16 + 4 + 2000});
    CPacket eight = Other(8, {42}, Pattern(10, 1));
    eight.m_nUncompressedLength = 100;
    eight.m_nFrameNumber = 7;
    s.push_back({"eight", eight, 4 + 12 + 10});
    CPacket nine = Other(9, {1, 2, 3}, {5});
    nine.m_strText = u"\uD55C\uAE00 text";
    s.push_back({"nine", nine, 12 + 4 + 2 * 7 + 4 + 1});
    CPacket longNine = Other(9, {1, 2, 3}, Pattern(1500, 6));
    longNine.m_strText = std::u16string(2000, u'\uAC00');
    s.push_back({"nine_long_text", longNine, 12 + 4 + 2 * 2000 + 4 + 1500});
    s.push_back({"ten", Other(10, {5, 6}), 8});
    // 10 ms of 44.1 kHz 16-bit stereo: the sound chunk the pad sends.
    const std::vector<uint8_t> pcm = Pattern(1764, 9);
    s.push_back({"sound", CPacket(uint32_t(pcm.size()), pcm.data(), 1764), 4 + 4 + 1764});
    const std::vector<uint8_t> z = Pattern(3000, 4);
    s.push_back({"frame", CPacket(uint32_t(z.size()), z.data(), 9000, 77), 12 + 3000});
    s.push_back({"thirteen", Other(13, {1, 2}, {7, 8, 9}), 8 + 4 + 3});
    CPacket fourteen = Other(14, {4, 5}, {1, 2});
    fourteen.m_vUnsigned = {1, 2, 0xFFFFFFFF};
    s.push_back({"fourteen", fourteen, 4 + 12 + 1 + 8 + 4 + 2});
    CPacket fifteen = Other(15, {});
    fifteen.m_nValue = -1;
    s.push_back({"fifteen", fifteen, 8});
    s.push_back({"sixteen", Other(16, {}, {1, 2, 3, 4}), 16 + 4 + 4});
    return s;
}

// A screen frame larger than every buffer between two sockets.
inline CPacket LargeFramePacket() {
    const std::vector<uint8_t> big = Pattern(kLargeFrameDataBytes, 1);
    return CPacket(uint32_t(big.size()), big.data(), 4 * int32_t(big.size()), 12345);
}

inline uint32_t SampleTick() { return kSampleTick; }

// The frame of a packet, written with the fixed tick byte; the tick source is the
// system's again afterwards.
inline std::vector<uint8_t> FrameOf(const CPacket& packet) {
    SetFrameTickSource(&SampleTick);
    CMemoryConnection connection;
    WriteFrame(packet, connection);
    SetFrameTickSource(nullptr);
    return connection.Sent();
}

}  // namespace packetsamples

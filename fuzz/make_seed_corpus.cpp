// Writes a few valid frames of several types as seeds for fuzz_read_frame, and a few
// text commands for fuzz_text_command. Usage: make_seed_corpus <corpus folder>

#include <cstdio>
#include <string>
#include <vector>

#include "protocol/MemoryConnection.h"
#include "protocol/Packet.h"

namespace {

uint32_t SeedTick() { return 0x5B; }

void Save(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return;
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

std::vector<uint8_t> FrameOf(const CPacket& p) {
    CMemoryConnection c;
    WriteFrame(p, c);
    return c.Sent();
}

std::vector<uint8_t> Utf16(const std::u16string& s) {
    std::vector<uint8_t> b;
    for (char16_t c : s) b.push_back(uint8_t(c)), b.push_back(uint8_t(c >> 8));
    return b;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    const std::string dir = argv[1];
    SetFrameTickSource(&SeedTick);

    std::vector<KeyEventRecord> keys = {{256, 65, 1, 0x1E0001}, {257, 65, 1, 0xC01E0001}};
    std::vector<MouseEventRecord> mouse = {{513, 1, 10, 20, 0}, {522, 0, 5, 5, -120}};
    const std::vector<uint8_t> pcm(64, 0x11), z = {0x78, 0xDA, 0x03, 0x00, 0x00, 0x00, 0x00, 1};
    CPacket seven;
    seven.m_nType = 7;
    seven.m_vNumbers = {1, 2, 3, 4, 0, 6, 7, 8};
    seven.m_vData = {1, 2, 3};
    CPacket fourteen;
    fourteen.m_nType = 14;
    fourteen.m_vUnsigned = {1, 2};
    fourteen.m_vNumbers = {3, 4};
    fourteen.m_vData = {5};
    CPacket three;
    three.m_nType = 3;
    three.m_vNumbers = {1, 2, 3, 4, 5};
    three.m_vShorts = {1, 2, 3, 4};
    three.m_vData = {7};
    three.m_vData2 = {8, 9};

    Save(dir + "/read_frame/text", FrameOf(CPacket(u"[RC00003]")));
    Save(dir + "/read_frame/text_args", FrameOf(CPacket(u"[RH00009]2,1,0,0,1920,1080")));
    Save(dir + "/read_frame/keys", FrameOf(CPacket(keys)));
    Save(dir + "/read_frame/mouse", FrameOf(CPacket(mouse)));
    Save(dir + "/read_frame/sound", FrameOf(CPacket(uint32_t(pcm.size()), pcm.data(), 64)));
    Save(dir + "/read_frame/frame", FrameOf(CPacket(uint32_t(z.size()), z.data(), 0, 5)));
    Save(dir + "/read_frame/type3", FrameOf(three));
    Save(dir + "/read_frame/type7", FrameOf(seven));
    Save(dir + "/read_frame/type14", FrameOf(fourteen));
    std::vector<uint8_t> two = FrameOf(CPacket(u"[MV00094]3.0.1.1004"));
    const std::vector<uint8_t> greet = FrameOf(CPacket(u"[MV00007]"));
    two.insert(two.end(), greet.begin(), greet.end());
    Save(dir + "/read_frame/two_frames", two);

    Save(dir + "/text_command/size", Utf16(u"[RC00010]1920,1080"));
    Save(dir + "/text_command/listed",
         Utf16(u"[UR00002]\"a\",\"b\",,\"c\",\"10.0.0.5\",\"7000\",\"x\""));
    Save(dir + "/text_command/bare", Utf16(u"[MV00007]"));
    Save(dir + "/text_command/short", Utf16(u"[RC0001]"));
    return 0;
}

// Writes a valid frame of every layout as seeds for fuzz_read_frame, and a few
// text commands for fuzz_text_command. Usage: make_seed_corpus <corpus folder>

#include <cstdio>
#include <string>
#include <vector>

#include "PacketSamples.h"

namespace {

void Save(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return;
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
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
    using packetsamples::FrameOf;

    // The same packets the frame and socket tests round-trip, so that every layout
    // starts the fuzzer off on a valid frame.
    for (const packetsamples::Sample& s : packetsamples::EveryLayout())
        Save(dir + "/read_frame/" + s.name, FrameOf(s.packet));
    Save(dir + "/read_frame/text_args", FrameOf(CPacket(u"[RH00009]2,1,0,0,1920,1080")));
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

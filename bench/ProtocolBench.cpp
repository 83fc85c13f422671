// Throughput of the frame path and cost of one scrambled text command.
//
// BM_FrameRoundTrip200K and BM_Memcpy200K move the same 200 KB in the same run, so
// their bytes_per_second give the ratio of the frame path to a plain copy.

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "protocol/BuiltInCryptEngine.h"
#include "protocol/Crypt.h"
#include "protocol/MemoryConnection.h"
#include "protocol/Packet.h"

namespace {

constexpr size_t kFrameDataSize = 200 * 1024;

std::vector<uint8_t> FrameData() {
    std::vector<uint8_t> data(kFrameDataSize);
    uint32_t x = 12345;
    for (uint8_t& b : data) {  // incompressible-looking bytes, as a deflated image is
        x = x * 1103515245u + 12345u;
        b = uint8_t(x >> 24);
    }
    return data;
}

void BM_FrameRoundTrip200K(benchmark::State& state) {
    const std::vector<uint8_t> data = FrameData();
    const CPacket packet(uint32_t(data.size()), data.data(), 1 << 22, 1);
    CMemoryConnection conn;
    CPacket read;
    for (auto _ : state) {
        WriteFrame(packet, conn);
        conn.Loopback();
        ReadFrame(read, conn);
        benchmark::DoNotOptimize(read.m_vData.data());
    }
    if (read.m_vData != data) state.SkipWithError("frame did not round-trip");
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kFrameDataSize));
}
BENCHMARK(BM_FrameRoundTrip200K);

void BM_Memcpy200K(benchmark::State& state) {
    const std::vector<uint8_t> data = FrameData();
    std::vector<uint8_t> copy(data.size());
    for (auto _ : state) {
        std::memcpy(copy.data(), data.data(), data.size());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kFrameDataSize));
}
BENCHMARK(BM_Memcpy200K);

// One text command built (digest), written (known-answer test, scramble) and read
// (known-answer test, unscramble) with the built-in engine. It is registered as the
// platform candidate so the known-answer test really runs, as it does on Windows.
void BM_TextCommandRoundTrip(benchmark::State& state) {
    CCrypt::SetPlatformEngine(&CBuiltInCryptEngine::Instance());
    CMemoryConnection conn;
    CPacket read;
    for (auto _ : state) {
        const CPacket packet(u"[RC00010]1920,1080");
        WriteFrame(packet, conn);
        conn.Loopback();
        ReadFrame(read, conn);
        benchmark::DoNotOptimize(read.m_strText.data());
    }
    CCrypt::SetPlatformEngine(nullptr);
    if (read.m_strText != u"[RC00010]1920,1080") state.SkipWithError("text did not round-trip");
}
BENCHMARK(BM_TextCommandRoundTrip);

}  // namespace

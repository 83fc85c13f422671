#include "soundup/SoundChunker.h"

#include <cmath>
#include <cstring>

int16_t CSoundChunker::FloatToPcm16(float sample) {
    if (std::isnan(sample)) return 0;
    float scaled = sample * 32767.0f;
    if (scaled > 32767.0f) scaled = 32767.0f;
    if (scaled < -32767.0f) scaled = -32767.0f;
    return static_cast<int16_t>(scaled);  // truncates toward zero
}

void CSoundChunker::AppendSample(int16_t value) {
    const uint16_t bits = static_cast<uint16_t>(value);
    m_vPending.push_back(static_cast<uint8_t>(bits & 0xFF));
    m_vPending.push_back(static_cast<uint8_t>(bits >> 8));
}

bool CSoundChunker::Append(const AudioFormat& format, const uint8_t* data, uint32_t frames,
                           bool silent) {
    if (!format.Usable()) return false;
    if (!silent && data == nullptr && frames > 0) return false;
    if (silent) {
        m_vPending.insert(m_vPending.end(), size_t(SamplesFor(frames)) * 2, 0);
        return true;
    }
    for (uint32_t frame = 0; frame < frames; frame += kDecimation) {
        const uint8_t* first = data + size_t(frame) * format.blockAlign;
        if (format.kind == AudioFormat::Kind::Pcm16) {
            AppendSample(static_cast<int16_t>(uint16_t(first[0]) | uint16_t(first[1]) << 8));
        } else {
            float sample;
            std::memcpy(&sample, first, sizeof sample);
            AppendSample(FloatToPcm16(sample));
        }
    }
    return true;
}

bool CSoundChunker::CountEmptyPoll() {
    if (++m_nEmptyPolls <= kEmptyPollLimit) return false;
    m_nEmptyPolls = 0;
    return true;
}

std::vector<uint8_t> CSoundChunker::TakeChunk() {
    std::vector<uint8_t> chunk;
    chunk.swap(m_vPending);
    return chunk;
}

std::vector<uint8_t> CSoundChunker::TakeSilenceChunk() {
    std::vector<uint8_t> chunk = TakeChunk();
    if (chunk.size() < kSilenceChunkBytes) chunk.resize(kSilenceChunkBytes, 0);
    return chunk;
}

// CSoundChunker: turns captured buffers into the sound-up chunks. Of each buffer it
// keeps the first channel of every sixth frame (frames 0, 6, 12, ... of that buffer) as
// a 16-bit little-endian sample, and a chunk is due once 7999 bytes or more are pending;
// the whole pending part is then handed out. The sample rate is not on the wire: a 48 kHz
// mixer gives 8000 samples a second, a 44.1 kHz one 7350.
//
// When the device stays quiet (more than 50 empty polls in a row, about 50 ms) a silence
// chunk of 8000 bytes goes out instead, so the lectern PC keeps hearing a stream;
// samples still pending then are kept at its start and only the rest is zeros.
//
// Used by one thread only.
#pragma once

#include "soundup/AudioSource.h"

#include <cstddef>
#include <cstdint>
#include <vector>

class CSoundChunker {
  public:
    // A chunk is due once this many bytes are pending.
    static constexpr size_t kChunkThreshold = 7999;
    // One frame in this many is kept.
    static constexpr uint32_t kDecimation = 6;
    // Size of a silence chunk.
    static constexpr size_t kSilenceChunkBytes = 8000;
    // Empty polls in a row that may pass; one more makes a silence chunk due.
    static constexpr int kEmptyPollLimit = 50;

    // Samples one buffer adds: ceil(frames / kDecimation).
    static uint32_t SamplesFor(uint32_t frames) { return (frames + kDecimation - 1) / kDecimation; }
    // One float sample as the 16-bit value sent: times 32767, clamped to +-32767 and
    // truncated toward zero; NaN gives 0.
    static int16_t FloatToPcm16(float sample);

    // Appends the decimated first channel of a buffer; a buffer flagged silent adds as
    // many zero samples without being read. False (nothing appended) when the format is
    // not usable or a buffer that is not silent has no data.
    bool Append(const AudioFormat& format, const uint8_t* data, uint32_t frames, bool silent);

    // An empty poll: counts it and says whether a silence chunk is due (more than
    // kEmptyPollLimit in a row); the count then starts again.
    bool CountEmptyPoll();
    // A poll that announced frames: the empty polls in a row start again.
    void ResetEmptyPolls() { m_nEmptyPolls = 0; }
    int EmptyPolls() const { return m_nEmptyPolls; }

    bool ChunkDue() const { return m_vPending.size() >= kChunkThreshold; }
    size_t PendingBytes() const { return m_vPending.size(); }
    // Everything pending, as one chunk; nothing stays pending.
    std::vector<uint8_t> TakeChunk();
    // The silence chunk: the pending samples padded with zero bytes to
    // kSilenceChunkBytes (never cut); nothing stays pending.
    std::vector<uint8_t> TakeSilenceChunk();

  private:
    void AppendSample(int16_t value);

    std::vector<uint8_t> m_vPending;
    int m_nEmptyPolls = 0;
};

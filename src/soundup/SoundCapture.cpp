#include "soundup/SoundCapture.h"

#include "soundup/SoundChunker.h"

#include <vector>

namespace {

using End = SoundCaptureResult::End;

// 0, the discontinuity bit alone, or anything with the silent bit.
bool AcceptedFlags(uint32_t flags) {
    return flags == 0 || flags == kAudioDiscontinuity || (flags & kAudioSilent) != 0;
}

}  // namespace

SoundCaptureResult RunSoundCapture(IAudioSource& source, ISoundChunkSink& sink,
                                   const std::function<bool()>& keepRunning,
                                   const std::function<void()>& sleepOneMs) {
    SoundCaptureResult result;
    if (!source.Start()) {
        source.Stop();
        result.end = End::kStartFailed;
        return result;
    }
    const AudioFormat format = source.Format();
    CSoundChunker chunker;
    // Hands a chunk over unless the loop was told to end meanwhile; false then.
    auto handOver = [&](const std::vector<uint8_t>& chunk) {
        if (!keepRunning()) return false;
        const CPacket packet(uint32_t(chunk.size()), chunk.data(), int32_t(chunk.size()));
        sink.Send(packet);
        ++result.chunks;
        return true;
    };

    while (keepRunning()) {
        uint32_t frames = 0;
        if (!source.NextPacketFrames(frames)) {
            result.end = End::kSourceFailed;
            break;
        }
        bool silenceDue = false;
        if (frames == 0) {
            sleepOneMs();
            silenceDue = chunker.CountEmptyPoll();
        } else {
            chunker.ResetEmptyPolls();
        }

        const uint8_t* data = nullptr;
        uint32_t got = 0;
        uint32_t flags = 0;
        const bool gotData = frames > 0;
        if (gotData) {
            if (!source.GetBuffer(data, got, flags)) {
                result.end = End::kSourceFailed;
                break;
            }
            if (!AcceptedFlags(flags)) {
                source.ReleaseBuffer(got);
                result.end = End::kBadFlags;
                break;
            }
            result.frames += got;
        }

        bool stopped = false;
        if (silenceDue) {
            stopped = !handOver(chunker.TakeSilenceChunk());
            if (!stopped) ++result.silenceChunks;
        } else if (gotData) {
            if (!chunker.Append(format, data, got, (flags & kAudioSilent) != 0)) {
                source.ReleaseBuffer(got);
                result.end = End::kBadBuffer;
                break;
            }
            if (chunker.ChunkDue()) stopped = !handOver(chunker.TakeChunk());
        }

        if (gotData && !source.ReleaseBuffer(got)) {
            result.end = End::kReleaseFailed;
            break;
        }
        if (stopped) break;
    }
    source.Stop();
    return result;
}

// The sound-up capture loop, portable: it polls an audio source, turns what arrives into
// chunks (CSoundChunker) and hands each one over as a type-11 packet whose value is its
// length. The Windows capture thread runs it on the default device's loopback.
#pragma once

#include "protocol/Packet.h"
#include "soundup/AudioSource.h"

#include <cstdint>
#include <functional>

// Receives every packet the loop makes; the packet lives until Send returns.
class ISoundChunkSink {
  public:
    virtual ~ISoundChunkSink() = default;
    virtual void Send(const CPacket& packet) = 0;
};

struct SoundCaptureResult {
    enum class End {
        kStopped,        // keepRunning said no: the normal end
        kStartFailed,    // the source could not start (no device, format refused, ...)
        kSourceFailed,   // asking for a packet or getting its buffer failed
        kBadFlags,       // a buffer with flags other than 0, 1 or the silent bit
        kBadBuffer,      // a buffer that could not be read (no data)
        kReleaseFailed,  // giving a buffer back failed
    };
    End end = End::kStopped;
    uint64_t chunks = 0;         // packets handed over, silence chunks included
    uint64_t silenceChunks = 0;  // of which silence chunks
    uint64_t frames = 0;         // frames captured from the source

    bool Failed() const { return end != End::kStopped; }
};

// Starts the source, runs while keepRunning() holds and stops the source. keepRunning
// is asked at every loop turn and again just before each hand-over: once it said no,
// nothing more is handed over. sleepOneMs is called after every empty poll.
SoundCaptureResult RunSoundCapture(IAudioSource& source, ISoundChunkSink& sink,
                                   const std::function<bool()>& keepRunning,
                                   const std::function<void()>& sleepOneMs);

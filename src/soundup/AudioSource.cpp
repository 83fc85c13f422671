#include "soundup/AudioSource.h"

bool ChooseAudioFormat(const WaveFormatFacts& wave, AudioFormat& format) {
    using Sub = WaveFormatFacts::SubFormat;
    const bool extensible = wave.formatTag == kWaveFormatExtensible;
    // An extensible format's valid bits may be fewer than its container, never more.
    const bool validFits = !extensible || wave.validBitsPerSample <= wave.bitsPerSample;
    AudioFormat chosen;
    if (wave.bitsPerSample == 16 && validFits &&
        (wave.formatTag == kWaveFormatPcm || (extensible && wave.subFormat == Sub::Pcm))) {
        chosen.kind = AudioFormat::Kind::Pcm16;
    } else if (wave.bitsPerSample == 32 && validFits &&
               (wave.formatTag == kWaveFormatIeeeFloat ||
                (extensible && wave.subFormat == Sub::IeeeFloat))) {
        chosen.kind = AudioFormat::Kind::Float32;
    } else {
        return false;
    }
    chosen.channels = wave.channels;
    chosen.sampleRate = wave.sampleRate;
    chosen.blockAlign = wave.blockAlign;
    if (!chosen.Usable()) return false;
    format = chosen;
    return true;
}

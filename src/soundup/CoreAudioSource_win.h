// CCoreAudioSource: the loopback of the default playback device through Core Audio
// (IMMDeviceEnumerator, IMMDevice, IAudioClient, IAudioCaptureClient): what the pad
// plays, captured for sound up.
//
// OpenDefault runs on the user-interface thread and only finds the device; Start and
// everything after it run on the capture thread, which has joined the multi-threaded
// apartment. The object is destroyed on the capture thread before it leaves COM.
#pragma once

#include "framework/Afx_win.h"
#include "soundup/AudioSource.h"

#include <memory>

struct IMMDevice;
struct IAudioClient;
struct IAudioCaptureClient;

class CCoreAudioSource : public IAudioSource {
  public:
    // The default render device (eRender, eConsole); null when there is none or COM
    // cannot make the enumerator. Works whether or not the calling thread has
    // initialised COM: when it has not, it joins a single-threaded apartment once.
    static std::unique_ptr<CCoreAudioSource> OpenDefault();

    // Takes over the caller's reference to the device.
    explicit CCoreAudioSource(IMMDevice* device);
    ~CCoreAudioSource() override;
    CCoreAudioSource(const CCoreAudioSource&) = delete;
    CCoreAudioSource& operator=(const CCoreAudioSource&) = delete;

    // Activates an audio client, chooses the format (the mixer's 32-bit float asked for
    // as 16-bit stereo PCM, or the closest match offered), initialises the shared-mode
    // loopback stream and starts it. False on any failure, and for a final format that
    // is neither 16-bit PCM nor 32-bit float.
    bool Start() override;
    AudioFormat Format() const override { return m_format; }
    bool NextPacketFrames(uint32_t& frames) override;
    bool GetBuffer(const uint8_t*& data, uint32_t& frames, uint32_t& flags) override;
    bool ReleaseBuffer(uint32_t frames) override;
    // Stops the stream and lets the client go; the device is kept until destruction.
    void Stop() override;

  private:
    bool StartStream();

    IMMDevice* m_pDevice = nullptr;
    IAudioClient* m_pClient = nullptr;
    IAudioCaptureClient* m_pCapture = nullptr;
    bool m_bStarted = false;
    AudioFormat m_format;
};

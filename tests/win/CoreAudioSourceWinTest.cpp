// CCoreAudioSource's start against a stand-in device (Wine has no playback device to
// capture): the format it asks for, the closest match it takes, the formats it refuses,
// the loopback stream it opens, every failure on the way, and the references it gives
// back. The real device is checked by hand on Windows (docs/decisions.md, "Sound up").
#include "soundup/CoreAudioSource_win.h"

#include <objbase.h>
#include <mmdeviceapi.h>
#include <audioclient.h>
#include <mmreg.h>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

const GUID kSubPcm = {0x00000001, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
const GUID kSubFloat = {
    0x00000003, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};

WAVEFORMATEXTENSIBLE Extensible(const GUID& sub, WORD channels, DWORD rate, WORD bits,
                                WORD validBits, DWORD mask) {
    WAVEFORMATEXTENSIBLE f{};
    f.Format.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
    f.Format.nChannels = channels;
    f.Format.nSamplesPerSec = rate;
    f.Format.wBitsPerSample = bits;
    f.Format.nBlockAlign = WORD(channels * bits / 8);
    f.Format.nAvgBytesPerSec = f.Format.nBlockAlign * rate;
    f.Format.cbSize = sizeof(WAVEFORMATEXTENSIBLE) - sizeof(WAVEFORMATEX);
    f.Samples.wValidBitsPerSample = validBits;
    f.dwChannelMask = mask;
    f.SubFormat = sub;
    return f;
}

WAVEFORMATEXTENSIBLE FloatMix(WORD channels = 2, DWORD rate = 48000, DWORD mask = 3) {
    return Extensible(kSubFloat, channels, rate, 32, 32, mask);
}

WAVEFORMATEX* CoTaskCopy(const WAVEFORMATEXTENSIBLE& f) {
    const size_t size = sizeof(WAVEFORMATEX) + f.Format.cbSize;
    auto* copy = static_cast<WAVEFORMATEX*>(CoTaskMemAlloc(size));
    std::memcpy(copy, &f, size);
    return copy;
}

WAVEFORMATEXTENSIBLE Copy(const WAVEFORMATEX* f) {
    WAVEFORMATEXTENSIBLE copy{};
    std::memcpy(&copy, f, sizeof(WAVEFORMATEX) + std::min<size_t>(f->cbSize, 22));
    return copy;
}

// Reference counting without deletion: the objects live on the test's stack, and the
// test checks that every reference handed out came back.
template <class Interface>
class CCounted : public Interface {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** ppv) override {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ULONG(++refs); }
    ULONG STDMETHODCALLTYPE Release() override { return ULONG(--refs); }
    long refs = 0;
};

class CFakeCapture : public CCounted<IAudioCaptureClient> {
  public:
    HRESULT STDMETHODCALLTYPE GetBuffer(BYTE** data, UINT32* frames, DWORD* flags, UINT64*,
                                        UINT64*) override {
        *data = buffer.data();
        *frames = UINT32(buffer.size() / 4);
        *flags = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ReleaseBuffer(UINT32 frames) override {
        released += frames;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetNextPacketSize(UINT32* frames) override {
        *frames = UINT32(buffer.size() / 4);
        return S_OK;
    }
    std::vector<BYTE> buffer = std::vector<BYTE>(480 * 4, 0x11);
    UINT32 released = 0;
};

class CFakeClient : public CCounted<IAudioClient> {
  public:
    HRESULT STDMETHODCALLTYPE Initialize(AUDCLNT_SHAREMODE mode, DWORD flags,
                                         REFERENCE_TIME duration, REFERENCE_TIME period,
                                         const WAVEFORMATEX* format, LPCGUID) override {
        ++initializes;
        initMode = mode;
        initFlags = flags;
        initDuration = duration;
        initPeriod = period;
        initFormat = Copy(format);
        return failInitialize ? E_FAIL : S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetBufferSize(UINT32*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetStreamLatency(REFERENCE_TIME*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetCurrentPadding(UINT32*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE IsFormatSupported(AUDCLNT_SHAREMODE mode, const WAVEFORMATEX* format,
                                                WAVEFORMATEX** closest) override {
        askedMode = mode;
        asked = Copy(format);
        *closest = offerClosest ? CoTaskCopy(closestFormat) : nullptr;
        return supported;
    }
    HRESULT STDMETHODCALLTYPE GetMixFormat(WAVEFORMATEX** format) override {
        if (failMixFormat) return E_FAIL;
        *format = CoTaskCopy(mix);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDevicePeriod(REFERENCE_TIME*, REFERENCE_TIME*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Start() override {
        ++starts;
        return failStart ? E_FAIL : S_OK;
    }
    HRESULT STDMETHODCALLTYPE Stop() override {
        ++stops;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Reset() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetEventHandle(HANDLE) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetService(REFIID iid, void** ppv) override {
        *ppv = nullptr;
        if (failGetService || !IsEqualGUID(iid, __uuidof(IAudioCaptureClient)))
            return E_NOINTERFACE;
        capture.AddRef();
        *ppv = static_cast<IAudioCaptureClient*>(&capture);
        return S_OK;
    }

    // The script
    WAVEFORMATEXTENSIBLE mix = FloatMix();
    HRESULT supported = S_OK;
    bool offerClosest = false;
    WAVEFORMATEXTENSIBLE closestFormat = FloatMix();
    bool failMixFormat = false, failInitialize = false, failGetService = false, failStart = false;
    // What happened
    AUDCLNT_SHAREMODE askedMode = AUDCLNT_SHAREMODE_EXCLUSIVE;
    WAVEFORMATEXTENSIBLE asked{};
    int initializes = 0, starts = 0, stops = 0;
    AUDCLNT_SHAREMODE initMode = AUDCLNT_SHAREMODE_EXCLUSIVE;
    DWORD initFlags = 0;
    REFERENCE_TIME initDuration = -1, initPeriod = -1;
    WAVEFORMATEXTENSIBLE initFormat{};
    CFakeCapture capture;
};

class CFakeDevice : public CCounted<IMMDevice> {
  public:
    HRESULT STDMETHODCALLTYPE Activate(REFIID iid, DWORD, PROPVARIANT*, void** ppv) override {
        *ppv = nullptr;
        if (failActivate || !IsEqualGUID(iid, __uuidof(IAudioClient))) return E_NOINTERFACE;
        client.AddRef();
        *ppv = static_cast<IAudioClient*>(&client);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OpenPropertyStore(DWORD, IPropertyStore**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetId(LPWSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetState(DWORD*) override { return E_NOTIMPL; }

    bool failActivate = false;
    CFakeClient client;
};

// Runs a start on a device set up by `script`; checks the references afterwards.
struct StartRun {
    bool started = false;
    AudioFormat format;
};

// COM for the test's thread, as the capture thread has it around the source: the
// formats are COM task memory.
struct ComForThisThread {
    ComForThisThread() { m_bOwn = SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)); }
    ~ComForThisThread() {
        if (m_bOwn) CoUninitialize();
    }
    bool m_bOwn = false;
};

template <class Script, class Check>
void WithSource(Script script, Check check) {
    ComForThisThread com;
    CFakeDevice device;
    script(device);
    device.AddRef();  // the reference the source takes over
    {
        CCoreAudioSource source(&device);
        StartRun run;
        run.started = source.Start();
        if (run.started) run.format = source.Format();
        check(device, source, run);
    }
    EXPECT_EQ(device.refs, 0) << "the device is released";
    EXPECT_EQ(device.client.refs, 0) << "the client is released";
    EXPECT_EQ(device.client.capture.refs, 0) << "the capture client is released";
}

TEST(CoreAudioSource, AFloatMixIsAskedForAs16BitStereoPcmAndTakenWhenSupported) {
    WithSource([](CFakeDevice&) {},
               [](CFakeDevice& device, CCoreAudioSource& source, const StartRun& run) {
                   const CFakeClient& c = device.client;
                   EXPECT_EQ(c.askedMode, AUDCLNT_SHAREMODE_SHARED);
                   EXPECT_EQ(c.asked.Format.wFormatTag, WAVE_FORMAT_EXTENSIBLE);
                   EXPECT_TRUE(IsEqualGUID(c.asked.SubFormat, kSubPcm));
                   EXPECT_EQ(c.asked.Samples.wValidBitsPerSample, 16);
                   EXPECT_EQ(c.asked.Format.wBitsPerSample, 16);
                   EXPECT_EQ(c.asked.Format.nChannels, 2);
                   EXPECT_EQ(c.asked.Format.nBlockAlign, 4);
                   EXPECT_EQ(c.asked.Format.nSamplesPerSec, 48000u);
                   EXPECT_EQ(c.asked.Format.nAvgBytesPerSec, 192000u);
                   EXPECT_EQ(c.asked.dwChannelMask, 3u);

                   ASSERT_TRUE(run.started);
                   EXPECT_EQ(c.initializes, 1);
                   EXPECT_EQ(c.initMode, AUDCLNT_SHAREMODE_SHARED);
                   EXPECT_EQ(c.initFlags, DWORD(AUDCLNT_STREAMFLAGS_LOOPBACK));
                   EXPECT_EQ(c.initDuration, 0);
                   EXPECT_EQ(c.initPeriod, 0);
                   EXPECT_EQ(std::memcmp(&c.initFormat, &c.asked, sizeof c.asked), 0);
                   EXPECT_EQ(c.starts, 1);
                   EXPECT_EQ(run.format.kind, AudioFormat::Kind::Pcm16);
                   EXPECT_EQ(run.format.channels, 2);
                   EXPECT_EQ(run.format.sampleRate, 48000u);
                   EXPECT_EQ(run.format.blockAlign, 4);

                   // The stream is read through the capture client.
                   uint32_t frames = 0;
                   ASSERT_TRUE(source.NextPacketFrames(frames));
                   EXPECT_EQ(frames, 480u);
                   const uint8_t* data = nullptr;
                   uint32_t got = 0, flags = 9;
                   ASSERT_TRUE(source.GetBuffer(data, got, flags));
                   EXPECT_EQ(data, device.client.capture.buffer.data());
                   EXPECT_EQ(got, 480u);
                   EXPECT_EQ(flags, 0u);
                   ASSERT_TRUE(source.ReleaseBuffer(got));
                   EXPECT_EQ(device.client.capture.released, 480u);
                   source.Stop();
                   EXPECT_EQ(c.stops, 1);
                   EXPECT_EQ(device.client.refs, 0);
                   EXPECT_FALSE(source.NextPacketFrames(frames)) << "stopped";
               });
}

TEST(CoreAudioSource, ASurroundMixIsAskedForAsStereoWithAStereoMask) {
    WithSource([](CFakeDevice& d) { d.client.mix = FloatMix(6, 44100, 0x3F); },
               [](CFakeDevice& device, CCoreAudioSource&, const StartRun& run) {
                   const CFakeClient& c = device.client;
                   EXPECT_EQ(c.asked.Format.nChannels, 2);
                   EXPECT_EQ(c.asked.dwChannelMask, 3u);
                   EXPECT_EQ(c.asked.Format.nBlockAlign, 4);
                   EXPECT_EQ(c.asked.Format.nAvgBytesPerSec, 4u * 44100u);
                   ASSERT_TRUE(run.started);
                   EXPECT_EQ(run.format.sampleRate, 44100u);
               });
}

TEST(CoreAudioSource, TheClosestMatchOfferedIsUsedInstead) {
    // What shared mode does in practice: it offers its own float mix back.
    WithSource(
        [](CFakeDevice& d) {
            d.client.supported = S_FALSE;
            d.client.offerClosest = true;
            d.client.closestFormat = FloatMix(2, 48000);
        },
        [](CFakeDevice& device, CCoreAudioSource&, const StartRun& run) {
            const CFakeClient& c = device.client;
            ASSERT_TRUE(run.started);
            EXPECT_TRUE(IsEqualGUID(c.initFormat.SubFormat, kSubFloat));
            EXPECT_EQ(c.initFormat.Format.wBitsPerSample, 32);
            EXPECT_EQ(run.format.kind, AudioFormat::Kind::Float32);
            EXPECT_EQ(run.format.blockAlign, 8);
        });
}

TEST(CoreAudioSource, APlainPcmMixIsAskedForAsItIs) {
    WithSource(
        [](CFakeDevice& d) {
            WAVEFORMATEXTENSIBLE pcm{};
            pcm.Format = {WAVE_FORMAT_PCM, 1, 22050, 44100, 2, 16, 0};
            d.client.mix = pcm;
        },
        [](CFakeDevice& device, CCoreAudioSource&, const StartRun& run) {
            EXPECT_EQ(device.client.asked.Format.wFormatTag, WAVE_FORMAT_PCM);
            EXPECT_EQ(device.client.asked.Format.nChannels, 1);
            ASSERT_TRUE(run.started);
            EXPECT_EQ(run.format.kind, AudioFormat::Kind::Pcm16);
            EXPECT_EQ(run.format.channels, 1);
        });
}

TEST(CoreAudioSource, FormatsOtherThanPcm16AndFloat32AreRefused) {
    const WAVEFORMATEXTENSIBLE refused[] = {
        Extensible(kSubPcm, 2, 48000, 24, 24, 3), Extensible(kSubPcm, 2, 48000, 32, 24, 3),
        Extensible(kSubPcm, 2, 48000, 32, 32, 3), Extensible(kSubFloat, 2, 48000, 64, 64, 3),
        Extensible(GUID{}, 2, 48000, 16, 16, 3),
    };
    for (const WAVEFORMATEXTENSIBLE& closest : refused) {
        SCOPED_TRACE(testing::Message() << closest.Format.wBitsPerSample << " bits");
        WithSource(
            [&](CFakeDevice& d) {
                d.client.supported = S_FALSE;
                d.client.offerClosest = true;
                d.client.closestFormat = closest;
            },
            [](CFakeDevice& device, CCoreAudioSource&, const StartRun& run) {
                EXPECT_FALSE(run.started);
                EXPECT_EQ(device.client.initializes, 0);
            });
    }
}

TEST(CoreAudioSource, EveryFailureOnTheWayEndsTheStartAndReleasesWhatItGot) {
    struct Case {
        const char* name;
        void (*script)(CFakeDevice&);
    };
    const Case cases[] = {
        {"activate", [](CFakeDevice& d) { d.failActivate = true; }},
        {"mix format", [](CFakeDevice& d) { d.client.failMixFormat = true; }},
        {"unsupported", [](CFakeDevice& d) { d.client.supported = AUDCLNT_E_UNSUPPORTED_FORMAT; }},
        {"no closest match",
         [](CFakeDevice& d) {
             d.client.supported = S_FALSE;
             d.client.offerClosest = false;
         }},
        {"initialize", [](CFakeDevice& d) { d.client.failInitialize = true; }},
        {"capture service", [](CFakeDevice& d) { d.client.failGetService = true; }},
        {"start", [](CFakeDevice& d) { d.client.failStart = true; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WithSource(c.script, [](CFakeDevice&, CCoreAudioSource& source, const StartRun& run) {
            EXPECT_FALSE(run.started);
            uint32_t frames = 0;
            EXPECT_FALSE(source.NextPacketFrames(frames));
        });
    }
}

TEST(CoreAudioSource, AStartedSourceIsStoppedAndReleasedWhenDestroyed) {
    WithSource([](CFakeDevice&) {},
               [](CFakeDevice& device, CCoreAudioSource&, const StartRun& run) {
                   ASSERT_TRUE(run.started);
                   EXPECT_EQ(device.client.refs, 1);
                   EXPECT_EQ(device.client.capture.refs, 1);
                   EXPECT_EQ(device.client.stops, 0);
               });
}

}  // namespace

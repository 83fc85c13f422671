#include "soundup/CoreAudioSource_win.h"

#include <objbase.h>
#include <mmdeviceapi.h>
#include <audioclient.h>
#include <mmreg.h>

#include <cstring>

namespace {

// Defined locally so that no import library has to provide them.
const GUID kClsidMMDeviceEnumerator = {
    0xbcde0395, 0xe52f, 0x467c, {0x8e, 0x3d, 0xc4, 0x57, 0x92, 0x91, 0x69, 0x2e}};
const GUID kIidIMMDeviceEnumerator = {
    0xa95664d2, 0x9614, 0x4f35, {0xa7, 0x46, 0xde, 0x8d, 0xb6, 0x36, 0x17, 0xe6}};
const GUID kIidIAudioClient = {
    0x1cb9ad4c, 0xdbfa, 0x4c32, {0xb1, 0x78, 0xc2, 0xf5, 0x68, 0xa7, 0x03, 0xb2}};
const GUID kIidIAudioCaptureClient = {
    0xc8adbd64, 0xe71e, 0x48a0, {0xa4, 0xde, 0x18, 0x5c, 0x39, 0x5c, 0xd3, 0x17}};
const GUID kSubtypePcm = {
    0x00000001, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
const GUID kSubtypeIeeeFloat = {
    0x00000003, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};

constexpr DWORD kLoopback = 0x00020000;  // AUDCLNT_STREAMFLAGS_LOOPBACK
constexpr DWORD kStereoMask = 0x3;       // SPEAKER_FRONT_LEFT | SPEAKER_FRONT_RIGHT
constexpr WORD kExtensibleExtra = sizeof(WAVEFORMATEXTENSIBLE) - sizeof(WAVEFORMATEX);

// A format from CoTaskMemAlloc, freed on every way out.
struct CoTaskFormat {
    WAVEFORMATEX* p = nullptr;
    ~CoTaskFormat() { CoTaskMemFree(p); }
};

template <class T>
void ReleaseAndClear(T*& p) {
    if (p != nullptr) p->Release();
    p = nullptr;
}

bool IsExtensible(const WAVEFORMATEX* wave) {
    return wave->wFormatTag == WAVE_FORMAT_EXTENSIBLE && wave->cbSize >= kExtensibleExtra;
}

WaveFormatFacts FactsOf(const WAVEFORMATEX* wave) {
    WaveFormatFacts facts;
    facts.formatTag = wave->wFormatTag;
    facts.channels = wave->nChannels;
    facts.sampleRate = wave->nSamplesPerSec;
    facts.blockAlign = wave->nBlockAlign;
    facts.bitsPerSample = wave->wBitsPerSample;
    if (wave->wFormatTag == WAVE_FORMAT_EXTENSIBLE) {
        // An extensible tag without its extension has no sub-format to trust.
        facts.subFormat = WaveFormatFacts::SubFormat::Other;
        if (IsExtensible(wave)) {
            const auto* ext = reinterpret_cast<const WAVEFORMATEXTENSIBLE*>(wave);
            facts.validBitsPerSample = ext->Samples.wValidBitsPerSample;
            if (IsEqualGUID(ext->SubFormat, kSubtypePcm))
                facts.subFormat = WaveFormatFacts::SubFormat::Pcm;
            else if (IsEqualGUID(ext->SubFormat, kSubtypeIeeeFloat))
                facts.subFormat = WaveFormatFacts::SubFormat::IeeeFloat;
        }
    }
    return facts;
}

// The mixer's 32-bit float asked for as 16-bit integer stereo at the same rate.
void AskForPcm16(WAVEFORMATEX* wave) {
    if (!IsExtensible(wave)) return;
    auto* ext = reinterpret_cast<WAVEFORMATEXTENSIBLE*>(wave);
    if (!IsEqualGUID(ext->SubFormat, kSubtypeIeeeFloat)) return;
    ext->SubFormat = kSubtypePcm;
    ext->Samples.wValidBitsPerSample = 16;
    wave->wBitsPerSample = 16;
    wave->nChannels = 2;
    // Two channels need a mask of two: a surround mixer's mask would make the request
    // contradict itself.
    ext->dwChannelMask = kStereoMask;
    wave->nBlockAlign = WORD(wave->nChannels * wave->wBitsPerSample / 8);
    wave->nAvgBytesPerSec = DWORD(wave->nBlockAlign) * wave->nSamplesPerSec;
}

HRESULT CreateEnumerator(IMMDeviceEnumerator** enumerator) {
    HRESULT hr = CoCreateInstance(kClsidMMDeviceEnumerator, nullptr, CLSCTX_ALL,
                                  kIidIMMDeviceEnumerator, reinterpret_cast<void**>(enumerator));
    if (hr != CO_E_NOTINITIALIZED) return hr;
    // A thread that never initialised COM joins a single-threaded apartment, once: the
    // main dialog's thread is a user-interface thread.
    thread_local bool joined = false;
    if (joined) return hr;
    const HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (FAILED(init)) return hr;
    joined = true;
    return CoCreateInstance(kClsidMMDeviceEnumerator, nullptr, CLSCTX_ALL, kIidIMMDeviceEnumerator,
                            reinterpret_cast<void**>(enumerator));
}

}  // namespace

std::unique_ptr<CCoreAudioSource> CCoreAudioSource::OpenDefault() {
    IMMDeviceEnumerator* enumerator = nullptr;
    if (FAILED(CreateEnumerator(&enumerator)) || enumerator == nullptr) return nullptr;
    IMMDevice* device = nullptr;
    const HRESULT hr = enumerator->GetDefaultAudioEndpoint(eRender, eConsole, &device);
    enumerator->Release();
    if (FAILED(hr) || device == nullptr) return nullptr;
    return std::make_unique<CCoreAudioSource>(device);
}

CCoreAudioSource::CCoreAudioSource(IMMDevice* device) : m_pDevice(device) {}

CCoreAudioSource::~CCoreAudioSource() {
    Stop();
    ReleaseAndClear(m_pDevice);
}

bool CCoreAudioSource::Start() {
    Stop();
    if (StartStream()) return true;
    Stop();  // a half-made stream lets go of what it got
    return false;
}

bool CCoreAudioSource::StartStream() {
    if (m_pDevice == nullptr) return false;
    if (FAILED(m_pDevice->Activate(kIidIAudioClient, CLSCTX_ALL, nullptr,
                                   reinterpret_cast<void**>(&m_pClient))) ||
        m_pClient == nullptr) {
        m_pClient = nullptr;
        return false;
    }
    CoTaskFormat mix;
    if (FAILED(m_pClient->GetMixFormat(&mix.p)) || mix.p == nullptr) return false;
    AskForPcm16(mix.p);

    CoTaskFormat closest;
    const HRESULT supported =
        m_pClient->IsFormatSupported(AUDCLNT_SHAREMODE_SHARED, mix.p, &closest.p);
    if (FAILED(supported)) return false;
    const WAVEFORMATEX* chosen = mix.p;
    if (supported == S_FALSE) {
        if (closest.p == nullptr) return false;  // not supported, nothing offered instead
        chosen = closest.p;
    }
    AudioFormat format;
    if (!ChooseAudioFormat(FactsOf(chosen), format)) return false;

    if (FAILED(m_pClient->Initialize(AUDCLNT_SHAREMODE_SHARED, kLoopback, 0, 0, chosen, nullptr)))
        return false;
    if (FAILED(m_pClient->GetService(kIidIAudioCaptureClient,
                                     reinterpret_cast<void**>(&m_pCapture))) ||
        m_pCapture == nullptr) {
        m_pCapture = nullptr;
        return false;
    }
    if (FAILED(m_pClient->Start())) return false;
    m_bStarted = true;
    m_format = format;
    return true;
}

bool CCoreAudioSource::NextPacketFrames(uint32_t& frames) {
    frames = 0;
    if (m_pCapture == nullptr) return false;
    UINT32 next = 0;
    if (FAILED(m_pCapture->GetNextPacketSize(&next))) return false;
    frames = next;
    return true;
}

bool CCoreAudioSource::GetBuffer(const uint8_t*& data, uint32_t& frames, uint32_t& flags) {
    if (m_pCapture == nullptr) return false;
    BYTE* bytes = nullptr;
    UINT32 count = 0;
    DWORD bufferFlags = 0;
    if (FAILED(m_pCapture->GetBuffer(&bytes, &count, &bufferFlags, nullptr, nullptr))) return false;
    data = bytes;
    frames = count;
    flags = bufferFlags;
    return true;
}

bool CCoreAudioSource::ReleaseBuffer(uint32_t frames) {
    return m_pCapture != nullptr && SUCCEEDED(m_pCapture->ReleaseBuffer(frames));
}

void CCoreAudioSource::Stop() {
    if (m_bStarted && m_pClient != nullptr) m_pClient->Stop();
    m_bStarted = false;
    ReleaseAndClear(m_pCapture);
    ReleaseAndClear(m_pClient);
}

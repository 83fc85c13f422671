#include "soundup/SoundUpLauncher_win.h"

#include "shell/ProgramMessages.h"
#include "soundup/SoundCapture.h"

#include <objbase.h>

#include <algorithm>

struct CSoundUpLauncher::Shared {
    std::atomic<uintptr_t> generation{0};
    std::atomic<int> running{0};    // capture threads counted and not yet ended
    std::atomic<int> handOvers{0};  // hand-overs past their check and not yet returned
};

namespace {

// Owned by the capture thread (by the starter when the thread cannot be created).
struct ThreadParams {
    HWND dialog;
    uintptr_t generation;
    std::unique_ptr<IAudioSource> source;
    const std::atomic<bool>* running;
    std::shared_ptr<CSoundUpLauncher::Shared> shared;

    bool Current() const { return shared->generation.load() == generation; }
    // The stale generation is looked at first: once the dialog has moved on, its flag
    // is not touched any more.
    bool KeepRunning() const { return Current() && running->load(); }
};

class CDialogSink : public ISoundChunkSink {
  public:
    explicit CDialogSink(const ThreadParams& params) : m_params(params) {}
    void Send(const CPacket& packet) override {
        // Announced before the generation is checked, so that a Stop which made it stale
        // after the check sees this hand-over and waits for it (see Retire).
        m_params.shared->handOvers.fetch_add(1);
        if (m_params.KeepRunning()) {
            SendMessageW(m_params.dialog, kWmSendSoundPacket,
                         reinterpret_cast<WPARAM>(const_cast<CPacket*>(&packet)), 0);
        }
        m_params.shared->handOvers.fetch_sub(1);
    }

  private:
    const ThreadParams& m_params;
};

DWORD WINAPI CaptureThread(LPVOID parameter) {
    std::unique_ptr<ThreadParams> params(static_cast<ThreadParams*>(parameter));
    const std::shared_ptr<CSoundUpLauncher::Shared> shared = params->shared;
    bool failed = true;
    if (SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {
        CDialogSink sink(*params);
        const SoundCaptureResult result = RunSoundCapture(
            *params->source, sink, [&] { return params->KeepRunning(); }, [] { Sleep(1); });
        failed = result.Failed();
        params->source.reset();  // its COM objects go before the thread leaves COM
        CoUninitialize();
    }
    params->source.reset();
    if (failed && params->Current())
        PostMessageW(params->dialog, kWmSoundUpFailed, WPARAM(params->generation), 0);
    params.reset();
    shared->running.fetch_sub(1);
    return 0;
}

// Dispatches the messages sent to the calling thread, and only those.
void DispatchSentMessages() {
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
}

// Hand-overs under way end within microseconds unless the dialog is on another thread
// that does not answer; then this is how long Stop and Start wait for them.
constexpr DWORD kHandOverWaitMs = 1000;

}  // namespace

CSoundUpLauncher::CSoundUpLauncher(SourceFactory factory)
    : m_factory(std::move(factory)), m_shared(std::make_shared<Shared>()) {}

CSoundUpLauncher::~CSoundUpLauncher() {
    EndAndJoin(3000);
    // Threads that did not end in time keep the shared state alive; their handles go.
    for (HANDLE thread : m_vThreads) CloseHandle(thread);
}

bool CSoundUpLauncher::Start(HWND dialog, const std::atomic<bool>& running) {
    Reap();
    Retire();
    const uintptr_t generation = ++m_shared->generation;
    std::unique_ptr<IAudioSource> source = m_factory ? m_factory() : nullptr;
    if (!source) return false;

    auto* params = new ThreadParams{dialog, generation, std::move(source), &running, m_shared};
    m_shared->running.fetch_add(1);  // counted before it can run
    HANDLE thread = CreateThread(nullptr, 0, &CaptureThread, params, 0, nullptr);
    if (thread == nullptr) {
        m_shared->running.fetch_sub(1);
        delete params;
        return false;
    }
    m_vThreads.push_back(thread);
    return true;
}

void CSoundUpLauncher::Stop() { Retire(); }

void CSoundUpLauncher::Retire() {
    ++m_shared->generation;
    // A thread that checked its generation before the change may be on its way into
    // SendMessage: let that packet arrive now rather than after Stop returned.
    const DWORD start = GetTickCount();
    while (m_shared->handOvers.load() > 0 && GetTickCount() - start < kHandOverWaitMs) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_SENDMESSAGE);
        DispatchSentMessages();
    }
}

bool CSoundUpLauncher::IsCurrent(WPARAM generation) const {
    return uintptr_t(generation) == m_shared->generation.load();
}

void CSoundUpLauncher::Reap() {
    auto ended = [](HANDLE thread) {
        if (WaitForSingleObject(thread, 0) != WAIT_OBJECT_0) return false;
        CloseHandle(thread);
        return true;
    };
    m_vThreads.erase(std::remove_if(m_vThreads.begin(), m_vThreads.end(), ended), m_vThreads.end());
}

bool CSoundUpLauncher::EndAndJoin(DWORD milliseconds) {
    Retire();
    const DWORD start = GetTickCount();
    while (!m_vThreads.empty()) {
        Reap();
        if (m_vThreads.empty()) break;
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= milliseconds) return false;
        // Wakes when the first thread ends or a message is sent to this thread.
        const DWORD count = DWORD(std::min<size_t>(m_vThreads.size(), MAXIMUM_WAIT_OBJECTS - 1));
        MsgWaitForMultipleObjects(count, m_vThreads.data(), FALSE, milliseconds - elapsed,
                                  QS_SENDMESSAGE);
        DispatchSentMessages();
    }
    return true;
}

int CSoundUpLauncher::RunningThreads() const { return m_shared->running.load(); }

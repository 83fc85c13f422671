// The sound-up launcher on a real Win32 (Wine): capture threads hand their chunks to
// a hidden window of the test thread as the main dialog receives them (32873, sent),
// report failures with their generation (32874, posted), stop without a packet after
// the stop, never leave two streams running, and join. Core Audio itself has no device
// under Wine; the tone source stands in for it.
#include "shell/ProgramMessages.h"
#include "soundup/CoreAudioSource_win.h"
#include "soundup/SoundUpLauncher_win.h"
#include "soundup/ToneSource.h"

#include "protocol/Packet.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

namespace {

// Only a guard against a hanging test, never a timing expectation.
constexpr DWORD kGuardMs = 20000;

// The main dialog's side: a message-only window on the test thread that keeps a copy
// of every packet handed to it and every failure notice. Its event is set at each.
class CSoundDialogStub {
  public:
    struct Arrival {
        CPacket packet;
        DWORD tick;
    };

    CSoundDialogStub() {
        m_hEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        WNDCLASSW wc{};
        wc.lpfnWndProc = &CSoundDialogStub::WndProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"SoundUpTestMainDialog";
        RegisterClassW(&wc);
        m_hWnd = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 wc.hInstance, nullptr);
        SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~CSoundDialogStub() {
        DestroyWindow(m_hWnd);
        CloseHandle(m_hEvent);
    }

    HWND m_hWnd = nullptr;
    HANDLE m_hEvent = nullptr;
    std::vector<Arrival> packets;
    std::vector<WPARAM> failures;
    bool sentFromOtherThread = true;  // every packet came with SendMessage from a thread

  private:
    static LRESULT CALLBACK WndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<CSoundDialogStub*>(GetWindowLongPtrW(hWnd, GWLP_USERDATA));
        if (self == nullptr) return DefWindowProcW(hWnd, message, wParam, lParam);
        switch (message) {
            case kWmSendSoundPacket:
                // Borrowed: the capture thread frees it once this returns.
                self->packets.push_back(
                    {*reinterpret_cast<const CPacket*>(wParam), GetTickCount()});
                if ((InSendMessageEx(nullptr) & ISMEX_SEND) == 0) self->sentFromOtherThread = false;
                SetEvent(self->m_hEvent);
                return 0;
            case kWmSoundUpFailed:
                self->failures.push_back(wParam);
                SetEvent(self->m_hEvent);
                return 0;
            default:
                return DefWindowProcW(hWnd, message, wParam, lParam);
        }
    }
};

// Dispatches every message of the test thread until done() holds, sleeping on the
// stub's event (or a message) between looks; false after the guard.
bool PumpUntil(const CSoundDialogStub& stub, const std::function<bool()>& done,
               DWORD guardMs = kGuardMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (done()) return true;
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= guardMs) return false;
        MsgWaitForMultipleObjects(1, &stub.m_hEvent, FALSE, std::min<DWORD>(50, guardMs - elapsed),
                                  QS_ALLINPUT);
    }
}

// Pumps for the given time, whatever arrives.
void PumpFor(const CSoundDialogStub& stub, DWORD milliseconds) {
    PumpUntil(
        stub, [] { return false; }, milliseconds);
}

int16_t SampleAt(const CPacket& p, size_t i) {
    return int16_t(uint16_t(p.m_vData[2 * i]) | uint16_t(p.m_vData[2 * i + 1]) << 8);
}

// Sign changes between successive samples that are not zero.
int ZeroCrossings(const CPacket& p) {
    int crossings = 0, last = 0;
    for (size_t i = 0; i < p.m_vData.size() / 2; ++i) {
        const int16_t s = SampleAt(p, i);
        if (s == 0) continue;
        const int sign = s > 0 ? 1 : -1;
        if (last != 0 && sign != last) ++crossings;
        last = sign;
    }
    return crossings;
}

CSoundUpLauncher::SourceFactory Tone(double hz) {
    return [hz]() -> std::unique_ptr<IAudioSource> { return std::make_unique<CToneSource>(hz); };
}

// A tone whose start fails, at once or once the test lets it go on.
class CFailingStartSource : public CToneSource {
  public:
    explicit CFailingStartSource(HANDLE go = nullptr) : CToneSource(440), m_hGo(go) {}
    bool Start() override {
        if (m_hGo != nullptr) WaitForSingleObject(m_hGo, kGuardMs);
        return false;
    }

  private:
    HANDLE m_hGo;
};

// A tone whose buffers can no longer be given back after the given number.
class CFailingReleaseSource : public CToneSource {
  public:
    explicit CFailingReleaseSource(int buffers) : CToneSource(440), m_nLeft(buffers) {}
    bool ReleaseBuffer(uint32_t frames) override {
        CToneSource::ReleaseBuffer(frames);
        return --m_nLeft >= 0;
    }

  private:
    int m_nLeft;
};

TEST(SoundUpLauncher, ChunksArriveAsType11PacketsSentFromTheCaptureThread) {
    CSoundDialogStub dialog;
    std::atomic<bool> running{true};
    CSoundUpLauncher launcher(Tone(440));
    ASSERT_TRUE(launcher.Start(dialog.m_hWnd, running));
    EXPECT_EQ(launcher.RunningThreads(), 1);
    ASSERT_TRUE(PumpUntil(dialog, [&] { return dialog.packets.size() >= 3; }));
    EXPECT_TRUE(dialog.sentFromOtherThread);
    for (const auto& a : dialog.packets) {
        const CPacket& p = a.packet;
        EXPECT_EQ(p.m_nType, kPacketSound);
        EXPECT_GE(p.m_vData.size(), 7999u);
        EXPECT_LE(p.m_vData.size(), 8500u);
        EXPECT_EQ(p.m_nValue, int32_t(p.m_vData.size()));
        int peak = 0;
        for (size_t i = 0; i < p.m_vData.size() / 2; ++i)
            peak = std::max(peak, std::abs(int(SampleAt(p, i))));
        EXPECT_NEAR(peak, 16383, 300) << "the tone at half scale";
        // 440 Hz over 4000 samples at 8000 a second: 440 crossings.
        EXPECT_NEAR(ZeroCrossings(p), 440, 8);
    }
    EXPECT_TRUE(dialog.failures.empty());
    EXPECT_TRUE(launcher.EndAndJoin(5000));
    EXPECT_EQ(launcher.RunningThreads(), 0);
}

TEST(SoundUpLauncher, NoPacketArrivesAfterTheStopAndTheThreadEnds) {
    CSoundDialogStub dialog;
    std::atomic<bool> running{true};
    CSoundUpLauncher launcher(Tone(440));
    ASSERT_TRUE(launcher.Start(dialog.m_hWnd, running));
    ASSERT_TRUE(PumpUntil(dialog, [&] { return !dialog.packets.empty(); }));
    launcher.Stop();
    const size_t atStop = dialog.packets.size();
    ASSERT_TRUE(PumpUntil(dialog, [&] { return launcher.RunningThreads() == 0; }));
    // More than a chunk's time (0.5 s) with the window served: nothing more comes.
    PumpFor(dialog, 800);
    EXPECT_EQ(dialog.packets.size(), atStop);
    EXPECT_TRUE(dialog.failures.empty()) << "a stop is no failure";
    EXPECT_TRUE(launcher.EndAndJoin(5000));
}

TEST(SoundUpLauncher, TheDialogsFlagEndsTheThreadWithoutAFailure) {
    CSoundDialogStub dialog;
    std::atomic<bool> running{true};
    CSoundUpLauncher launcher(Tone(440));
    ASSERT_TRUE(launcher.Start(dialog.m_hWnd, running));
    ASSERT_TRUE(PumpUntil(dialog, [&] { return !dialog.packets.empty(); }));
    running = false;
    ASSERT_TRUE(PumpUntil(dialog, [&] { return launcher.RunningThreads() == 0; }));
    const size_t atEnd = dialog.packets.size();
    PumpFor(dialog, 300);
    EXPECT_EQ(dialog.packets.size(), atEnd);
    EXPECT_TRUE(dialog.failures.empty());
    EXPECT_TRUE(launcher.EndAndJoin(5000));
}

TEST(SoundUpLauncher, StartStopStartLeavesOneStreamOfTheNewSource) {
    CSoundDialogStub dialog;
    std::atomic<bool> running{true};
    // The first start plays 300 Hz, every later one 1000 Hz: each packet says whose it is.
    int starts = 0;
    CSoundUpLauncher launcher([&]() -> std::unique_ptr<IAudioSource> {
        return std::make_unique<CToneSource>(starts++ == 0 ? 300.0 : 1000.0);
    });
    ASSERT_TRUE(launcher.Start(dialog.m_hWnd, running));
    ASSERT_TRUE(PumpUntil(dialog, [&] { return !dialog.packets.empty(); }));
    launcher.Stop();
    ASSERT_TRUE(launcher.Start(dialog.m_hWnd, running));
    const size_t oldPackets = dialog.packets.size();
    ASSERT_TRUE(PumpUntil(dialog, [&] { return launcher.RunningThreads() == 1; }));

    // Measured from the new stream's first packet, over about 2 s.
    ASSERT_TRUE(PumpUntil(dialog, [&] { return dialog.packets.size() > oldPackets; }));
    const DWORD from = dialog.packets.back().tick;
    const size_t first = dialog.packets.size() - 1;
    PumpFor(dialog, 2000);
    const size_t arrived = dialog.packets.size() - 1 - first;
    // One stream brings a chunk every 0.5 s, about 4 here; two would bring about 8.
    EXPECT_GE(arrived, 2u);
    EXPECT_LE(arrived, 6u) << "over " << (GetTickCount() - from) << " ms";
    EXPECT_EQ(launcher.RunningThreads(), 1);
    for (size_t i = oldPackets; i < dialog.packets.size(); ++i)
        EXPECT_GT(ZeroCrossings(dialog.packets[i].packet), 700) << "packet " << i;
    for (size_t i = 0; i < oldPackets; ++i)
        EXPECT_LT(ZeroCrossings(dialog.packets[i].packet), 400) << "packet " << i;
    EXPECT_TRUE(dialog.failures.empty());
    EXPECT_TRUE(launcher.EndAndJoin(5000));
    EXPECT_EQ(launcher.RunningThreads(), 0);
}

TEST(SoundUpLauncher, ManyQuickRestartsSettleAtOneThread) {
    CSoundDialogStub dialog;
    std::atomic<bool> running{true};
    CSoundUpLauncher launcher(Tone(440));
    for (int i = 0; i < 20; ++i) {
        ASSERT_TRUE(launcher.Start(dialog.m_hWnd, running));
        if (i % 2 == 0) launcher.Stop();
    }
    ASSERT_TRUE(PumpUntil(dialog, [&] { return launcher.RunningThreads() == 1; }));
    PumpFor(dialog, 200);
    EXPECT_EQ(launcher.RunningThreads(), 1);
    EXPECT_TRUE(launcher.EndAndJoin(5000));
    EXPECT_EQ(launcher.RunningThreads(), 0);
}

TEST(SoundUpLauncher, AFailingSourcePostsTheCurrentGeneration) {
    CSoundDialogStub dialog;
    std::atomic<bool> running{true};
    CSoundUpLauncher launcher(
        []() -> std::unique_ptr<IAudioSource> { return std::make_unique<CFailingStartSource>(); });
    ASSERT_TRUE(launcher.Start(dialog.m_hWnd, running));
    ASSERT_TRUE(PumpUntil(dialog, [&] { return !dialog.failures.empty(); }));
    ASSERT_EQ(dialog.failures.size(), 1u);
    EXPECT_TRUE(launcher.IsCurrent(dialog.failures[0]));
    ASSERT_TRUE(PumpUntil(dialog, [&] { return launcher.RunningThreads() == 0; }));
    EXPECT_TRUE(dialog.packets.empty());
    launcher.Stop();
    EXPECT_FALSE(launcher.IsCurrent(dialog.failures[0]));
    EXPECT_TRUE(launcher.EndAndJoin(5000));
}

TEST(SoundUpLauncher, AFailureInTheMiddleOfTheStreamIsPostedAfterWhatWasSent) {
    CSoundDialogStub dialog;
    std::atomic<bool> running{true};
    CSoundUpLauncher launcher([]() -> std::unique_ptr<IAudioSource> {
        return std::make_unique<CFailingReleaseSource>(60);  // one chunk is 50 buffers
    });
    ASSERT_TRUE(launcher.Start(dialog.m_hWnd, running));
    ASSERT_TRUE(PumpUntil(dialog, [&] { return !dialog.failures.empty(); }));
    EXPECT_EQ(dialog.packets.size(), 1u);
    EXPECT_TRUE(launcher.IsCurrent(dialog.failures[0]));
    EXPECT_TRUE(launcher.EndAndJoin(5000));
}

TEST(SoundUpLauncher, AFailureOfAStaleGenerationIsNotPosted) {
    CSoundDialogStub dialog;
    std::atomic<bool> running{true};
    HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    CSoundUpLauncher launcher([go]() -> std::unique_ptr<IAudioSource> {
        return std::make_unique<CFailingStartSource>(go);
    });
    ASSERT_TRUE(launcher.Start(dialog.m_hWnd, running));
    launcher.Stop();
    SetEvent(go);
    ASSERT_TRUE(PumpUntil(dialog, [&] { return launcher.RunningThreads() == 0; }));
    PumpFor(dialog, 200);
    EXPECT_TRUE(dialog.failures.empty());
    EXPECT_TRUE(launcher.EndAndJoin(5000));
    CloseHandle(go);
}

TEST(SoundUpLauncher, NoSourceMeansNoThread) {
    CSoundDialogStub dialog;
    std::atomic<bool> running{true};
    CSoundUpLauncher launcher([] { return std::unique_ptr<IAudioSource>(); });
    EXPECT_FALSE(launcher.Start(dialog.m_hWnd, running));
    EXPECT_EQ(launcher.RunningThreads(), 0);
    CSoundUpLauncher noFactory(nullptr);
    EXPECT_FALSE(noFactory.Start(dialog.m_hWnd, running));
    EXPECT_TRUE(launcher.EndAndJoin(1000));
}

TEST(SoundUpLauncher, EndAndJoinEndsEveryThreadWhileTheyAreSending) {
    CSoundDialogStub dialog;
    std::atomic<bool> running{true};
    CSoundUpLauncher launcher(Tone(440));
    ASSERT_TRUE(launcher.Start(dialog.m_hWnd, running));
    launcher.Stop();
    ASSERT_TRUE(launcher.Start(dialog.m_hWnd, running));
    ASSERT_TRUE(PumpUntil(dialog, [&] { return !dialog.packets.empty(); }));
    // Not pumping here: a capture thread may be waiting in SendMessage, and EndAndJoin
    // must serve it to let it end.
    EXPECT_TRUE(launcher.EndAndJoin(5000));
    EXPECT_EQ(launcher.RunningThreads(), 0);
    const size_t atEnd = dialog.packets.size();
    PumpFor(dialog, 300);
    EXPECT_EQ(dialog.packets.size(), atEnd);
}

TEST(SoundUpLauncher, TheDestructorJoinsItsThreads) {
    CSoundDialogStub dialog;
    std::atomic<bool> running{true};
    auto launcher = std::make_unique<CSoundUpLauncher>(Tone(440));
    ASSERT_TRUE(launcher->Start(dialog.m_hWnd, running));
    ASSERT_TRUE(PumpUntil(dialog, [&] { return !dialog.packets.empty(); }));
    launcher.reset();
    const size_t atEnd = dialog.packets.size();
    PumpFor(dialog, 300);
    EXPECT_EQ(dialog.packets.size(), atEnd);
}

// Core Audio under Wine: there is no playback device to capture, so the default source
// cannot be opened or cannot start. Either way the launcher reports it and nothing
// hangs; on Windows with a device the same test sees packets instead. Opening works
// from a thread that has not initialised COM.
TEST(CoreAudioSource, OpensFromAThreadWithoutComAndFailsCleanlyWithoutADevice) {
    bool opened = false;
    std::thread plain([&] { opened = CCoreAudioSource::OpenDefault() != nullptr; });
    plain.join();
    RecordProperty("default_device", opened ? "found" : "none");

    CSoundDialogStub dialog;
    std::atomic<bool> running{true};
    CSoundUpLauncher launcher(
        []() -> std::unique_ptr<IAudioSource> { return CCoreAudioSource::OpenDefault(); });
    if (!launcher.Start(dialog.m_hWnd, running)) {
        EXPECT_EQ(launcher.RunningThreads(), 0);
        return;
    }
    ASSERT_TRUE(
        PumpUntil(dialog, [&] { return !dialog.failures.empty() || !dialog.packets.empty(); }));
    if (!dialog.failures.empty()) {
        EXPECT_TRUE(launcher.IsCurrent(dialog.failures[0]));
    }
    for (const auto& a : dialog.packets)
        EXPECT_EQ(a.packet.m_nValue, int32_t(a.packet.m_vData.size()));
    EXPECT_TRUE(launcher.EndAndJoin(5000));
    EXPECT_EQ(launcher.RunningThreads(), 0);
}

}  // namespace

// CSoundUpLauncher: starts and ends the sound-up capture threads of the main dialog.
//
// Every Start begins a new generation and makes the one before it stale. A capture
// thread runs while the dialog's `running` flag is set and its generation is the
// current one, and it checks both right before each hand-over, so a thread that has
// seen its generation go stale never hands over again. Stop and Start also wait the
// few microseconds a hand-over that already passed that check takes to arrive,
// dispatching the messages sent to the calling thread meanwhile: once they return, no
// packet of an older generation can still reach the dialog.
//
// The launcher's state is shared with its threads, so a thread that outlives a
// launcher whose join timed out still finds it.
#pragma once

#include "framework/Afx_win.h"
#include "soundup/AudioSource.h"

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

// One capture thread at a time per generation; the main dialog owns one launcher.
class CSoundUpLauncher {
  public:
    // Makes the capture source on the UI thread at each start; null = no device.
    using SourceFactory = std::function<std::unique_ptr<IAudioSource>()>;
    explicit CSoundUpLauncher(SourceFactory factory);
    ~CSoundUpLauncher();  // ends and joins (bounded) like EndAndJoin(3000)
    CSoundUpLauncher(const CSoundUpLauncher&) = delete;
    CSoundUpLauncher& operator=(const CSoundUpLauncher&) = delete;

    // Starts a capture thread that sends each chunk's packet to `dialog` with
    // SendMessageW(dialog, kWmSendSoundPacket, (WPARAM)&packet, 0) and, when the capture
    // fails or ends by itself while still current, posts kWmSoundUpFailed
    // (wParam = the generation) to `dialog`. The thread runs while `running` is true and
    // its generation is the current one. False when no source could be made or the thread
    // could not start (nothing runs then).
    bool Start(HWND dialog, const std::atomic<bool>& running);
    // Makes the running thread's generation stale; it ends at its next loop turn. Does not
    // wait for it to end.
    void Stop();
    // True when this generation is the one running now (for kWmSoundUpFailed).
    bool IsCurrent(WPARAM generation) const;
    // Stops and waits for every capture thread to end, dispatching messages SENT to this
    // thread meanwhile (the capture threads hand over with SendMessage); false on time-out.
    bool EndAndJoin(DWORD milliseconds);
    int RunningThreads() const;

    struct Shared;  // the state the threads share with the launcher

  private:
    // Makes the current generation stale and lets hand-overs already under way arrive.
    void Retire();
    // Closes the handles of the threads that have ended.
    void Reap();

    SourceFactory m_factory;
    std::shared_ptr<Shared> m_shared;
    std::vector<HANDLE> m_vThreads;
};

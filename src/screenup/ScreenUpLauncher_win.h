// CScreenUpLauncher: the capture threads of screen up. A capture thread copies the
// primary screen (with layered windows) into a canvas over and over, lets
// CScreenUpEngine pick and pack the changed tiles, and hands each frame packet to the
// main dialog with the synchronous message 32875, whose answer says whether the frame
// went out. The dialog owns one launcher.
//
// Each start makes a new generation; a thread runs while the program's screen-up flag
// is set and its generation is the current one, so a quick off and on never leaves an
// old thread sending beside the new one. Threads are counted before they start and
// joined by handle. They share only a small reference-counted state with the launcher,
// never the dialog: a window handle is all they know of it.
#pragma once

#include "framework/Afx_win.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

class CScreenUpLauncher {
  public:
    CScreenUpLauncher();
    ~CScreenUpLauncher();
    CScreenUpLauncher(const CScreenUpLauncher&) = delete;
    CScreenUpLauncher& operator=(const CScreenUpLauncher&) = delete;

    // Starts a capture thread for a screen of width x height whose first frame carries
    // firstFrame. Frames go to `dialog` as SendMessage(dialog, 32875, &packet,
    // HandOverParam(fullRefresh, generation)); the dialog answers 1 when it sent the
    // frame. False when the thread could not start.
    bool Start(HWND dialog, const std::atomic<bool>& running, int width, int height,
               uint32_t firstFrame);
    // Makes the running generation stale: its thread ends after its cycle. No wait.
    void Stop();
    // Waits until no capture thread runs, dispatching the messages sent to this thread
    // meanwhile (a thread may be inside its hand-over), and every other message too
    // when pumpAll is set. False on time-out.
    bool WaitForThreads(DWORD milliseconds, bool pumpAll);
    // Stop, then WaitForThreads without dispatching posted messages.
    bool EndAndJoin(DWORD milliseconds);

    bool IsCurrent(uint32_t generation) const;
    int RunningThreads() const;
    // The number the next frame will carry; kept across a restart.
    uint32_t FrameCounter() const;

    // The hand-over's lParam: bit 0 is the full-refresh flag, the bits above it the
    // thread's generation.
    static LPARAM HandOverParam(bool fullRefresh, uint32_t generation);
    static bool IsFullRefresh(LPARAM lParam);
    static uint32_t GenerationOf(LPARAM lParam);

    struct State;

  private:
    void CloseEndedThreads();

    std::shared_ptr<State> m_state;
    std::vector<HANDLE> m_vThreads;
};

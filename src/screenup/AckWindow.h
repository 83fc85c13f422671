// CAckWindow: how many screen-up frames the main dialog lets out before the lectern PC
// acknowledges them with "[RH00002]<frame number>". Up to three frames travel freely,
// one more is sent when the window fills, and after that frames are dropped until an
// acknowledgement reopens the window; once more than 30 frame numbers have passed
// since the last frame sent, the next one goes out regardless, so a peer that never
// acknowledges still sees one frame in 31.
//
// All arithmetic is unsigned 32-bit, as the numbers wrap on a long session. Used on the
// main dialog's thread only.
#pragma once

#include <cstdint>

class CAckWindow {
  public:
    // Frames that may be outstanding before the window closes.
    static constexpr uint32_t kFreeFrames = 3;
    // Frame numbers that may pass after the last frame sent while the window is closed.
    static constexpr uint32_t kBlockedSpan = 30;
    // The blocked marker's value while the window is open.
    static constexpr uint32_t kNotBlocked = 0xFFFFFFFFu;

    // Screen up (re)starts: nothing sent, nothing acknowledged, not blocked.
    void Reset();

    // The capture thread hands over the frame numbered frameNumber; the frame counter
    // then stands one past it. True when the frame is to be sent, false when dropped.
    bool Admit(int32_t frameNumber);

    // "[RH00002]n": n becomes the last acknowledged number, whatever it is (a lower
    // number than before also counts), and the window opens.
    void OnAcknowledged(int32_t frameNumber);

    uint32_t LastSent() const { return m_nLastSent; }
    uint32_t LastAcknowledged() const { return m_nLastAcknowledged; }
    uint32_t BlockedMarker() const { return m_nBlockedMarker; }
    bool Blocked() const { return m_nBlockedMarker != kNotBlocked; }

  private:
    uint32_t m_nLastSent = 0;          // frame counter after the last frame sent
    uint32_t m_nLastAcknowledged = 0;  // number from the last "[RH00002]"
    // The last acknowledged number at the moment the window closed, or kNotBlocked.
    uint32_t m_nBlockedMarker = kNotBlocked;
};

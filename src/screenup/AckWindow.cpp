#include "screenup/AckWindow.h"

void CAckWindow::Reset() {
    m_nLastSent = 0;
    m_nLastAcknowledged = 0;
    m_nBlockedMarker = kNotBlocked;
}

bool CAckWindow::Admit(int32_t frameNumber) {
    const uint32_t count = static_cast<uint32_t>(frameNumber) + 1u;
    const uint32_t outstanding = m_nLastSent - m_nLastAcknowledged;
    if (outstanding >= kFreeFrames && count - m_nLastSent <= kBlockedSpan) {
        if (m_nBlockedMarker != kNotBlocked) return false;
        // The one frame more that fills the window. The marker keeps the acknowledged
        // number as it is, so after "[RH00002]-1" the window cannot close (the marker
        // then reads "not blocked"); the lectern PC never acknowledges -1.
        m_nLastSent = count;
        m_nBlockedMarker = m_nLastAcknowledged;
        return true;
    }
    m_nLastSent = count;
    return true;
}

void CAckWindow::OnAcknowledged(int32_t frameNumber) {
    m_nLastAcknowledged = static_cast<uint32_t>(frameNumber);
    m_nBlockedMarker = kNotBlocked;
}

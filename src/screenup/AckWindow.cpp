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
        // The one frame more that fills the window. The marker takes the acknowledged
        // number as it is; should that be -1, the window simply stays open, as the
        // lectern PC has always seen it behave.
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

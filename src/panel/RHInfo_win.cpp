#include "panel/RHInfo_win.h"

#include <ctime>

CRHInfo::CRHInfo() { ::InitializeCriticalSection(&m_csFrame); }

CRHInfo::~CRHInfo() { ::DeleteCriticalSection(&m_csFrame); }

void CRHInfo::RecreateFrame(int width, int height) {
    ::EnterCriticalSection(&m_csFrame);
    m_bmFrame.Create(width, height, m_nBitsPerPixel);
    ::LeaveCriticalSection(&m_csFrame);
}

long long CRHInfo::NowSeconds() { return static_cast<long long>(std::time(nullptr)); }

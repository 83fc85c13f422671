#include "widgets/PictureEx_win.h"

#include "widgets/GifParser.h"

#include <olectl.h>

namespace {

constexpr DWORD kStopWaitMs = 5000;
constexpr int kHimetricPerInch = 2540;

IPicture* DecodePicture(const BYTE* data, size_t size) {
    HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, size);
    if (memory == nullptr) return nullptr;
    void* target = ::GlobalLock(memory);
    if (target == nullptr) {
        ::GlobalFree(memory);
        return nullptr;
    }
    memcpy(target, data, size);
    ::GlobalUnlock(memory);
    IStream* stream = nullptr;
    if (FAILED(::CreateStreamOnHGlobal(memory, TRUE, &stream))) {
        ::GlobalFree(memory);
        return nullptr;
    }
    IPicture* picture = nullptr;
    HRESULT hr = ::OleLoadPicture(stream, static_cast<LONG>(size), FALSE, IID_IPicture,
                                  reinterpret_cast<void**>(&picture));
    stream->Release();
    return SUCCEEDED(hr) ? picture : nullptr;
}

SIZE PicturePixels(IPicture* picture) {
    OLE_XSIZE_HIMETRIC width = 0;
    OLE_YSIZE_HIMETRIC height = 0;
    picture->get_Width(&width);
    picture->get_Height(&height);
    HDC screen = ::GetDC(nullptr);
    SIZE size{::MulDiv(width, ::GetDeviceCaps(screen, LOGPIXELSX), kHimetricPerInch),
              ::MulDiv(height, ::GetDeviceCaps(screen, LOGPIXELSY), kHimetricPerInch)};
    ::ReleaseDC(nullptr, screen);
    return size;
}

void Render(IPicture* picture, HDC dc, int x, int y, int width, int height) {
    OLE_XSIZE_HIMETRIC w = 0;
    OLE_YSIZE_HIMETRIC h = 0;
    picture->get_Width(&w);
    picture->get_Height(&h);
    picture->Render(dc, x, y, width, height, 0, h, w, -h, nullptr);
}

}  // namespace

CPictureEx::CPictureEx() {
    ::InitializeCriticalSection(&m_lock);
    m_hStopEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
}

CPictureEx::~CPictureEx() {
    ReleasePicture();
    if (m_hStopEvent != nullptr) ::CloseHandle(m_hStopEvent);
    ::DeleteCriticalSection(&m_lock);
}

BOOL CPictureEx::LoadGifResource(UINT id, const wchar_t* type) {
    HINSTANCE module = AfxGetResourceHandle();
    HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(id), type);
    if (found == nullptr) return FALSE;
    HGLOBAL loaded = ::LoadResource(module, found);
    const DWORD size = ::SizeofResource(module, found);
    if (loaded == nullptr || size == 0) return FALSE;
    const BYTE* data = static_cast<const BYTE*>(::LockResource(loaded));
    if (data == nullptr) return FALSE;
    return LoadGifData(data, size);
}

BOOL CPictureEx::LoadGifData(const BYTE* data, size_t size) {
    ReleasePicture();
    m_bLoop = true;
    const tavrel::GifInfo info = tavrel::ParseGif(data, size);
    if (!info.isGif || info.images.size() == 1) {
        // Not a GIF, or a GIF with one image: one still picture.
        m_pStill = DecodePicture(data, size);
        if (m_pStill == nullptr) return FALSE;
        const SIZE pixels = PicturePixels(m_pStill);
        m_nWidth = pixels.cx;
        m_nHeight = pixels.cy;
        Prepare();
        return TRUE;
    }
    if (info.images.empty()) return FALSE;
    m_nWidth = info.width;
    m_nHeight = info.height;
    for (const tavrel::GifImage& image : info.images) {
        const std::vector<uint8_t> single = tavrel::MakeSingleImageGif(data, size, info, image);
        IPicture* picture = DecodePicture(single.data(), single.size());
        if (picture == nullptr) continue;  // a frame that does not decode is left out
        m_frames.push_back(AnimationFrame{picture, image.width, image.height, image.left, image.top,
                                          image.delay, image.disposal});
    }
    if (m_frames.empty()) return FALSE;
    Prepare();
    return TRUE;
}

void CPictureEx::Prepare() {
    if (m_hWnd != nullptr) {
        RECT rect;
        ::GetWindowRect(m_hWnd, &rect);
        ::SetWindowPos(m_hWnd, nullptr, 0, 0, m_nWidth, m_nHeight,
                       SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    HDC screen = ::GetDC(nullptr);
    m_hMemDC = ::CreateCompatibleDC(screen);
    m_hMemBitmap = ::CreateCompatibleBitmap(screen, m_nWidth, m_nHeight);
    m_hOldMemBitmap = ::SelectObject(m_hMemDC, m_hMemBitmap);
    ::ReleaseDC(nullptr, screen);
    m_clrBackground = ::GetSysColor(COLOR_MENU);
    FillBackground(0, 0, m_nWidth, m_nHeight);
    m_clrBackground = ::GetSysColor(COLOR_BTNFACE);
    m_bPrepared = true;
}

void CPictureEx::FillBackground(int left, int top, int width, int height) {
    HBRUSH brush = ::CreateSolidBrush(m_clrBackground);
    RECT area{left, top, left + width, top + height};
    ::FillRect(m_hMemDC, &area, brush);
    ::DeleteObject(brush);
}

BOOL CPictureEx::StartAnimation() {
    if (!m_bPrepared) return FALSE;
    if (m_frames.size() > 1) {
        if (m_hThread != nullptr) return TRUE;
        m_bRunning = true;
        m_hThread = ::CreateThread(nullptr, 0, &CPictureEx::AnimationThread, this, CREATE_SUSPENDED,
                                   nullptr);
        if (m_hThread == nullptr) return FALSE;
        ::ResumeThread(m_hThread);
        return TRUE;
    }
    ::EnterCriticalSection(&m_lock);
    if (m_pStill != nullptr)
        Render(m_pStill, m_hMemDC, 0, 0, m_nWidth, m_nHeight);
    else if (!m_frames.empty())
        RenderFrame(m_frames.front());
    ::LeaveCriticalSection(&m_lock);
    if (m_hWnd != nullptr) ::InvalidateRect(m_hWnd, nullptr, FALSE);
    return TRUE;
}

DWORD WINAPI CPictureEx::AnimationThread(LPVOID self) {
    static_cast<CPictureEx*>(self)->Animate();
    return 0;
}

void CPictureEx::RenderFrame(const AnimationFrame& frame) {
    Render(frame.picture, m_hMemDC, frame.left, frame.top, frame.width, frame.height);
}

void CPictureEx::Dispose(const AnimationFrame& frame) {
    if (frame.disposal == 2) {
        FillBackground(frame.left, frame.top, frame.width, frame.height);
    } else if (frame.disposal == 3 && m_hSavedDC != nullptr) {
        ::BitBlt(m_hMemDC, frame.left, frame.top, frame.width, frame.height, m_hSavedDC, 0, 0,
                 SRCCOPY);
        ::SelectObject(m_hSavedDC, m_hOldSavedBitmap);
        ::DeleteObject(m_hSavedBitmap);
        ::DeleteDC(m_hSavedDC);
        m_hSavedDC = nullptr;
        m_hSavedBitmap = nullptr;
    }
}

void CPictureEx::Animate() {
    ::EnterCriticalSection(&m_lock);
    Dispose(m_frames[m_nCurrentFrame]);
    ::LeaveCriticalSection(&m_lock);
    while (m_bStopping == 0) {
        const AnimationFrame& frame = m_frames[m_nCurrentFrame];
        ::EnterCriticalSection(&m_lock);
        if (frame.disposal == 3 && m_hSavedDC == nullptr) {
            m_hSavedDC = ::CreateCompatibleDC(m_hMemDC);
            m_hSavedBitmap = ::CreateCompatibleBitmap(m_hMemDC, frame.width, frame.height);
            m_hOldSavedBitmap = ::SelectObject(m_hSavedDC, m_hSavedBitmap);
            ::BitBlt(m_hSavedDC, 0, 0, frame.width, frame.height, m_hMemDC, frame.left, frame.top,
                     SRCCOPY);
        }
        RenderFrame(frame);
        ::LeaveCriticalSection(&m_lock);
        m_nFramesShown = m_nFramesShown + 1;
        if (m_hWnd != nullptr) ::InvalidateRect(m_hWnd, nullptr, FALSE);

        if (::WaitForSingleObject(m_hStopEvent, tavrel::FrameDisplayMs(frame.delay)) ==
                WAIT_OBJECT_0 ||
            m_bStopping != 0) {
            break;
        }
        ::EnterCriticalSection(&m_lock);
        Dispose(frame);
        ++m_nCurrentFrame;
        bool stop = false;
        if (m_nCurrentFrame >= m_frames.size()) {
            m_nCurrentFrame = 0;
            FillBackground(0, 0, m_nWidth, m_nHeight);
            stop = !m_bLoop;
        }
        ::LeaveCriticalSection(&m_lock);
        if (stop) break;
    }
    m_bRunning = false;
}

void CPictureEx::StopAnimation() {
    m_bRunning = false;
    if (m_hThread == nullptr) return;
    ::InterlockedExchange(&m_bStopping, 1);
    ::SetEvent(m_hStopEvent);
    // A thread that does not finish in time is abandoned rather than waited for.
    ::WaitForSingleObject(m_hThread, kStopWaitMs);
    ::CloseHandle(m_hThread);
    m_hThread = nullptr;
    ::ResetEvent(m_hStopEvent);
    ::InterlockedExchange(&m_bStopping, 0);
}

void CPictureEx::ReleasePicture() {
    StopAnimation();
    ::EnterCriticalSection(&m_lock);
    for (AnimationFrame& frame : m_frames) frame.picture->Release();
    m_frames.clear();
    if (m_pStill != nullptr) m_pStill->Release();
    m_pStill = nullptr;
    if (m_hMemDC != nullptr) {
        ::SelectObject(m_hMemDC, m_hOldMemBitmap);
        ::DeleteObject(m_hMemBitmap);
        ::DeleteDC(m_hMemDC);
    }
    m_hMemDC = nullptr;
    m_hMemBitmap = nullptr;
    if (m_hSavedDC != nullptr) {
        ::SelectObject(m_hSavedDC, m_hOldSavedBitmap);
        ::DeleteObject(m_hSavedBitmap);
        ::DeleteDC(m_hSavedDC);
    }
    m_hSavedDC = nullptr;
    m_hSavedBitmap = nullptr;
    m_nWidth = m_nHeight = 0;
    m_nCurrentFrame = 0;
    m_bPrepared = false;
    m_clrBackground = RGB(255, 255, 255);
    ::LeaveCriticalSection(&m_lock);
}

void CPictureEx::OnPaint() {
    PAINTSTRUCT paint;
    HDC dc = ::BeginPaint(m_hWnd, &paint);
    ::EnterCriticalSection(&m_lock);
    if (m_hMemDC != nullptr) ::BitBlt(dc, 0, 0, m_nWidth, m_nHeight, m_hMemDC, 0, 0, SRCCOPY);
    ::LeaveCriticalSection(&m_lock);
    ::EndPaint(m_hWnd, &paint);
}

LRESULT CPictureEx::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) {
        OnPaint();
        return 0;
    }
    if (message == WM_DESTROY) StopAnimation();
    return CStatic::WindowProc(message, wParam, lParam);
}

// CPictureEx: a static control that shows a picture from the resources; an animated
// GIF plays on a thread of its own, frame by frame, with each frame's delay and
// disposal.
#pragma once

#include "framework/Static_win.h"

#include <ocidl.h>
#include <olectl.h>

#include <vector>

struct AnimationFrame {
    IPicture* picture = nullptr;
    int width = 0;
    int height = 0;
    int left = 0;
    int top = 0;
    int delay = -1;  // hundredths of a second; -1 without a graphic control extension
    int disposal = 0;
};

class CPictureEx : public CStatic {
  public:
    CPictureEx();
    ~CPictureEx() override;

    BOOL LoadGifResource(UINT id, const wchar_t* type);
    // Loads from bytes directly (the resource path ends here too).
    BOOL LoadGifData(const BYTE* data, size_t size);
    BOOL StartAnimation();
    void StopAnimation();
    void ReleasePicture();

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    int PictureWidth() const { return m_nWidth; }
    int PictureHeight() const { return m_nHeight; }
    size_t FrameCount() const { return m_frames.size(); }
    bool IsAnimating() const { return m_hThread != nullptr; }
    size_t FramesShown() const { return m_nFramesShown; }

    bool m_bLoop = true;

  private:
    static DWORD WINAPI AnimationThread(LPVOID self);
    void Animate();
    void Prepare();
    void RenderFrame(const AnimationFrame& frame);
    void Dispose(const AnimationFrame& frame);
    void FillBackground(int left, int top, int width, int height);
    void OnPaint();

    int m_nWidth = 0;
    int m_nHeight = 0;
    COLORREF m_clrBackground = RGB(255, 255, 255);
    std::vector<AnimationFrame> m_frames;
    size_t m_nCurrentFrame = 0;
    IPicture* m_pStill = nullptr;
    HDC m_hMemDC = nullptr;
    HBITMAP m_hMemBitmap = nullptr;
    HGDIOBJ m_hOldMemBitmap = nullptr;
    HDC m_hSavedDC = nullptr;
    HBITMAP m_hSavedBitmap = nullptr;
    HGDIOBJ m_hOldSavedBitmap = nullptr;
    HANDLE m_hStopEvent = nullptr;
    HANDLE m_hThread = nullptr;
    volatile LONG m_bStopping = 0;
    bool m_bRunning = false;
    bool m_bPrepared = false;
    volatile size_t m_nFramesShown = 0;
    // The animation thread draws into the off-screen image while WM_PAINT copies it
    // on the window's thread: both hold this lock.
    CRITICAL_SECTION m_lock;
};

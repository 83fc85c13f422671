// The note tool's overlay: a full-screen window over a frozen picture of the screen
// (board writing) or a white page (whiteboard) that the teacher writes on. Its strokes
// live only in memory; a repaint draws the background and replays them in order.
#pragma once

#include "framework/FrameWnd_win.h"
#include "notetool/NoteRules.h"
#include "widgets/MemBitmap_win.h"

#include <string>
#include <vector>

// One stroke as the pen made it: its tool, pen and the points it passed through.
struct CStroke {
    int tool = note::kToolDraw;  // note::kToolDraw or note::kToolErase
    int width = note::kWidthBeforeSize;
    int sizeType = 2;
    int semiTransparent = 0;  // 1: drawn with R2_MASKPEN
    COLORREF colour = RGB(230, 0, 0);
    std::vector<POINT> points;
};

class CNoteToolWnd : public CFrameWnd {
  public:
    // Makes and shows an overlay in mode 1 (snapshot; `mainDialog` is hidden for the copy,
    // may be null) or 2 (white page). Null when it could not be made (nothing is left behind).
    static CNoteToolWnd* CreateOverlay(int mode, HWND mainDialog);

    void SetTool(int tool);           // 0 or 4; cursor 392 or 404
    void SetPenSize(int sizeType);    // 1-4; width from the table for the current tool
    void SetColour(COLORREF colour);  // for the next stroke
    void ToggleSemiTransparent();
    bool SemiTransparent() const { return m_bSemiTransparent; }
    void ClearAll();      // deletes the strokes; repaints (erasing first); modified unchanged
    void CloseOverlay();  // deletes the strokes, clears modified, destroys the window
    bool Modified() const { return m_bModified; }
    bool Active() const { return m_bActive; }
    // Writes what a repaint shows, rendered off-screen (the window itself is covered by
    // the topmost palette), as a JPEG of quality 100, replacing a file of that name.
    // True: the path is remembered and modified is cleared. False on any failure;
    // modified then stays as it was.
    bool SaveJpeg(const std::wstring& path);
    const std::wstring& LastSavedPath() const { return m_strLastSavedPath; }
    // The picture a repaint shows, as a new 32-bpp top-down DIB section (the caller
    // deletes it); null when it cannot be made.
    HBITMAP RenderPicture() const;

    int Mode() const { return m_nMode; }
    int Tool() const { return m_nTool; }
    int SizeType() const { return m_nSizeType; }
    int Width() const { return m_nWidth; }
    COLORREF Colour() const { return m_colour; }
    size_t StrokeCount() const { return m_strokes.size(); }

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

  private:
    explicit CNoteToolWnd(int mode) : m_nMode(mode) {}
    ~CNoteToolWnd() override;

    bool Build(HWND mainDialog);
    void TakeSnapshot(HWND mainDialog);
    void PaintWhitePage();
    bool MakeBackgroundCopy();
    void LoadToolCursor();

    void OnPenDown(POINT point);
    void OnPenMove(WPARAM keys, POINT point);
    void OnPenUp();
    void OnPaint();
    void EraseLive(POINT point);
    // Draws the background and replays every stroke into `dc` (the overlay's size).
    void Render(HDC dc) const;
    void ReplayStroke(HDC dc, const CStroke& stroke) const;
    void ReleaseBackgroundCopy();

    const int m_nMode;
    note::NoteRect m_rect;  // the overlay's place on the desktop
    int m_nTool = note::kToolDraw;
    int m_nSizeType = 2;
    int m_nWidth = note::kWidthBeforeSize;
    COLORREF m_colour = RGB(230, 0, 0);
    bool m_bSemiTransparent = false;
    bool m_bDrawing = false;
    bool m_bModified = false;
    bool m_bActive = false;
    POINT m_ptLast{-1, -1};
    POINT m_ptCurrent{-1, -1};
    std::vector<CStroke> m_strokes;
    int m_nCurrentStroke = -1;    // index into m_strokes while the pen writes
    HCURSOR m_hCursor = nullptr;  // a shared resource: never destroyed

    CMemBitmap m_background;  // the snapshot or the white page
    // A screen-compatible copy of the background that the eraser copies from.
    HDC m_hBackgroundCopyDc = nullptr;
    HBITMAP m_hBackgroundCopy = nullptr;
    HGDIOBJ m_hOldCopyBitmap = nullptr;
    std::wstring m_strLastSavedPath;
};

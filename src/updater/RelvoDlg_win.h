// CRelvoDlg: the updater's one window. It shows the progress list (newest line on
// top) and the Run now button, paints its own header band, and drives the update
// through two timers: the start timer runs the start sequence, the download timer one
// download step at a time. The decisions themselves are CUpdateEngine's.
#pragma once

#include "framework/DialogEx_win.h"
#include "updater/UpdateEngine.h"
#include "updater/UpdaterHost_win.h"
#include "updater/UpdaterLayout.h"
#include "widgets/ImageButton_win.h"

#include <memory>
#include <string>

class CRelvoDlg : public CDialogEx {
  public:
    struct Options {
        std::wstring language = L"Kor";
        int messageOffset = 0;
        bool secondInstance = false;
        tavrel::UpdaterPeriods periods;
    };

    static constexpr UINT_PTR kDownloadTimer = 1000;
    static constexpr UINT_PTR kStartTimer = 1001;

    explicit CRelvoDlg(const Options& options, CWnd* parent = nullptr);
    ~CRelvoDlg() override;

    // Formats string `messageId` (+ the message offset) with `argument` for its "%s"
    // and inserts "[HH:MM:SS] text" at the top of the progress list. The list keeps
    // the newest kUpdaterLogLineLimit lines.
    void AppendLog(int level, int messageId, const std::u16string& argument);
    // Command 1 (the button, Enter): hide, start the target program once, and let the
    // update go on hidden.
    void RunNow();
    // Clears the visible flag and hides the window: from now on it stays hidden.
    void HideUpdater();

    bool VisibleFlag() const { return m_bVisibleFlag; }
    float ScaleFactor() const { return m_fScale; }
    const tavrel::UpdaterLayout& Layout() const { return m_layout; }
    HFONT TitleFont() const { return m_hTitleFont; }
    HFONT ListFont() const { return m_hListFont; }
    tavrel::CUpdateEngine& Engine() { return m_engine; }

  protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    void OnSysCommand(UINT id, LPARAM lParam) override;
    BOOL OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

  private:
    void CreateFonts();
    void ApplyLayout();
    void OnStartTimer();
    void OnDownloadTimer();
    void Paint();
    void PrepareCanvas(HDC dc, const RECT& client);
    void ReleasePaintResources();
    LRESULT OnCtlColor(HDC dc, HWND control);
    BOOL OnNcHitTest(LPARAM lParam, LRESULT& result);
    void OnWindowPosChanging(WINDOWPOS* position);
    void OnDisplayChange();

    Options m_options;
    CWinUpdaterHost m_host;
    tavrel::CUpdateEngine m_engine;
    int m_nLogThreshold = 0;
    bool m_bVisibleFlag = false;
    float m_fScale = 1.0f;
    tavrel::UpdaterLayout m_layout;
    HICON m_hIcon = nullptr;
    HWND m_hProgressList = nullptr;
    CImageButton m_runNowButton;

    HFONT m_hTitleFont = nullptr;
    HFONT m_hListFont = nullptr;
    HBRUSH m_hListBrush = nullptr;

    // Painting resources, made at the first paint.
    HDC m_hCanvasDc = nullptr;
    HBITMAP m_hCanvas = nullptr;
    HGDIOBJ m_hOldCanvas = nullptr;
    SIZE m_canvasSize{0, 0};
    HBITMAP m_hBackdrop = nullptr;
    HPEN m_hBodyPen = nullptr;
    HPEN m_hHeaderPen = nullptr;
    HBRUSH m_hBodyBrush = nullptr;
    HBRUSH m_hHeaderBrush = nullptr;
};

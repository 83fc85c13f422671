// CLoginDlg: the dark log-in dialog (template 129) in which the teacher types a teacher
// ID. OK checks the ID, asks the login web server for the classroom's relay endpoint
// (HTTPS, then HTTP, else the endpoint stored by the last successful lookup), stores
// what it found and closes with IDOK; the caller then reads the ID and the endpoint.
#pragma once

#include "framework/DialogEx_win.h"
#include "login/HttpClient.h"
#include "login/RelayLookup.h"
#include "widgets/ImageButton_win.h"

#include <functional>
#include <string>

class CLoginDlg : public CDialogEx {
  public:
    // One web request: the client on WinINet unless a test puts its own in place.
    using RequestFunction =
        std::function<HttpReply(const std::wstring& url, const std::wstring& formText)>;

    explicit CLoginDlg(CWnd* parent = nullptr);
    ~CLoginDlg() override;

    // Where the login web server is: config.ini's "loginhttps" and "loginhttp", or the
    // default host.
    static tavrel::LoginServerUrls ConfiguredServerUrls();

    std::wstring m_strTeacherId;  // set before the dialog is shown, read after IDOK
    std::wstring m_strResult;
    std::wstring m_strCode;
    std::wstring m_strMessage;
    std::wstring m_strRsIp;    // relay endpoint, read after IDOK
    std::wstring m_strRsPort;  // decimal TCP port
    RequestFunction m_fnRequestUrl;

    // Design geometry (logical pixels, multiplied by the scale factor).
    static constexpr int kWidth = 378;
    static constexpr int kHeight = 304;
    static constexpr int kTitleStripHeight = 38;
    static constexpr UINT kTopmostTimerId = 5121;
    static constexpr UINT kTopmostDelayMs = 500;
    // Time given to the status line to be painted before the lookup blocks the thread.
    static constexpr DWORD kStatusPaintMs = 100;

  protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    BOOL OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

    // The reply text of the lookup for `teacherId`: the server's, or the canned
    // "not reachable" reply when neither scheme brought one.
    std::wstring LookupRelay(const std::wstring& teacherId);
    void ParseLookupReply(const std::wstring& replyText);

  private:
    void CreateFonts();
    void SetUpButtons();
    void SizeDialog();
    void PlaceControls();
    void StoreOrRecallEndpoint(tavrel::LoginOutcome outcome);
    void ShowStatus(const std::wstring& text);
    void FocusTeacherId();
    void Paint();
    void ReleasePaintResources();
    BOOL OnCtlColor(HDC dc, HWND control, LRESULT& result);

    CImageButton m_btnOk;
    CImageButton m_btnCancel;
    CImageButton m_btnClose;
    HFONT m_titleFont = nullptr;
    HFONT m_textFont = nullptr;
    HBRUSH m_brushBody = nullptr;
    HBRUSH m_brushStrip = nullptr;
    HBRUSH m_brushEdit = nullptr;
    HBITMAP m_picBanner = nullptr;
    HBITMAP m_picIdFrame = nullptr;
    HBITMAP m_picSeparator = nullptr;
    bool m_bLookupRunning = false;
    bool m_bCancelled = false;
};

// The web client on WinINet. Both programs use it; they differ only in the options: the
// updater names itself differently and keeps its dialog alive while a download runs.
#pragma once

#include "framework/Afx_win.h"
#include "login/HttpClient.h"

#include <wininet.h>

#include <functional>
#include <string>

struct HttpClientOptions {
    // Agent name of the root handle for plain HTTP; HTTPS opens it without one.
    std::wstring agentName;
    // Called after every read of a reply body; may be empty.
    std::function<void()> afterEachRead;
    // A longer body is refused (kHttpReplyTooLarge).
    size_t maxBodyBytes = kMaxReplyBodyBytes;
};

// The main program's client: agent "Vantor", nothing runs while a body is read.
HttpClientOptions TavrelHttpOptions();
// The updater's client: agent "VTUpdater", window messages dispatched between reads.
HttpClientOptions UpdaterHttpOptions();

// Dispatches the calling thread's pending window messages until the queue is empty. A
// quit message is put back for the message loop that owns it.
void DispatchPendingMessages();

// One request's WinINet handles; the destructor closes those that were opened.
class CWinInetTransport : public HttpTransport {
  public:
    explicit CWinInetTransport(HttpClientOptions options);
    ~CWinInetTransport() override;
    CWinInetTransport(const CWinInetTransport&) = delete;
    CWinInetTransport& operator=(const CWinInetTransport&) = delete;

    bool Open(HttpScheme scheme) override;
    bool Connect(const HttpUrlParts& url) override;
    bool OpenRequest(const std::u16string& object, HttpScheme scheme) override;
    uint32_t Send(const std::u16string& headers) override;
    void RelaxCertificateChecks() override;
    bool QueryStatus(std::u16string& text) override;
    bool QueryContentDisposition(std::u16string& text) override;
    bool Read(uint8_t* buffer, uint32_t size, uint32_t& bytesRead) override;

  private:
    bool QueryHeader(DWORD infoLevel, std::u16string& text);
    static void CloseHandle(HINTERNET& handle);

    HttpClientOptions m_options;
    HINTERNET m_hRoot = nullptr;
    HINTERNET m_hConnect = nullptr;
    HINTERNET m_hRequest = nullptr;
};

// One GET of `url` with `formText` as its query; see HttpClient.h for the results.
HttpReply RequestUrl(const std::wstring& url, const std::wstring& formText,
                     const HttpClientOptions& options = TavrelHttpOptions());

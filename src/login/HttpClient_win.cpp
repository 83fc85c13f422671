#include "login/HttpClient_win.h"

#include <utility>

static_assert(sizeof(wchar_t) == 2, "WinINet texts are passed as 16-bit units");

namespace {

constexpr wchar_t kTavrelAgent[] = L"Vantor";
constexpr wchar_t kUpdaterAgent[] = L"VTUpdater";
constexpr wchar_t kMethod[] = L"GET";
constexpr wchar_t kHttpVersion[] = L"HTTP/1.0";
constexpr DWORD kTimeoutMs = 30000;
constexpr DWORD kTimeoutOptions[] = {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                                     INTERNET_OPTION_RECEIVE_TIMEOUT};
// Revocation, unknown authority, wrong usage, common name and date.
constexpr DWORD kRelaxedSecurityFlags =
    SECURITY_FLAG_IGNORE_REVOCATION | SECURITY_FLAG_IGNORE_UNKNOWN_CA |
    SECURITY_FLAG_IGNORE_WRONG_USAGE | SECURITY_FLAG_IGNORE_CERT_CN_INVALID |
    SECURITY_FLAG_IGNORE_CERT_DATE_INVALID;
static_assert(kRelaxedSecurityFlags == 0x3380, "the relaxed retry accepts exactly these");
static_assert(kErrorInvalidCertificateAuthority == ERROR_INTERNET_INVALID_CA, "WinINet code");
// A failed send whose error was lost still has to read as a failure.
constexpr DWORD kUnknownSendError = ERROR_INTERNET_INTERNAL_ERROR;

const wchar_t* TextOrNull(const std::wstring& text) {
    return text.empty() ? nullptr : text.c_str();
}

}  // namespace

HttpClientOptions TavrelHttpOptions() { return HttpClientOptions{kTavrelAgent, nullptr}; }

HttpClientOptions UpdaterHttpOptions() {
    return HttpClientOptions{kUpdaterAgent, &DispatchPendingMessages};
}

void DispatchPendingMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

CWinInetTransport::CWinInetTransport(HttpClientOptions options) : m_options(std::move(options)) {}

CWinInetTransport::~CWinInetTransport() {
    CloseHandle(m_hRequest);
    CloseHandle(m_hConnect);
    CloseHandle(m_hRoot);
}

void CWinInetTransport::CloseHandle(HINTERNET& handle) {
    if (handle) InternetCloseHandle(handle);
    handle = nullptr;
}

bool CWinInetTransport::Open(HttpScheme scheme) {
    const wchar_t* agent = scheme == HttpScheme::kHttp ? TextOrNull(m_options.agentName) : nullptr;
    m_hRoot = InternetOpenW(agent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    if (!m_hRoot) return false;
    for (DWORD option : kTimeoutOptions) {
        DWORD timeout = kTimeoutMs;
        InternetSetOptionExW(m_hRoot, option, &timeout, sizeof(timeout), 0);
    }
    return true;
}

bool CWinInetTransport::Connect(const HttpUrlParts& url) {
    const std::wstring host = AfxToWide(url.host);
    const std::wstring user = AfxToWide(url.user);
    const std::wstring password = AfxToWide(url.password);
    m_hConnect = InternetConnectW(m_hRoot, host.c_str(), url.port, TextOrNull(user),
                                  TextOrNull(password), INTERNET_SERVICE_HTTP, 0, 0);
    return m_hConnect != nullptr;
}

bool CWinInetTransport::OpenRequest(const std::u16string& object, HttpScheme scheme) {
    const std::wstring path = AfxToWide(object);
    const DWORD flags = scheme == HttpScheme::kHttps ? INTERNET_FLAG_SECURE : 0;
    m_hRequest = HttpOpenRequestW(m_hConnect, kMethod, path.c_str(), kHttpVersion, nullptr, nullptr,
                                  flags, 0);
    return m_hRequest != nullptr;
}

uint32_t CWinInetTransport::Send(const std::u16string& headers) {
    const std::wstring text = AfxToWide(headers);
    if (HttpSendRequestW(m_hRequest, text.c_str(), static_cast<DWORD>(text.size()), nullptr, 0))
        return 0;
    const DWORD error = GetLastError();
    return error ? error : kUnknownSendError;
}

void CWinInetTransport::RelaxCertificateChecks() {
    DWORD flags = 0;
    DWORD size = sizeof(flags);
    InternetQueryOptionW(m_hRequest, INTERNET_OPTION_SECURITY_FLAGS, &flags, &size);
    flags |= kRelaxedSecurityFlags;
    InternetSetOptionW(m_hRequest, INTERNET_OPTION_SECURITY_FLAGS, &flags, sizeof(flags));
}

bool CWinInetTransport::QueryHeader(DWORD infoLevel, std::u16string& text) {
    // A value that does not fit this buffer counts as absent.
    wchar_t buffer[kHeaderBufferBytes / sizeof(wchar_t)] = {};
    DWORD size = sizeof(buffer);
    if (!HttpQueryInfoW(m_hRequest, infoLevel, buffer, &size, nullptr)) return false;
    text = AfxToU16(std::wstring(buffer, size / sizeof(wchar_t)));
    return true;
}

bool CWinInetTransport::QueryStatus(std::u16string& text) {
    return QueryHeader(HTTP_QUERY_STATUS_CODE, text);
}

bool CWinInetTransport::QueryContentDisposition(std::u16string& text) {
    return QueryHeader(HTTP_QUERY_CONTENT_DISPOSITION, text);
}

bool CWinInetTransport::Read(uint8_t* buffer, uint32_t size, uint32_t& bytesRead) {
    DWORD read = 0;
    const bool ok = InternetReadFile(m_hRequest, buffer, size, &read) != FALSE;
    bytesRead = ok ? read : 0;
    if (m_options.afterEachRead) m_options.afterEachRead();
    return ok;
}

HttpReply RequestUrl(const std::wstring& url, const std::wstring& formText,
                     const HttpClientOptions& options) {
    CWinInetTransport transport(options);
    return RequestUrl(transport, AfxToU16(url), AfxToU16(formText), options.maxBodyBytes);
}

// http-probe: one request through the program's own web client, for the end-to-end
// tests. `http-probe URL [FORM]` sends what the login dialog would send (the main
// program's options) and prints, one field per line on standard output:
//   result:<code>          0, or the negative result of the client
//   length:<bytes>         body length
//   name:<file name>       the Content-Disposition file name, UTF-8 (may be empty)
//   sends:<n>              sends made (2 after the relaxed certificate retry)
//   relaxed:<n>            times the certificate checks were relaxed
//   first-send-error:<n>   the platform error of the first send (0 when it worked)
//   body:<text>            the body when it is UTF-8 text, up to the end of the output,
//   body-hex:<hex>         or its bytes in lower-case hexadecimal.
// The exit code is 0 when the request was made (whatever its result), 2 for a usage error.
#include "login/HttpClient_win.h"

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <string>

static_assert(sizeof(wchar_t) == 2, "command-line texts are 16-bit units");

namespace {

constexpr int kExitOk = 0;
constexpr int kExitUsage = 2;

// Counts what the client does on the wire, so that a test can see the certificate retry.
class CCountingTransport : public HttpTransport {
  public:
    explicit CCountingTransport(HttpClientOptions options) : m_inner(std::move(options)) {}

    bool Open(HttpScheme scheme) override { return m_inner.Open(scheme); }
    bool Connect(const HttpUrlParts& url) override { return m_inner.Connect(url); }
    bool OpenRequest(const std::u16string& object, HttpScheme scheme) override {
        return m_inner.OpenRequest(object, scheme);
    }
    uint32_t Send(const std::u16string& headers) override {
        const uint32_t error = m_inner.Send(headers);
        if (m_nSends++ == 0) m_nFirstSendError = error;
        return error;
    }
    void RelaxCertificateChecks() override {
        ++m_nRelaxed;
        m_inner.RelaxCertificateChecks();
    }
    bool QueryStatus(std::u16string& text) override { return m_inner.QueryStatus(text); }
    bool QueryContentDisposition(std::u16string& text) override {
        return m_inner.QueryContentDisposition(text);
    }
    bool Read(uint8_t* buffer, uint32_t size, uint32_t& bytesRead) override {
        return m_inner.Read(buffer, size, bytesRead);
    }

    int m_nSends = 0;
    int m_nRelaxed = 0;
    uint32_t m_nFirstSendError = 0;

  private:
    CWinInetTransport m_inner;
};

std::string ToUtf8(const std::u16string& text) {
    const std::wstring wide = AfxToWide(text);
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), static_cast<int>(wide.size()),
                                          nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(bytes), '\0');
    if (bytes > 0)
        WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), static_cast<int>(wide.size()), &out[0], bytes,
                            nullptr, nullptr);
    return out;
}

// Text a test can compare as it is: valid UTF-8 without control bytes other than tab,
// CR and LF (a zero byte would end it early on the reading side).
bool IsPlainUtf8(const std::string& bytes) {
    for (unsigned char c : bytes) {
        if (c < 0x20 && c != '\t' && c != '\r' && c != '\n') return false;
        if (c == 0x7F) return false;
    }
    return bytes.empty() || MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(),
                                                static_cast<int>(bytes.size()), nullptr, 0) > 0;
}

std::string Hex(const std::string& bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (unsigned char c : bytes) {
        out += kDigits[c >> 4];
        out += kDigits[c & 15];
    }
    return out;
}

void Print(const std::string& text) { fwrite(text.data(), 1, text.size(), stdout); }

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2 || argc > 3) {
        fputs("usage: http-probe URL [FORM]\n", stderr);
        return kExitUsage;
    }
    // Bytes as they are: no CR before every LF of a body.
    _setmode(_fileno(stdout), _O_BINARY);
    const std::u16string url = AfxToU16(argv[1]);
    const std::u16string form = argc == 3 ? AfxToU16(argv[2]) : std::u16string();

    CCountingTransport transport(TavrelHttpOptions());
    const HttpReply reply = RequestUrl(transport, url, form);

    Print("result:" + std::to_string(reply.result) + "\n");
    Print("length:" + std::to_string(reply.body.size()) + "\n");
    Print("name:" + ToUtf8(reply.downloadName) + "\n");
    Print("sends:" + std::to_string(transport.m_nSends) + "\n");
    Print("relaxed:" + std::to_string(transport.m_nRelaxed) + "\n");
    Print("first-send-error:" + std::to_string(transport.m_nFirstSendError) + "\n");
    if (IsPlainUtf8(reply.body))
        Print("body:" + reply.body);
    else
        Print("body-hex:" + Hex(reply.body) + "\n");
    fflush(stdout);
    return kExitOk;
}

// Everything the web client reads from outside: a reply delivered in pieces of any size,
// its status and Content-Disposition texts, and URLs and form texts as UTF-16.
//
// Input: byte 0 picks the piece sizes of the body, byte 1 how long the status text is,
// byte 2 how long the disposition text is; the rest is split into status text, disposition
// text (both as UTF-16LE) and body.
#include "login/HttpClient.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>

namespace {

constexpr size_t kHeaderSize = 3;
constexpr size_t kSmallLimit = 3 * kReplyReadPiece;

void Check(bool condition) {
    if (!condition) std::abort();
}

std::u16string Utf16(const uint8_t* data, size_t size) {
    std::u16string text;
    for (size_t i = 0; i + 1 < size; i += 2) text.push_back(char16_t(data[i] | (data[i + 1] << 8)));
    return text;
}

class ScriptedReply : public HttpTransport {
  public:
    ScriptedReply(std::u16string status, std::u16string disposition, const uint8_t* body,
                  size_t bodySize, uint8_t pieceSeed)
        : m_status(std::move(status)),
          m_disposition(std::move(disposition)),
          m_body(body),
          m_bodySize(bodySize),
          m_seed(pieceSeed) {}

    bool Open(HttpScheme) override { return true; }
    bool Connect(const HttpUrlParts&) override { return true; }
    bool OpenRequest(const std::u16string&, HttpScheme) override { return true; }
    uint32_t Send(const std::u16string&) override { return 0; }
    void RelaxCertificateChecks() override {}
    bool QueryStatus(std::u16string& text) override {
        text = m_status;
        return !(m_seed & 0x80);
    }
    bool QueryContentDisposition(std::u16string& text) override {
        text = m_disposition;
        return !(m_seed & 0x40);
    }
    bool Read(uint8_t* buffer, uint32_t size, uint32_t& bytesRead) override {
        // Piece sizes vary with the seed and the position, from 1 byte to a full piece.
        const size_t left = m_bodySize - m_offset;
        size_t piece = 1 + ((m_seed & 0x3F) * 131 + m_offset * 7) % size;
        if (piece > left) piece = left;
        for (size_t i = 0; i < piece; ++i) buffer[i] = m_body[m_offset + i];
        m_offset += piece;
        bytesRead = static_cast<uint32_t>(piece);
        return true;
    }
    size_t Delivered() const { return m_offset; }

  private:
    std::u16string m_status;
    std::u16string m_disposition;
    const uint8_t* m_body;
    size_t m_bodySize;
    size_t m_offset = 0;
    uint8_t m_seed;
};

void FuzzTexts(const std::u16string& text) {
    HttpUrlParts parts;
    if (SplitHttpUrl(text, parts)) {
        Check(!parts.host.empty() && parts.port != 0);
        Check(!parts.object.empty() && parts.object[0] == u'/');
    }
    std::string encoded;
    const bool encodable = EncodeFormText(text, encoded);
    if (encodable) Check(encoded.size() <= kMaxEncodedFormLength);
    std::u16string object;
    // The object is the page, then the query when there is one; only an unencodable
    // form refuses.
    Check(BuildRequestObject(u"/p", text, object) == encodable);
    if (encodable) {
        Check(object.compare(0, 2, u"/p") == 0);
        Check(object.size() == 2 || (object[2] == u'?' && object.size() <= 3 + encoded.size()));
    }
    Check(DownloadNameFromDisposition(text).size() <= text.size());
    const int32_t result = ResultForStatus(ParseStatusCode(text));
    Check(result == kHttpOk || result == kHttpRedirected || result == kHttpBadStatus);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < kHeaderSize) return 0;
    const uint8_t seed = data[0];
    size_t rest = size - kHeaderSize;
    const uint8_t* p = data + kHeaderSize;
    const size_t statusBytes = data[1] < rest ? data[1] : rest;
    const std::u16string status = Utf16(p, statusBytes);
    p += statusBytes;
    rest -= statusBytes;
    const size_t dispositionBytes = data[2] < rest ? data[2] : rest;
    const std::u16string disposition = Utf16(p, dispositionBytes);
    p += dispositionBytes;
    rest -= dispositionBytes;

    ScriptedReply transport(status, disposition, p, rest, seed);
    const HttpReply reply = ReadReply(transport, kSmallLimit);
    if (reply.result == kHttpOk) {
        Check(reply.body.size() == rest);
        Check(reply.body.compare(0, rest, reinterpret_cast<const char*>(p), rest) == 0);
    } else {
        Check(reply.body.empty() && reply.downloadName.empty());
        Check(reply.result != kHttpReplyTooLarge || transport.Delivered() > kSmallLimit);
    }
    FuzzTexts(status);
    FuzzTexts(disposition);
    FuzzTexts(Utf16(data, size));
    return 0;
}

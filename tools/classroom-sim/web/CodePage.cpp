#include "web/CodePage.h"

#include <iconv.h>

#include <algorithm>

namespace {

constexpr char kUtf8[] = "UTF-8";
constexpr size_t kMaxEncodedChar = 8;

// Length of the UTF-8 sequence that starts with this byte (1 for stray bytes).
size_t SequenceLength(unsigned char lead) {
    if (lead >= 0xF0) return 4;
    if (lead >= 0xE0) return 3;
    if (lead >= 0xC0) return 2;
    return 1;
}

}  // namespace

std::string Utf8ToCodePage(const std::string& utf8, const std::string& codePage) {
    if (codePage == kUtf8) return utf8;
    iconv_t converter = iconv_open(codePage.c_str(), kUtf8);
    if (converter == reinterpret_cast<iconv_t>(-1)) return utf8;
    std::string out;
    // One character at a time, so that each unmappable one becomes a single "?".
    for (size_t i = 0; i < utf8.size();) {
        const size_t length =
            std::min(SequenceLength(static_cast<unsigned char>(utf8[i])), utf8.size() - i);
        char in[4];
        utf8.copy(in, length, i);
        char encoded[kMaxEncodedChar];
        char* inPtr = in;
        char* outPtr = encoded;
        size_t inLeft = length;
        size_t outLeft = sizeof(encoded);
        if (iconv(converter, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1)) {
            out += '?';
            iconv(converter, nullptr, nullptr, nullptr, nullptr);
        } else {
            out.append(encoded, sizeof(encoded) - outLeft);
        }
        i += length;
    }
    iconv_close(converter);
    return out;
}

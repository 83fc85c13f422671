// Any bytes may sit in setting.ini or config.ini: detection and decoding must stay
// inside the buffer and agree with each other.
#include "shell/IniEncoding.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tavrel;
    const IniEncoding encoding = DetectIniEncoding(data, size);
    if (encoding == kIniUtf16LeWithoutMark || encoding == kIniUtf16BeWithoutMark) {
        const std::u16string text =
            DecodeUtf16Bytes(data, size, encoding == kIniUtf16BeWithoutMark);
        if (text.size() > size / 2) abort();
        const std::string bytes = EncodeUtf16LeWithMark(text);
        if (bytes.size() != 2 + 2 * text.size()) abort();
    }
    if (IsUtf8WithMultiByte(data, size) && encoding == kIniAnsi) abort();
    return 0;
}

#include "protocol/Utf16Le.h"

void AppendUtf16Le(std::vector<uint8_t>& out, const std::u16string& text) {
    const size_t start = out.size();
    out.resize(start + 2 * text.size());
    uint8_t* p = out.data() + start;
    for (char16_t c : text) {
        *p++ = uint8_t(c & 0xFF);
        *p++ = uint8_t(c >> 8);
    }
}

std::vector<uint8_t> Utf16LeBytes(const std::u16string& text) {
    std::vector<uint8_t> bytes;
    AppendUtf16Le(bytes, text);
    return bytes;
}

std::u16string Utf16LeToText(const uint8_t* bytes, size_t size) {
    std::u16string text;
    text.reserve((size + 1) / 2);
    for (size_t i = 0; i < size; i += 2) {
        const char16_t low = bytes[i];
        const char16_t high = i + 1 < size ? bytes[i + 1] : 0;
        const char16_t c = char16_t(low | high << 8);
        if (c == 0) break;
        text.push_back(c);
    }
    return text;
}

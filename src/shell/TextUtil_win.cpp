#include "shell/TextUtil_win.h"

#include "shell/TextUtil.h"

static_assert(sizeof(wchar_t) == 2, "conversions rely on 16-bit wchar_t");

namespace {

constexpr char kMissingCharacter[] = "?";

// Windows refuses a default character for UTF-8, which a system may use as its ANSI code
// page; there every character has a mapping anyway.
const char* DefaultCharacterForAnsi() { return GetACP() == CP_UTF8 ? nullptr : kMissingCharacter; }

}  // namespace

std::wstring CodePageToWide(UINT codePage, const std::string& bytes) {
    const std::string source = tavrel::BytesBeforeZero(bytes);
    if (source.empty()) return std::wstring();
    const int length = static_cast<int>(source.size());
    const int chars = MultiByteToWideChar(codePage, 0, source.data(), length, nullptr, 0);
    if (chars <= 0) return std::wstring();
    std::wstring text(static_cast<size_t>(chars), L'\0');
    if (MultiByteToWideChar(codePage, 0, source.data(), length, &text[0], chars) != chars) {
        return std::wstring();
    }
    return AfxToWide(tavrel::TextBeforeZero(AfxToU16(text)));
}

std::wstring AnsiToWide(const char* bytes) {
    return bytes ? CodePageToWide(CP_ACP, bytes) : std::wstring();
}

std::wstring AnsiToWide(const std::string& bytes) { return CodePageToWide(CP_ACP, bytes); }

std::wstring Utf8ToWide(const char* bytes) {
    return bytes ? CodePageToWide(CP_UTF8, bytes) : std::wstring();
}

std::wstring Utf8ToWide(const std::string& bytes) { return CodePageToWide(CP_UTF8, bytes); }

std::string WideToAnsi(const std::wstring& text) {
    const std::wstring source = AfxToWide(tavrel::TextBeforeZero(AfxToU16(text)));
    if (source.empty()) return std::string();
    const int length = static_cast<int>(source.size());
    // The size is asked for rather than assumed: a multi-byte code page may need more
    // than two bytes per character, and a short buffer would lose the whole text.
    const char* missing = DefaultCharacterForAnsi();
    const int bytes =
        WideCharToMultiByte(CP_ACP, 0, source.data(), length, nullptr, 0, missing, nullptr);
    if (bytes <= 0) return std::string();
    std::string result(static_cast<size_t>(bytes), '\0');
    if (WideCharToMultiByte(CP_ACP, 0, source.data(), length, &result[0], bytes, missing,
                            nullptr) != bytes) {
        return std::string();
    }
    return result;
}

int SplitText(const std::wstring& text, const std::wstring& separators,
              std::vector<std::wstring>& pieces) {
    std::vector<std::u16string> parts;
    const int result = tavrel::SplitText(AfxToU16(text), AfxToU16(separators), parts);
    pieces.clear();
    for (const auto& part : parts) pieces.push_back(AfxToWide(part));
    return result;
}

#include "shell/TextUtil.h"

namespace tavrel {

namespace {

constexpr char16_t kQuote = u'"';

std::u16string WithoutQuotes(const std::u16string& text) {
    std::u16string result;
    result.reserve(text.size());
    for (char16_t ch : text) {
        if (ch != kQuote) result.push_back(ch);
    }
    return result;
}

}  // namespace

int SplitText(const std::u16string& text, const std::u16string& separators,
              std::vector<std::u16string>& pieces) {
    pieces.clear();
    const std::u16string unquoted = WithoutQuotes(text);
    std::u16string piece;
    for (char16_t ch : unquoted) {
        if (separators.find(ch) == std::u16string::npos) {
            piece.push_back(ch);
        } else if (!piece.empty()) {
            pieces.push_back(piece);
            piece.clear();
        }
    }
    if (!piece.empty()) pieces.push_back(piece);
    return pieces.empty() ? 0 : static_cast<int>(pieces.size()) + 1;
}

std::string BytesBeforeZero(const std::string& bytes) { return bytes.substr(0, bytes.find('\0')); }

std::u16string TextBeforeZero(const std::u16string& text) {
    return text.substr(0, text.find(u'\0'));
}

}  // namespace tavrel

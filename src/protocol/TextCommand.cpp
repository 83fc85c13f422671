#include "protocol/TextCommand.h"

#include <limits>

bool SplitCommand(const std::u16string& text, std::u16string& code, std::u16string& arguments) {
    code.clear();
    arguments.clear();
    if (text.size() < kCommandCodeLength) return false;
    code.assign(text, 0, kCommandCodeLength);
    arguments.assign(text, kCommandCodeLength, std::u16string::npos);
    return true;
}

std::vector<std::u16string> TokenizeArguments(const std::u16string& arguments) {
    std::vector<std::u16string> fields;
    size_t start = 0;
    while (start <= arguments.size()) {
        size_t end = arguments.find(kArgumentSeparator, start);
        if (end == std::u16string::npos) end = arguments.size();
        if (end > start) fields.emplace_back(arguments, start, end - start);
        start = end + 1;
    }
    return fields;
}

std::vector<std::u16string> ListArguments(const std::u16string& arguments) {
    std::u16string unquoted;
    unquoted.reserve(arguments.size());
    for (char16_t c : arguments)
        if (c != kQuote) unquoted.push_back(c);
    return TokenizeArguments(unquoted);
}

int32_t DecimalPrefix(const std::u16string& field) {
    size_t i = 0;
    while (i < field.size() && (field[i] == u' ' || field[i] == u'\t')) ++i;
    bool negative = false;
    if (i < field.size() && (field[i] == u'-' || field[i] == u'+')) negative = field[i++] == u'-';
    constexpr int64_t kLimit = int64_t(std::numeric_limits<int32_t>::max()) + 1;
    int64_t value = 0;
    for (; i < field.size() && field[i] >= u'0' && field[i] <= u'9'; ++i) {
        value = value * 10 + (field[i] - u'0');
        if (value > kLimit) value = kLimit;  // keep saturating, never overflow
    }
    if (negative) return int32_t(-value);
    return value >= kLimit ? std::numeric_limits<int32_t>::max() : int32_t(value);
}

std::u16string DecimalText(int64_t value) {
    const bool negative = value < 0;
    uint64_t magnitude = negative ? 0 - uint64_t(value) : uint64_t(value);
    std::u16string digits;
    do {
        digits.insert(digits.begin(), char16_t(u'0' + magnitude % 10));
        magnitude /= 10;
    } while (magnitude != 0);
    if (negative) digits.insert(digits.begin(), u'-');
    return digits;
}

std::u16string MakeCommand(const std::u16string& code,
                           const std::vector<std::u16string>& arguments) {
    std::u16string text = code;
    for (size_t i = 0; i < arguments.size(); ++i) {
        if (i > 0) text.push_back(kArgumentSeparator);
        text += arguments[i];
    }
    return text;
}

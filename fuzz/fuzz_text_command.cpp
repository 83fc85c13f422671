// Text-command splitting over arbitrary UTF-16 text (the input's bytes taken as
// little-endian code units).

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "protocol/TextCommand.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

void CheckFields(const std::u16string& source, const std::vector<std::u16string>& fields) {
    std::u16string joined;
    for (const std::u16string& f : fields) {
        Check(!f.empty());
        Check(f.find(kArgumentSeparator) == std::u16string::npos);
        joined += f;
        const int32_t value = DecimalPrefix(f);
        // A field of at most nine digits reads as exactly its number.
        if (f.size() <= 9 && f.find_first_not_of(u"0123456789") == std::u16string::npos) {
            int32_t expected = 0;
            for (char16_t c : f) expected = expected * 10 + (c - u'0');
            Check(value == expected);
        }
    }
    std::u16string withoutSeparators;
    for (char16_t c : source)
        if (c != kArgumentSeparator) withoutSeparators.push_back(c);
    Check(joined == withoutSeparators);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::u16string text;
    for (size_t i = 0; i + 1 < size; i += 2) text.push_back(char16_t(data[i] | data[i + 1] << 8));

    std::u16string code, arguments;
    const bool isCommand = SplitCommand(text, code, arguments);
    Check(isCommand == (text.size() >= kCommandCodeLength));
    if (!isCommand) {
        Check(code.empty() && arguments.empty());
        return 0;
    }
    Check(code.size() == kCommandCodeLength && code + arguments == text);

    CheckFields(arguments, TokenizeArguments(arguments));
    std::u16string unquoted;
    for (char16_t c : arguments)
        if (c != kQuote) unquoted.push_back(c);
    const std::vector<std::u16string> listed = ListArguments(arguments);
    for (const std::u16string& f : listed) Check(f.find(kQuote) == std::u16string::npos);
    CheckFields(unquoted, listed);
    return 0;
}

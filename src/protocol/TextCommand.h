#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Text commands: a nine-character code, "[" + seven characters + "]", followed
// directly by the arguments, separated by "," (numbers in decimal, texts as they are).
constexpr size_t kCommandCodeLength = 9;
constexpr char16_t kArgumentSeparator = u',';
constexpr char16_t kQuote = u'"';

// Splits a command into its code (first nine characters) and argument text (the
// rest). False, with both left empty, for a text shorter than nine characters: it is
// no command and is ignored.
bool SplitCommand(const std::u16string& text, std::u16string& code, std::u16string& arguments);

// "Tokenized" arguments: split at ",", empty fields skipped.
std::vector<std::u16string> TokenizeArguments(const std::u16string& arguments);

// "Listed" arguments: every double quote removed first, then tokenized.
std::vector<std::u16string> ListArguments(const std::u16string& arguments);

// A field read as a decimal prefix: optional leading blanks and sign, then digits;
// a field that does not start with a number reads as 0. Saturates at the int32 range.
int32_t DecimalPrefix(const std::u16string& field);

// Decimal text of a number, as "%d" writes it.
std::u16string DecimalText(int64_t value);

// A command from its code and arguments, joined with ",".
std::u16string MakeCommand(const std::u16string& code,
                           const std::vector<std::u16string>& arguments = {});

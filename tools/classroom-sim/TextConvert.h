#pragma once

#include <string>

// UTF-16 text of the wire to UTF-8 for logs and the command line, and back.
// Unpaired surrogates become U+FFFD; invalid UTF-8 bytes likewise.
std::string ToUtf8(const std::u16string& text);
std::u16string FromUtf8(const std::string& text);

#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// UTF-16 text as it travels: little-endian code units, written byte by byte so the
// result does not depend on the host's byte order.

// Appends the text's code units as UTF-16LE bytes (no terminator).
void AppendUtf16Le(std::vector<uint8_t>& out, const std::u16string& text);

// The text's UTF-16LE bytes.
std::vector<uint8_t> Utf16LeBytes(const std::u16string& text);

// Text from UTF-16LE bytes, ending at the first zero code unit. An odd last byte
// becomes a code unit of its own (the high byte is the terminator's zero).
std::u16string Utf16LeToText(const uint8_t* bytes, size_t size);

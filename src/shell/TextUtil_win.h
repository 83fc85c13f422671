// Code-page conversions at the edge of the program (HTTP replies, INI files, adapter
// names), and the wide-string form of SplitText.
#pragma once

#include "framework/Afx_win.h"

#include <string>
#include <vector>

// Text from bytes in `codePage`, up to the first zero byte; empty when the bytes do not
// convert.
std::wstring CodePageToWide(UINT codePage, const std::string& bytes);

// Text from the system ANSI code page; a null source gives the empty text.
std::wstring AnsiToWide(const char* bytes);
std::wstring AnsiToWide(const std::string& bytes);
// Text from UTF-8; a null source, or bytes that do not convert, give the empty text.
std::wstring Utf8ToWide(const char* bytes);
std::wstring Utf8ToWide(const std::string& bytes);
// Bytes in the system ANSI code page, "?" for characters it lacks; up to the first zero.
std::string WideToAnsi(const std::wstring& text);

// tavrel::SplitText for wide strings.
int SplitText(const std::wstring& text, const std::wstring& separators,
              std::vector<std::wstring>& pieces);

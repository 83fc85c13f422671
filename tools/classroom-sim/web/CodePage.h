#pragma once

#include <string>

// The pad decodes web replies, and hashes the teacher ID, in the system ANSI code
// page: 949 on a Korean Windows. The web servers therefore write their texts in a
// configurable code page (an iconv name: "CP949", "CP1252", "UTF-8").
constexpr char kKoreanCodePage[] = "CP949";

// UTF-8 text in the code page; a character the code page lacks becomes "?", as the
// pad's own conversion does. Unknown code page names leave the text unchanged.
std::string Utf8ToCodePage(const std::string& utf8, const std::string& codePage);

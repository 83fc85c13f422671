// The teacher ID typed into the login dialog: the trimming and the checks it has to pass
// before anything is sent to the login web server.
#pragma once

#include <string>

namespace tavrel {

// Longest teacher ID, in UTF-16 code units, after trimming.
constexpr size_t kMaxTeacherIdLength = 20;
// Characters the servers cannot take in an ID (they separate fields or paths there).
constexpr char16_t kTeacherIdForbidden[] = u",\\<>&|:/*?\"";

// Removes white space at both ends: the ASCII blanks, CR and LF, the no-break space and
// the ideographic space a Korean input method types.
std::u16string TrimLoginText(const std::u16string& text);

// 0 when the (already trimmed) ID may be sent; otherwise the string-table id of the
// message that refuses it. Checked in this order: empty, forbidden character, length.
unsigned ValidateTeacherId(const std::u16string& trimmedId);

}  // namespace tavrel

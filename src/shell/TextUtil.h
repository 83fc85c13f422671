// Text helpers shared by both programs: splitting a text into values, and the parts of
// the code-page conversions that do not need Windows (TextUtil_win.h has those).
#pragma once

#include <string>
#include <vector>

namespace tavrel {

// Cuts `text` at every character that occurs in `separators` after removing every
// double quote from it; empty pieces are dropped. `pieces` is emptied first. Returns
// the number of pieces plus one, or 0 when there is none: callers compare with this,
// so "at least 3" means "at least two values".
int SplitText(const std::u16string& text, const std::u16string& separators,
              std::vector<std::u16string>& pieces);

// Converted texts end at their first zero, as C strings would.
std::string BytesBeforeZero(const std::string& bytes);
std::u16string TextBeforeZero(const std::u16string& text);

}  // namespace tavrel

#pragma once
// Text comparison as users expect it for names they type: without regard to
// letter case, for every script the system knows the cases of, not only ASCII.

#include <string>
#include <string_view>

namespace q731 {

// `text` (UTF-8) with every letter in its lower case. Bytes that are not valid
// UTF-8 are kept as they are.
std::string FoldCase(std::string_view text);

// True when `a` and `b` differ at most in letter case.
bool SameTextIgnoringCase(std::string_view a, std::string_view b);

// `text` without leading and trailing white space (ASCII white space and the
// no-break and ideographic spaces).
std::string_view TrimmedText(std::string_view text);

// The decimal number at the start of an edit box's text (leading white space
// and one sign allowed); empty or no digits read as 0, and it saturates
// instead of overflowing.
long long ParseDecimal(std::string_view text);

}  // namespace q731

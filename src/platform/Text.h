// Small text helpers shared by every layer above the platform. Where two
// callers need different case rules, each rule has its own name.
#pragma once

#include <string>

namespace zel {

// By the system's case table, so letters of every alphabet change.
std::wstring ToLower(std::wstring text);
std::wstring ToUpper(std::wstring text);
// Only A-Z change, as the C run time lowers in its default locale; the
// partner of EqualsNoCaseAscii for keys of a set.
std::wstring ToLowerAscii(std::wstring text);

// Without the leading and trailing white space (blank, tab, CR, LF, VT, FF).
std::wstring Trim(const std::wstring& text);
// Without the leading and trailing characters of the given set.
std::wstring TrimAny(const std::wstring& text, const wchar_t* characters);

// Equal but for case, by the system's case table (as ToUpper).
bool EqualsNoCase(const std::wstring& a, const std::wstring& b);
// Equal but for the case of A-Z; other letters must match exactly, as the
// C run time compares in its default locale.
bool EqualsNoCaseAscii(const std::wstring& a, const std::wstring& b);
bool StartsWithNoCaseAscii(const std::wstring& text, const std::wstring& prefix);

}  // namespace zel

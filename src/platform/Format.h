// printf-style formatting into a std::wstring, with the run-time's wide
// rules (%s takes a wide string). Only the program's own literal formats go
// here; text from outside is always an argument.
#pragma once

#include <cstdarg>
#include <string>

std::wstring FormatTextV(const wchar_t* format, va_list args);
std::wstring FormatText(const wchar_t* format, ...);

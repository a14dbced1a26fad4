#include "platform/Format.h"

#include <cstdio>

std::wstring FormatTextV(const wchar_t* format, va_list args) {
    if (format == nullptr) return std::wstring();
    va_list copy;
    va_copy(copy, args);
    int n = _vscwprintf(format, copy);
    va_end(copy);
    if (n <= 0) return std::wstring();
    std::wstring text(static_cast<size_t>(n) + 1, L'\0');
    _vsnwprintf(text.data(), text.size(), format, args);
    text.resize(static_cast<size_t>(n));
    return text;
}

std::wstring FormatText(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    std::wstring text = FormatTextV(format, args);
    va_end(args);
    return text;
}

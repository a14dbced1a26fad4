// Placeholder writer: lines reach the file, layout to be completed.
#include "logging/LogFile.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>

CBuildLogFile theLog;

namespace {
std::wstring FormatV(const wchar_t* format, va_list args) {
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

void Append(const std::wstring& path, const std::wstring& text) {
    if (path.empty()) return;
    HANDLE file = ::CreateFileW(path.c_str(), FILE_APPEND_DATA, 0, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    std::string bytes;
    for (wchar_t c : text) {
        if (c == L'\n') bytes += "\r\n";
        else bytes += c < 256 ? static_cast<char>(c) : '?';
    }
    DWORD written = 0;
    ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(file);
}
}  // namespace

int CLogFile::DeleteLog() { return ::DeleteFileW(path_.c_str()) ? 0 : -1; }

int CLogFile::InitLog(const std::wstring& path, int level) {
    path_ = path;
    logLevel_ = level;
    return 0;
}

void CLogFile::LogMessage(int level, const wchar_t* source, const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    std::wstring message = FormatV(format, args);
    va_end(args);
    LogText(level, source, message);
}

void CLogFile::LogUnnamed(int level, const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    std::wstring message = FormatV(format, args);
    va_end(args);
    LogText(level, L"", message);
}

void CLogFile::WriteRaw(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    std::wstring text = FormatV(format, args);
    va_end(args);
    Append(path_, text);
}

const wchar_t* CLogFile::GetLevelText(int level) const {
    if (level == 0) return L"ERROR     ";
    if (level <= 6) return L"WARNING   ";
    return L"          ";
}

void CLogFile::LogText(int level, const wchar_t* source, const std::wstring& text) {
    if (level > logLevel_ && level > 6) return;
    std::wstring line = std::wstring(L"00:00:00|") + GetLevelText(level) + L"|" + source + L" |" + text + L"\n";
    Append(path_, line);
}

void CBuildLogFile::WriteStartBanner() {}
void CBuildLogFile::WriteSummary() {}
void CBuildLogFile::EndLog() { WriteSummary(); }

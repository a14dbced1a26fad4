#include "logging/LogFile.h"

#include "framework/Handles.h"
#include "platform/Format.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>

CBuildLogFile theLog;

namespace {

// Class-wide line counters: created by the first InitLog of any log object
// and never reset afterwards, so the summary counts the whole run.
uint16_t g_levelCounters[CLogFile::kLevelCount] = {};
bool g_levelCountersExist = false;

// One lock for every writer of the process: lines stay whole and one
// thread's lines keep their order.
std::mutex g_fileLock;

constexpr wchar_t kBannerHashes[] = L"##############################";


// "%-<width>.<max>s": cut at max characters, padded with blanks to width.
std::wstring Pad(const std::wstring& text, size_t width, size_t max) {
    std::wstring out = text.substr(0, max);
    if (out.size() < width) out.append(width - out.size(), L' ');
    return out;
}

std::wstring TwoDigits(unsigned value) {
    wchar_t buffer[8];
    swprintf(buffer, 8, L"%02u", value % 100);
    return buffer;
}

std::wstring TimeText(const SYSTEMTIME& t) {
    return TwoDigits(t.wHour) + L":" + TwoDigits(t.wMinute) + L":" + TwoDigits(t.wSecond);
}

std::wstring StampText(const SYSTEMTIME& t) {
    wchar_t buffer[32];
    swprintf(buffer, 32, L"%04u%02u%02u%02u%02u%02u", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
    return buffer;
}

// The file is 8-bit text (ISO 8859-1) written in text mode: "\n" becomes
// CR LF. A character with no 8-bit form becomes "?" (a surrogate pair is one
// character, so one "?").
std::string ToFileBytes(const std::wstring& text) {
    std::string bytes;
    bytes.reserve(text.size() + 8);
    for (size_t i = 0; i < text.size(); ++i) {
        wchar_t c = text[i];
        if (c == L'\n') {
            bytes += "\r\n";
        } else if (c < 256) {
            bytes += static_cast<char>(c);
        } else {
            bytes += '?';
            bool highSurrogate = c >= 0xD800 && c <= 0xDBFF;
            if (highSurrogate && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) ++i;
        }
    }
    return bytes;
}

// Appending only: every write lands at the end of the file, also when
// another process appends to the same log. Read and write sharing, so that a
// viewer or a second run can open it while this one writes.
HANDLE OpenForAppending(const std::wstring& path) {
    return ::CreateFileW(path.c_str(), FILE_APPEND_DATA | SYNCHRONIZE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool WriteAll(HANDLE file, const std::string& bytes) {
    DWORD written = 0;
    if (bytes.empty()) return true;
    return ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

std::wstring FolderOf(const std::wstring& path) {
    size_t slash = path.rfind(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

// Every missing folder from the drive root down; the search for separators
// starts past "C:\".
void CreateFolderChain(const std::wstring& folder) {
    if (folder.empty()) return;
    for (size_t pos = folder.find(L'\\', 3); pos != std::wstring::npos; pos = folder.find(L'\\', pos + 1))
        ::CreateDirectoryW(folder.substr(0, pos).c_str(), nullptr);
    ::CreateDirectoryW(folder.c_str(), nullptr);
}

}  // namespace

SYSTEMTIME CLogFile::LocalNow() {
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    return now;
}

bool CLogFile::HasLevelCounters() {
    std::lock_guard<std::mutex> lock(g_fileLock);
    return g_levelCountersExist;
}

uint16_t CLogFile::LevelCount(int level) {
    std::lock_guard<std::mutex> lock(g_fileLock);
    if (!g_levelCountersExist || level < 0 || level >= kLevelCount) return 0;
    return g_levelCounters[level];
}

int CLogFile::DeleteLog() {
    std::lock_guard<std::mutex> lock(g_fileLock);
    file_.reset();
    return ::DeleteFileW(path_.c_str()) ? 0 : -1;
}

int CLogFile::InitLog(const std::wstring& path, int level) {
    std::lock_guard<std::mutex> lock(g_fileLock);
    file_.reset();
    path_ = path;
    logLevel_ = level;
    g_levelCountersExist = true;
    return 0;
}

bool CLogFile::Filtered(int level) const { return level > logLevel_ && level > 6; }

bool CLogFile::Append(const std::string& bytes) {
    if (path_.empty()) return false;
    if (!file_) file_.reset(OpenForAppending(path_));
    if (file_ && WriteAll(file_.get(), bytes)) return true;
    // The handle may have gone bad (a vanished folder, a full disk that has
    // room again): one fresh open and one more try.
    file_.reset(OpenForAppending(path_));
    if (file_ && WriteAll(file_.get(), bytes)) return true;
    file_.reset();
    return false;
}

// Caller holds g_fileLock. One retry after creating the immediate parent
// folder; a text that still cannot be written is dropped.
void CLogFile::AppendWithRetry(const std::wstring& text) {
    std::string bytes = ToFileBytes(text);
    if (Append(bytes)) return;
    std::wstring folder = FolderOf(path_);
    if (folder.empty()) return;
    if (::GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES) ::CreateDirectoryW(folder.c_str(), nullptr);
    Append(bytes);
}

void CLogFile::LogMessage(int level, const wchar_t* source, const wchar_t* format, ...) {
    if (Filtered(level)) return;
    va_list args;
    va_start(args, format);
    std::wstring message = FormatTextV(format, args);
    va_end(args);
    WriteLine(level, source ? source : L"", message, L" |", false);
}

void CLogFile::LogText(int level, const wchar_t* source, const std::wstring& text) {
    if (Filtered(level)) return;
    WriteLine(level, source ? source : L"", text, L" |", false);
}

void CLogFile::LogUnnamed(int level, const wchar_t* format, ...) {
    if (Filtered(level)) return;
    va_list args;
    va_start(args, format);
    std::wstring message = FormatTextV(format, args);
    va_end(args);
    for (wchar_t& c : message)
        if (c == L',') c = L'|';
    WriteLine(level, L"NonameFunction", message, L"|", true);
}

void CLogFile::WriteLine(int level, const std::wstring& source, const std::wstring& message,
                         const wchar_t* separator, bool createFoldersOnFailure) {
    // The whole line is built before the file is opened.
    std::wstring line = TimeText(Now()) + L"|" + GetLevelText(level) + L"|" + Pad(source, 35, 45) + separator +
                        message + L"\n";
    std::lock_guard<std::mutex> lock(g_fileLock);
    // Counted before the write: a line that cannot be written still counts.
    if (g_levelCountersExist && level >= 0 && level < kLevelCount) ++g_levelCounters[level];
    if (Append(ToFileBytes(line)) || !createFoldersOnFailure) return;
    CreateFolderChain(FolderOf(path_));
    AppendWithRetry(line);
}

void CLogFile::WriteRaw(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    std::wstring text = FormatTextV(format, args);
    va_end(args);
    WriteRawText(text);
}

void CLogFile::WriteRawText(const std::wstring& text) {
    std::lock_guard<std::mutex> lock(g_fileLock);
    AppendWithRetry(text);
}

const wchar_t* CLogFile::GetLevelText(int level) const {
    if (level <= 0) return L"ERROR     ";
    if (level <= 6) return L"WARNING   ";
    return L"          ";
}

void CBuildLogFile::WriteStartBanner() {
    runStamp_ = StampText(Now());
    WriteRawText(std::wstring(kBannerHashes) + L" --------- START" + runStamp_ + L" --------- " + kBannerHashes +
                 L"\n");
}

void CBuildLogFile::WriteSummary() {
    const std::wstring time = TimeText(Now());
    bool haveCounters = false;
    int errors = 0;
    int warnings = 0;
    {
        std::lock_guard<std::mutex> lock(g_fileLock);
        haveCounters = g_levelCountersExist;
        if (haveCounters) {
            errors = g_levelCounters[0];
            for (int level = 1; level <= 6; ++level) warnings += g_levelCounters[level];
        }
    }
    const std::wstring returnColumn = time + L"|RETURN    |";
    WriteRawText(L"\n");
    WriteRawText(L"\n######## --------- " + Pad(L"START SUMMARY " + runStamp_, 39, 45) + kBannerHashes + L"\n");
    WriteRawText(returnColumn + Pad(L"STATUS", 37, 45) + L" |" + (haveCounters && errors == 0 ? L"Success" : L"Fail") +
                 L"\n");
    WriteRawText(returnColumn + Pad(L"ERRORS", 37, 45) + L" |" + std::to_wstring(errors) + L"\n");
    WriteRawText(returnColumn + Pad(L"WARNINGS", 37, 45) + L" |" + std::to_wstring(warnings) + L"  \n");
    WriteRawText(std::to_wstring(errors) + L" Errors found and " + std::to_wstring(warnings) + L" Warnings found\n");
    WriteRawText(L"\n######## --------- " + Pad(L"END SUMMARY " + runStamp_, 39, 45) + kBannerHashes + L"\n");
}

void CBuildLogFile::EndLog() { WriteSummary(); }

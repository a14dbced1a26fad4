#include "payload/Extractor.h"

#include "core/RunFlags.h"
#include "framework/Handles.h"
#include "logging/LogFile.h"
#include "logging/WorkerLog.h"
#include "platform/Format.h"

#include <cstdarg>
#include <cstring>
#include <new>

const wchar_t PayloadMarker[] = L"{20726377-9F91-41b8-B514-20AE00AA235D}";
static_assert(sizeof(PayloadMarker) / sizeof(wchar_t) == kPayloadMarkerChars + 1);

namespace {
constexpr wchar_t kSource[] = L"ExtractFile";
constexpr DWORD kMarkerBytes = kPayloadMarkerChars * sizeof(wchar_t);
constexpr DWORD kFallbackBufferSize = 65536;

std::wstring SystemErrorText(DWORD error) {
    wchar_t* buffer = nullptr;
    DWORD n = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                   FORMAT_MESSAGE_IGNORE_INSERTS,
                               nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    const zel::UniqueLocalMemory owner(buffer);
    std::wstring text = n > 0 && buffer != nullptr ? std::wstring(buffer, n) : std::wstring();
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) text.pop_back();
    if (text.empty()) text = FormatText(L"Error code : %lu", error);
    return text;
}

bool IsDeviceName(const std::wstring& name) {
    std::wstring base = name.substr(0, name.find(L'.'));
    while (!base.empty() && base.back() == L' ') base.pop_back();
    for (wchar_t& c : base) c = static_cast<wchar_t>(towupper(c));
    if (base == L"CON" || base == L"PRN" || base == L"AUX" || base == L"NUL" || base == L"CONIN$" ||
        base == L"CONOUT$")
        return true;
    return base.size() == 4 && (base.compare(0, 3, L"COM") == 0 || base.compare(0, 3, L"LPT") == 0) &&
           base[3] >= L'1' && base[3] <= L'9';
}

// Why a record name cannot be written inside the target folder; empty when
// it can. A name comes from the payload and is not trusted.
std::wstring NameProblem(const std::wstring& name) {
    if (name.empty()) return L"the name is empty";
    if (name.find_first_of(L"\\/") != std::wstring::npos) return L"the name holds a folder part";
    if (name.find(L':') != std::wstring::npos) return L"the name holds a drive or a stream (\":\")";
    if (name.find_first_not_of(L". ") == std::wstring::npos) return L"the name refers to a folder (\"..\")";
    for (wchar_t c : name)
        if (c < 32 || std::wcschr(L"<>\"|?*", c) != nullptr) return L"the name holds a character not allowed in file names";
    if (IsDeviceName(name)) return L"the name is a device name";
    return std::wstring();
}
}  // namespace

struct CExtractor::Header {
    std::wstring Name;
    uint32_t DataSize = 0;
    int Kind = 0;
};

// The open executable, with the checks every read of the payload needs.
class CExtractor::Source {
public:
    explicit Source(const std::wstring& path)
        : path_(path),
          file_(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr)) {
        LARGE_INTEGER size = {};
        if (file_ && ::GetFileSizeEx(file_.get(), &size)) size_ = size.QuadPart;
    }
    bool IsOpen() const { return file_.valid(); }
    void Close() { file_.reset(); }
    const std::wstring& Path() const { return path_; }

    bool Seek(int64_t distance, DWORD method, int64_t* reached) {
        LARGE_INTEGER move, to = {};
        move.QuadPart = distance;
        if (!::SetFilePointerEx(file_.get(), move, &to, method)) return false;
        if (reached != nullptr) *reached = to.QuadPart;
        return true;
    }
    int64_t Position() {
        int64_t at = 0;
        return Seek(0, FILE_CURRENT, &at) ? at : size_;
    }
    int64_t Left() { return size_ - Position(); }
    bool Read(void* into, DWORD count, DWORD* got) {
        *got = 0;
        return ::ReadFile(file_.get(), into, count, got, nullptr) != FALSE;
    }

private:
    std::wstring path_;
    zel::UniqueHandle file_;
    int64_t size_ = 0;
};

CExtractor::CExtractor() = default;

CExtractor::CExtractor(HWND window, int totalBytes) : Window(window), TotalBytes(totalBytes) {}

void CExtractor::Log(int level, const std::wstring& text) {
    if (wantedKind_ == kRecordKindSettings) {
        theLog.LogText(level, kSource, text);
        return;
    }
    // The package pass reports only while it has a window; the worker writes
    // its lines itself.
    if (Window == nullptr || !::IsWindow(Window)) return;
    WriteLogRecord(LogRecord{level, kSource, text, std::wstring()});
}

int CExtractor::ExtractFile(const std::wstring& sourcePath, const std::wstring& targetFolder, int wantedKind,
                            DWORD offset, DWORD bufferSize) {
    wantedKind_ = wantedKind;
    Source source(sourcePath);
    if (!source.IsOpen()) {
        DWORD error = ::GetLastError();
        Log(0, FormatText(L"Error opening file : %s Error code : %d ", sourcePath.c_str(), static_cast<int>(error)));
        return -1;
    }
    // The stamped offset is taken as a signed 32-bit number.
    const int signedOffset = static_cast<int>(offset);
    int64_t reached = -1;
    if (signedOffset < 0 || !source.Seek(signedOffset, FILE_BEGIN, &reached) || reached != signedOffset) {
        DWORD error = signedOffset < 0 ? ERROR_NEGATIVE_SEEK : ::GetLastError();
        Log(0, FormatText(L"Error seeking file : %s  to : %d Error code : %d", sourcePath.c_str(), signedOffset,
                      static_cast<int>(error)));
        return -1;
    }
    int64_t total = static_cast<int64_t>(TotalBytes) - signedOffset;
    TotalBytes = total < INT32_MIN ? INT32_MIN : static_cast<int>(total);
    sinceLastProgress_ = 0;
    if (bufferSize == 0) bufferSize = kFallbackBufferSize;
    // Left uninitialised: only the pages a read fills are ever touched, so a
    // settings pass over a few small files costs kilobytes, not the buffer.
    buffer_.reset(new (std::nothrow) BYTE[bufferSize]);
    if (!buffer_) {
        Log(0, SystemErrorText(ERROR_NOT_ENOUGH_MEMORY));
        return -1;
    }
    int result = ReadRecords(source, targetFolder, bufferSize);
    source.Close();
    buffer_.reset();
    return result;
}

int CExtractor::ReadRecords(Source& source, const std::wstring& targetFolder, DWORD bufferSize) {
    for (;;) {
        if (CancelRequested != 0) return kExtractCancelled;
        Log(11, L"Reading footer information");
        BYTE marker[kMarkerBytes] = {};
        DWORD got = 0;
        if (!source.Read(marker, kMarkerBytes, &got)) {
            Log(0, SystemErrorText(::GetLastError()));
            return -1;
        }
        if (got < kMarkerBytes) {
            Log(11, FormatText(L"Reached EOF : %s \n FileSize : %d, ActualRead : %d Last Return code : %d",
                           source.Path().c_str(), static_cast<int>(kMarkerBytes), static_cast<int>(got),
                           static_cast<int>(::GetLastError())));
            return 0;
        }
        if (std::memcmp(marker, PayloadMarker, kMarkerBytes) != 0) {
            Log(8, L"Attached files are extracted");
            return 0;
        }
        Header header;
        if (int result = ReadHeader(source, header); result != 0) return result;
        if (wantedKind_ == kRecordKindSettings && header.Kind == kRecordKindPackage) return 0;
        if (header.DataSize > source.Left()) {
            Log(0, FormatText(L"Payload is truncated : record %s needs %u bytes, %I64d are left", header.Name.c_str(),
                          header.DataSize, source.Left()));
            return -1;
        }
        if (wantedKind_ == kRecordKindPackage && header.Kind != kRecordKindPackage) {
            if (!source.Seek(header.DataSize, FILE_CURRENT, nullptr)) {
                Log(0, SystemErrorText(::GetLastError()));
                return -1;
            }
            continue;
        }
        if (int result = CopyRecord(source, header, targetFolder, bufferSize); result != 0) return result;
    }
}

int CExtractor::ReadHeader(Source& source, Header& header) {
    uint32_t nameBytes = 0;
    DWORD got = 0;
    if (!source.Read(&nameBytes, sizeof(nameBytes), &got) || got != sizeof(nameBytes)) {
        Log(0, L"Payload is truncated : the record header ends early");
        return -1;
    }
    if (nameBytes >= kMaxRecordNameBytes) {
        Log(0, FormatText(L"Invalid record in payload : name length %u is not below %u bytes", nameBytes,
                      kMaxRecordNameBytes));
        return -1;
    }
    // Zeroed and one character longer than the longest name: the name ends
    // at its first zero character.
    wchar_t name[kMaxRecordNameBytes / sizeof(wchar_t) + 1] = {};
    uint16_t kind = 0;
    bool complete = source.Read(name, nameBytes, &got) && got == nameBytes;
    complete = complete && source.Read(&header.DataSize, sizeof(header.DataSize), &got) && got == sizeof(uint32_t);
    complete = complete && source.Read(&kind, sizeof(kind), &got) && got == sizeof(kind);
    if (!complete) {
        Log(0, L"Payload is truncated : the record header ends early");
        return -1;
    }
    header.Name = name;
    header.Kind = kind;
    return 0;
}

int CExtractor::CopyRecord(Source& source, const Header& header, const std::wstring& targetFolder,
                           DWORD bufferSize) {
    if (std::wstring problem = NameProblem(header.Name); !problem.empty()) {
        Log(0, FormatText(L"Refused file name in payload : %s : %s", header.Name.c_str(), problem.c_str()));
        return -1;
    }
    const std::wstring targetPath = targetFolder + header.Name;
    Log(8, FormatText(L"Extracting file : %s", targetPath.c_str()));
    zel::UniqueHandle target(::CreateFileW(targetPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!target) {
        DWORD error = ::GetLastError();
        Log(0, FormatText(L"Error creating file : %s Error code : %d ", targetPath.c_str(), static_cast<int>(error)));
        return -1;
    }
    uint32_t copied = 0;
    for (;;) {
        const uint32_t remaining = header.DataSize - copied;
        const bool last = bufferSize > remaining;
        const DWORD want = last ? remaining : bufferSize;
        DWORD got = 0;
        if (!source.Read(buffer_.get(), want, &got)) {
            Log(0, SystemErrorText(::GetLastError()));
            return -1;
        }
        if (got != want) {
            // Sizes were checked against the file, so it changed under us.
            Log(0, FormatText(L"Payload is truncated : record %s ends early", header.Name.c_str()));
            return -1;
        }
        copied += got;
        sinceLastProgress_ += got;
        if (CancelRequested != 0) {
            // Stop at once: this chunk is not written and nothing more is read.
            target.reset();
            source.Close();
            return kExtractCancelled;
        }
        DWORD written = 0;
        if (got > 0 && (!::WriteFile(target.get(), buffer_.get(), got, &written, nullptr) || written != got)) {
            Log(0, SystemErrorText(::GetLastError()));
            return -1;
        }
        if (last || got == 0) break;
        PostProgress();
        ExtractionPause.WaitWhilePaused();  // between written blocks
    }
    Log(8, FormatText(L"Closing file : %s", targetPath.c_str()));
    ExtractionPause.WaitWhilePaused();  // between records
    return 0;
}

void CExtractor::PostProgress() {
    if (TotalBytes <= 0) return;
    const int64_t step = TotalBytes / 100;
    if (sinceLastProgress_ < step) return;
    sinceLastProgress_ = 0;
    if (Window != nullptr && ::IsWindow(Window)) ::PostMessageW(Window, WM_ZEL_PROGRESS, kProgressStep, 0);
}

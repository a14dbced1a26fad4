// The payload reader: copies the named records appended behind the
// executable's image into a folder.
//
// Record layout, little-endian, back to back from the stamped start offset:
//   76 bytes  PayloadMarker as UTF-16LE, no terminator
//   4         NameLength in bytes (below kMaxRecordNameBytes)
//   n         Name, UTF-16LE, a bare file name
//   4         DataSize
//   2         Kind (kRecordKindSettings or kRecordKindPackage)
//   DataSize  the file's bytes as they are
// The first position that does not start with the marker (in practice the
// signature block) ends the payload.
#pragma once

#include "core/Messages.h"

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

extern const wchar_t PayloadMarker[];
constexpr size_t kPayloadMarkerChars = 38;

constexpr int kRecordKindPackage = 100;
constexpr int kRecordKindSettings = 200;
constexpr uint32_t kMaxRecordNameBytes = 1024;
// ExtractFile's result when a cancel stopped it: the code the cabinet engine
// gives a user abort, so the finish status reads the same either way.
constexpr int kExtractCancelled = 11;

class CExtractor {
public:
    // Settings pass: no window, no progress.
    CExtractor();
    // Package pass: log lines and progress go to window.
    CExtractor(HWND window, int totalBytes);

    // Copies the records of wantedKind from source (starting at offset) into
    // targetFolder (which ends with a backslash). With kRecordKindSettings it
    // stops at the first package record; with kRecordKindPackage it skips
    // every other record. 0 on success, kExtractCancelled after a cancel,
    // -1 on an error (logged at level 0).
    int ExtractFile(const std::wstring& source, const std::wstring& targetFolder, int wantedKind, DWORD offset,
                    DWORD bufferSize);

    HWND Window = nullptr;
    int TotalBytes = 0;

private:
    struct Header;
    class Source;

    int ReadRecords(Source& source, const std::wstring& targetFolder, DWORD bufferSize);
    int ReadHeader(Source& source, Header& header);
    int CopyRecord(Source& source, const Header& header, const std::wstring& targetFolder, DWORD bufferSize);
    void PostProgress();
    void Log(int level, const std::wstring& text);

    int wantedKind_ = 0;
    std::unique_ptr<BYTE[]> buffer_;
    int64_t sinceLastProgress_ = 0;
};

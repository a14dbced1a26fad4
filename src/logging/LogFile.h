// The log writer: one structured line per report. Each log file has one
// handle for as long as the log points at it, opened for appending with read
// and write sharing (a viewer that holds the file open costs no line); every
// line is handed to the system when the call returns, so a crash of the
// process loses nothing already logged.
#pragma once

#include "framework/Handles.h"

#include <windows.h>

#include <cstdint>
#include <string>

// Levels: 0 error, 1-6 warning, 7-11 information/detail.
class CLogFile {
public:
    // Where the time fields come from; tests inject a fixed clock.
    using TimeSource = SYSTEMTIME (*)();
    static constexpr int kLevelCount = 12;

    CLogFile() = default;
    virtual ~CLogFile() = default;
    CLogFile(const CLogFile&) = delete;
    CLogFile& operator=(const CLogFile&) = delete;

    // Closes the log's handle first.
    virtual int DeleteLog();
    virtual int InitLog(const std::wstring& path, int level);
    // printf-style; never pass text from outside as the format: use LogText.
    virtual void LogMessage(int level, const wchar_t* source, const wchar_t* format, ...);
    virtual void LogUnnamed(int level, const wchar_t* format, ...);
    virtual void WriteRaw(const wchar_t* format, ...);
    virtual const wchar_t* GetLevelText(int level) const;

    // The message is written verbatim (a path, a file name, a relayed line).
    void LogText(int level, const wchar_t* source, const std::wstring& text);

    const std::wstring& GetFilePath() const { return path_; }
    int GetLogLevel() const { return logLevel_; }

    void SetTimeSource(TimeSource source) { now_ = source; }

    // The class-wide count of lines per level (0 to 11), shared by every log
    // object; false until the first InitLog of any log object.
    static bool HasLevelCounters();
    static uint16_t LevelCount(int level);

protected:
    SYSTEMTIME Now() const { return now_(); }
    // Writes text (already formatted) as WriteRaw does.
    void WriteRawText(const std::wstring& text);

    std::wstring path_;
    int logLevel_ = 9;

private:
    bool Filtered(int level) const;
    // Caller holds the writers' lock. A failed write reopens the file once
    // and tries again; false when the bytes could not be written.
    bool Append(const std::string& bytes);
    void AppendWithRetry(const std::wstring& text);
    void WriteLine(int level, const std::wstring& source, const std::wstring& message, const wchar_t* separator,
                   bool createFoldersOnFailure);

    TimeSource now_ = &LocalNow;
    zel::UniqueHandle file_;
    static SYSTEMTIME LocalNow();
};

class CBuildLogFile : public CLogFile {
public:
    void WriteStartBanner();
    void WriteSummary();
    void EndLog();

    const std::wstring& RunStamp() const { return runStamp_; }

private:
    std::wstring runStamp_;
};

extern CBuildLogFile theLog;

// The log writer: one structured line per report, appended with one
// open-append-close cycle per call.
#pragma once

#include <string>

// Levels: 0 error, 1-6 warning, 7-11 information/detail.
class CLogFile {
public:
    CLogFile() = default;
    virtual ~CLogFile() = default;
    CLogFile(const CLogFile&) = delete;
    CLogFile& operator=(const CLogFile&) = delete;

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

protected:
    std::wstring path_;
    int logLevel_ = 9;
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

// How a window writes the log record the worker hands over.
#pragma once

#include "core/Messages.h"
#include "logging/LogFile.h"

#include <string>

// What a window does with WM_ZEL_LOG_LINE. Text and Argument may hold file
// names and paths, so neither is ever used as a format: the argument goes
// in place of the first "%s" and the result is written as it is.
inline void WriteLogRecord(const LogRecord& record) {
    std::wstring text = record.Text;
    if (!record.Argument.empty()) {
        size_t at = text.find(L"%s");
        if (at != std::wstring::npos)
            text.replace(at, 2, record.Argument);
        else
            text += record.Argument;
    }
    theLog.LogText(record.Level, record.Source.c_str(), text);
}

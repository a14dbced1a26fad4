// Where the log files live and how an older extraction log is kept.
#pragma once

#include <windows.h>

#include <string>

std::wstring GetMasterLogPath();
// folder (with its trailing backslash) + base + "_08Dec2026_14-03-59." + extension;
// English month names whatever the locale.
std::wstring KeptLogName(const std::wstring& folder, const std::wstring& baseName, const SYSTEMTIME& modified,
                         const std::wstring& extension);
// Whole gigabytes, rounded up: "2.00".
std::wstring GetRamSizeText(unsigned long totalBytes);

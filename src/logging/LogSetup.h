// Where the log files live and how an older extraction log is kept.
#pragma once

#include <windows.h>

#include <string>

std::wstring GetMasterLogPath();
// Opens the master log, or this user's own beside it when another holds it.
void OpenMasterLog(int debug);
// Keeps an earlier extraction log under a dated name and opens a new one,
// named by [LogFiles] ExtractLogFileName or else the package name.
void OpenExtractionLog(const std::wstring& settingsPath, const std::wstring& packageName, int debug);
// The system information block: the machine (date, memory, processors,
// computer name, drives), then, after the operating system lines that the
// checks write, the languages and the closing rule.
void LogMachineInformation();
void LogLanguageInformation();
// The warning for a launch parameter naming an unsupported variable.
void LogUnsupportedLaunchVariable(const std::wstring& token);
// folder (with its trailing backslash) + base + "_08Dec2026_14-03-59." + extension;
// English month names whatever the locale.
std::wstring KeptLogName(const std::wstring& folder, const std::wstring& baseName, const SYSTEMTIME& modified,
                         const std::wstring& extension);
// Whole gigabytes, rounded up: "2.00".
std::wstring GetRamSizeText(unsigned long totalBytes);

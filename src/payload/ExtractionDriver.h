// The extraction itself, run on the worker thread, and its messages.
#pragma once

#include <cstdint>
#include <string>

class CWorkerThread;

// Bytes the extraction needs at extractionPath: [Size] PackageSize, plus
// [Size] CabSize when the cabinet copy lands on the same drive.
std::uint64_t CabSize(const std::wstring& extractionPath, const std::wstring& workingFolder, int multiPart,
                      const std::wstring& settingsFile);

// Extracts the package into the initializer's extraction path, reporting to
// the worker's window (1067 lines, 1066 progress, 1224 ended, 1324 failed).
void ExtractPackage(CWorkerThread& worker);
// The thread procedure for CWorkerThread::Start.
unsigned __stdcall ExtractPackageThread(void* wrapper);

// Hands one log line to the worker's window and waits until it is written.
void SendWorkerLog(CWorkerThread& worker, int level, const wchar_t* source, const std::wstring& text);

// The log text for an extraction error; in full GUI runs the user's text is
// shown in an error box.
std::wstring ErrorToMessage(int code, const std::wstring& name);

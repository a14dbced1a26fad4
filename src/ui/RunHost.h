// What the windows of a run take from the application that owns them; the
// application implements it, so that the windows sit below it.
#pragma once

#include "framework/WorkerThread.h"

#include <string>

struct LogFontSpec {
    int Height = 0;
    int Weight = 0;
    std::wstring Face;
};

class CRunHost {
public:
    virtual CWorkerThread& ExtractionWorker() = 0;
    virtual const LogFontSpec& DialogBodyFont() const = 0;
    virtual void SetExitCode(int code) = 0;
    // Ends the process at once with exitCode after the clean-up.
    [[noreturn]] virtual void Quit(int levelSelector, int exitCode, const std::wstring& message) = 0;

protected:
    ~CRunHost() = default;
};

// The application of this process.
CRunHost& RunHost();

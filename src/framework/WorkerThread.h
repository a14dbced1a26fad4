// The extraction worker thread and the one window it reports to.
#pragma once

#include "framework/Handles.h"

#include <windows.h>

#include <atomic>
#include <mutex>

// Notify sends (and waits for the window) only with this lParam; every other
// notification is posted.
constexpr LPARAM kNotifySendAndWait = 1002;

class CWorkerThread {
public:
    // Receives the wrapper itself, so that the work can reach Window() and
    // StopEvent().
    using ThreadProc = unsigned(__stdcall*)(void* wrapper);
    static constexpr DWORD kStopWaitMs = 1000;

    CWorkerThread();
    ~CWorkerThread();
    CWorkerThread(const CWorkerThread&) = delete;
    CWorkerThread& operator=(const CWorkerThread&) = delete;

    // Stops an earlier thread first. A creation failure leaves no thread.
    void Start(HWND window, ThreadProc proc);
    // Signals the stop event and waits at most kStopWaitMs; a thread that does
    // not end in time runs on detached, it is never terminated. True when the
    // wait timed out.
    bool Stop();
    // No further Notify reaches any window once this has begun.
    bool StopAndForget();
    // At exit: waits at most milliseconds for the thread, then lets go of
    // its handle without stopping it.
    void WaitAndRelease(DWORD milliseconds);
    void Suspend();
    void Resume();
    void Notify(UINT message, WPARAM wParam, LPARAM lParam);

    HWND Window() const { return window_.load(); }
    HANDLE StopEvent() const { return stopEvent_.get(); }
    bool IsRunning() const;

private:
    std::atomic<HWND> window_{nullptr};
    zel::UniqueHandle stopEvent_;
    // Start, Stop and the suspend calls come from the window's thread, and
    // the worker may stop its own wrapper at its end.
    mutable std::mutex threadLock_;
    zel::UniqueHandle thread_;
    DWORD threadId_ = 0;
};
